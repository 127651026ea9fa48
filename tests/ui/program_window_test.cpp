// The real window on the program core and virtual mice, offscreen: tiles,
// choosing a mouse, its battery, unplugging, the mouse's own DPI button, the
// exit, and the window's thread never held by a slow or vanishing mouse.
// GLib's headers name a member "signals", which Qt defines as a word of its
// own: they come first.
#include "../desktop/fake_notifications.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>

#include "../device/discovery_rig.h"
#include "../profile/store_rig.h"
#include "app/paths.h"
#include "config/catalogue.h"
#include "config/texts.h"
#include "device/link_options.h"
#include "profile/profile_device.h"
#include "program/program.h"
#include "sim/sim_transport.h"
#include "ui/dev_dlg.h"
#include "ui/low_battery.h"
#include "ui/macro_dlg.h"
#include "ui/main_window.h"
#include "ui/my_edit.h"
#include "ui/program_backend.h"
#include "ui/png_btn.h"
#include "ui/program_page.h"
#include "ui/qt_event_sink.h"
#include "ui/status_dlgs.h"
#include "ui/ui_style.h"
#include "ui_test_util.h"

namespace tolvane::ui {
namespace {

namespace fs = std::filesystem;
using tolvane::test::kWaitMs;
using SteadyClock = std::chrono::steady_clock;

// A call that waited for a mouse would take hundreds of milliseconds; the
// bound leaves room for painting on a loaded machine.
constexpr auto kCallBound = std::chrono::milliseconds(50);

std::string Comm(const fs::path& dir) {
  std::ifstream f(dir / "comm");
  std::string name;
  std::getline(f, name);
  return name;
}

// Threads of this process that carry its own name: ours (the core's threads
// are not renamed), not the ones Qt and GLib start and name for themselves.
int ThreadCount() {
  const std::string self = Comm("/proc/self");
  int n = 0;
  for (const auto& e : fs::directory_iterator("/proc/self/task"))
    n += e.is_directory() && Comm(e.path()) == self ? 1 : 0;
  return n;
}

// A filled page as the pages' developers write them: it shows the current
// DPI level and follows the core's events.
class DpiProbePage : public QWidget, public ProgramPage {
 public:
  explicit DpiProbePage(Program& p) : program_(p) {}
  void OnCoreEvent(uint32_t msg, uintptr_t, intptr_t) override {
    if (msg != WM_BEHAVIOR_DECODED) return;
    ++decoded;
    Refresh();
  }
  void Refresh() override { shownLevel = program_.CurDpiLevel(); }
  void Relabel() override {}
  int decoded = 0, shownLevel = -1;

 private:
  Program& program_;
};

class ProgramWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dataDir_ = std::string(TOLVANE_BINARY_DIR) + "share/tolvane/";
    if (!fs::exists(dataDir_ + "skins/main_nr.png"))
      GTEST_SKIP() << "no generated skin in " << dataDir_;
    savedCatalogue_ = g_Catalogue();
    savedProgramDir_ = ProgramDir;
    savedUserDataDir_ = UserDataDir;
    savedLink_ = GetLinkOptions();
    savedPacing_ = ProfilePacing();
    ASSERT_TRUE(autostart_.isValid());
    SetSkinDir(dataDir_ + "skins");  // the generated skin of the build
    saved_ = true;
  }
  void TearDown() override {
    sink_.SetHandler({});
    window_.reset();
    backend_.reset();
    if (program_) program_->Exit();
    program_.reset();
    if (!saved_) return;
    g_Catalogue() = savedCatalogue_;
    ProgramDir = savedProgramDir_;
    UserDataDir = savedUserDataDir_;
    SetLinkOptions(savedLink_);
    SetProfilePacing(savedPacing_);
  }

  // The program on `specs`, the window over it, started (shown) unless `hidden`.
  void Start(std::vector<std::string> specs, bool hidden = false, int rescanMs = 0) {
    program_ = std::make_unique<Program>(sink_);
    ProgramOptions o;
    o.dataDir = dataDir_;
    o.userDir = tmp_.Dir();
    o.singleInstance = !instanceDir_.empty();
    o.instanceDir = instanceDir_;
    o.onInstanceMessage = ForwardInstanceMessages(sink_);
    o.simulate = std::move(specs);
    o.discovery = tolvane::test::FastTimings();
    if (rescanMs > 0) o.discovery->rescanPeriodMs = rescanMs;
    o.windowVisible = [v = visible_] { return v->load(); };
    o.tuneSession = [this](SessionOptions& s) {
      s.behaviorPowerDelayMs = 1;
      if (tick_) s.tick = [t = tick_] { return t->load(); };
    };
    ASSERT_EQ(program_->Start(o), StartResult::Ok);
    backend_ = std::make_unique<ProgramBackend>(*program_, sink_, visible_);
    CTolvaneDlg::Options wo;
    wo.startHidden = hidden;
    wo.autostart = {autostart_.path().toStdString(), "/usr/bin/tolvane", "Tolvane"};
    wo.trayAvailable = [] { return false; };
    window_ = std::make_unique<CTolvaneDlg>(*backend_, wo);
    ASSERT_TRUE(window_->Ready());
    window_->SetMessageFn([this](const QString& t) { messages_ << t; });
    sink_.SetHandler([this](uint32_t m, uintptr_t w, intptr_t l) {
      if (observe_) observe_(m, w, l);
      window_->OnEvent(m, w, l);
    });
    if (!hidden) window_->Start();
  }
  CTolvaneDlg& W() { return *window_; }
  std::shared_ptr<sim::VirtualMouse> Mouse(size_t i) { return program_->Simulated()->Mice().at(i); }
  int Entry(uint8_t cid, uint8_t mid) {
    return program_->Manager().List().FindByIdentity(cid, mid);
  }
  // `n` tiles, and discovery done with them (no late WM_NEW_DEVICE to come).
  bool TilesShown(int n) {
    if (!QTest::qWaitFor([&] { return W().DevicePage()->TileCount() == n; }, kWaitMs)) return false;
    if (!program_->WaitDevicesSettled(kWaitMs)) return false;
    test::Pump();
    return W().DevicePage()->TileCount() == n;
  }
  bool ReadEnded(int ms = 5 * kWaitMs) {
    return QTest::qWaitFor([&] { return W().PendingRead() == 0; }, ms);
  }
  // Runs `call` on this (the window's) thread and checks it returned at once.
  template <class F>
  void Timed(const char* what, F&& call) {
    const auto t0 = SteadyClock::now();
    call();
    const auto took = SteadyClock::now() - t0;
    EXPECT_LT(took, kCallBound)
        << what << " took "
        << std::chrono::duration_cast<std::chrono::microseconds>(took).count() << " us";
  }
  // Chooses entry `e` and waits until its read has ended.
  void ChooseAndRead(int e) {
    W().OnCurrentDeviceChanged(e);
    ASSERT_TRUE(ReadEnded());
  }

  std::string dataDir_;
  std::string instanceDir_;  // empty: no instance lock
  tolvane::test::TempDir tmp_;
  QTemporaryDir autostart_;
  QtEventSink sink_;
  std::shared_ptr<std::atomic<bool>> visible_ = std::make_shared<std::atomic<bool>>(false);
  std::unique_ptr<Program> program_;
  std::unique_ptr<ProgramBackend> backend_;
  std::unique_ptr<CTolvaneDlg> window_;
  QStringList messages_;
  // Set before Start: the session's millisecond tick (empty: the clock).
  std::shared_ptr<std::atomic<uint32_t>> tick_;
  // Sees each of the core's events before the window does.
  std::function<void(uint32_t, uintptr_t, intptr_t)> observe_;
  bool saved_ = false;
  Catalogue savedCatalogue_;
  std::string savedProgramDir_, savedUserDataDir_;
  LinkOptions savedLink_;
  bool savedPacing_ = true;
};

TEST_F(ProgramWindowTest, TwoVirtualMiceAreTilesAndChoosingOneReadsItsProfileAndBattery) {
  ASSERT_NO_FATAL_FAILURE(
      Start({"pro:cid=10,mid=1", "pro+:cid=20,mid=1,link=wireless,power=57"}));
  ASSERT_TRUE(TilesShown(2));
  const int k = Entry(0x10, 0x01), h = Entry(0x20, 0x01);
  CDevDlg* d = W().DevicePage();
  EXPECT_EQ(d->TileEntry(0), std::min(k, h));
  EXPECT_EQ(d->TileEntry(1), std::max(k, h));
  EXPECT_EQ(W().CurrentPage(), kPageDevices);
  EXPECT_FALSE(W().Power()->isVisible());

  // Slow enough that the wait animation opens after its 200 ms.
  Mouse(1)->SetLatency(40);
  test::Click(d, d->TileRect(h == d->TileEntry(0) ? 0 : 1).center());
  EXPECT_EQ(W().CurrentPage(), kPageButtons);
  EXPECT_NE(W().PendingRead(), 0u);
  ASSERT_TRUE(QTest::qWaitFor([&] { return W().WaitAnimation() != nullptr; }, kWaitMs));
  Mouse(1)->SetLatency(0);
  ASSERT_TRUE(ReadEnded());
  EXPECT_EQ(W().WaitAnimation(), nullptr);
  EXPECT_TRUE(W().Power()->isVisible());
  EXPECT_TRUE(QTest::qWaitFor([&] { return W().Power()->PictureLevel() == 50; }, kWaitMs));
  EXPECT_EQ(program_->Current(), h);
  EXPECT_TRUE(program_->Profile().has_value());
  EXPECT_TRUE(fs::exists(tmp_.Dir() + "PRO_2001.dct"));
  const TitleStrip strip = W().CurrentTitleStrip();
  EXPECT_TRUE(strip.showFirmware);
  EXPECT_TRUE(strip.firmware.contains("Receiver V"));
  EXPECT_TRUE(messages_.isEmpty()) << messages_.join("|").toStdString();
}

TEST_F(ProgramWindowTest, UnplugReturnsToTheListWithOneRescanAndAReplugComesBack) {
  ASSERT_NO_FATAL_FAILURE(Start({"pro:cid=10,mid=1", "pro+:cid=20,mid=1"}, false, 1000));
  ASSERT_TRUE(TilesShown(2));
  const int k = Entry(0x10, 0x01);
  ASSERT_NO_FATAL_FAILURE(ChooseAndRead(k));
  EXPECT_EQ(W().CurrentPage(), kPageButtons);
  auto mouse = Mouse(0);
  program_->Simulated()->Unplug(mouse);
  ASSERT_TRUE(QTest::qWaitFor([&] { return W().CurrentPage() == kPageDevices; }, kWaitMs));
  EXPECT_TRUE(TilesShown(1));
  EXPECT_FALSE(W().Power()->isVisible());
  // The current device went away: one try, a second later.
  EXPECT_EQ(W().RescanCount(), 1);
  EXPECT_TRUE(W().RescanTimerActive());
  const int scans = program_->Manager().ScanCount();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !W().RescanTimerActive(); }, 3000));
  EXPECT_EQ(W().RescanCount(), 0);
  EXPECT_EQ(program_->Manager().ScanCount(), scans + 1);
  QTest::qWait(1200);
  EXPECT_EQ(program_->Manager().ScanCount(), scans + 1);  // one tick only

  // Plugged in again: it comes back as a tile and the search stops.
  program_->Simulated()->Plug(mouse);
  EXPECT_TRUE(TilesShown(2));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !W().RescanTimerActive(); }, 3000));
  EXPECT_EQ(W().CurrentPage(), kPageDevices);
}

TEST_F(ProgramWindowTest, TheMousesOwnDpiButtonMovesWhatThePagesShowWithoutADialog) {
  ASSERT_NO_FATAL_FAILURE(Start({"pro:cid=10,mid=1"}));
  ASSERT_TRUE(TilesShown(1));
  auto* page = new DpiProbePage(*program_);
  W().SetPage(kPageDpi, page);
  ASSERT_NO_FATAL_FAILURE(ChooseAndRead(Entry(0x10, 0x01)));
  W().SwitchPage(kPageDpi);
  const int before = page->shownLevel;
  EXPECT_EQ(before, program_->CurDpiLevel());
  Mouse(0)->PressDpiButton();
  ASSERT_TRUE(QTest::qWaitFor([&] { return page->decoded == 1; }, kWaitMs));
  EXPECT_NE(page->shownLevel, before);
  EXPECT_EQ(page->shownLevel, program_->CurDpiLevel());
  EXPECT_EQ(W().WaitAnimation(), nullptr);
  EXPECT_TRUE(messages_.isEmpty()) << messages_.join("|").toStdString();
}

TEST_F(ProgramWindowTest, ExitSavesTheStoresTellsTheMiceAndLeavesNoThread) {
  const int threadsBefore = ThreadCount();
  ASSERT_NO_FATAL_FAILURE(Start({"pro:cid=10,mid=1", "pro+:cid=20,mid=1"}));
  ASSERT_TRUE(TilesShown(2));
  ASSERT_NO_FATAL_FAILURE(ChooseAndRead(Entry(0x10, 0x01)));
  fs::remove(tmp_.Dir() + "PRO_1001.dct");
  QSignalSpy done(window_.get(), &CTolvaneDlg::exitFinished);
  Timed("Exit", [&] { W().Exit(); });
  EXPECT_FALSE(W().isVisible());
  ASSERT_TRUE(QTest::qWaitFor([&] { return done.count() == 1; }, 10000));
  EXPECT_TRUE(backend_->ExitDone());
  EXPECT_TRUE(fs::exists(tmp_.Dir() + "PRO_1001.dct"));
  EXPECT_TRUE(fs::exists(tmp_.Dir() + "gSetting.dct"));
  EXPECT_EQ(Mouse(0)->Snapshot().drvStatus, 0);
  EXPECT_EQ(Mouse(1)->Snapshot().drvStatus, 0);
  backend_.reset();  // joins the exit thread
  EXPECT_TRUE(QTest::qWaitFor([&] { return ThreadCount() == threadsBefore; }, kWaitMs))
      << ThreadCount() << " threads, " << threadsBefore << " before";
}

TEST_F(ProgramWindowTest, ASecondCopyBringsTheHiddenWindowToTheFrontAndEnds) {
  QTemporaryDir lock;
  ASSERT_TRUE(lock.isValid());
  instanceDir_ = lock.path().toStdString();
  ASSERT_NO_FATAL_FAILURE(Start({"pro:cid=10,mid=1"}, /*hidden=*/true));
  EXPECT_FALSE(W().isVisible());
  const std::string programDir = ProgramDir, userDir = UserDataDir;
  {
    NullEventSink none;
    Program second(none);
    ProgramOptions o;
    o.dataDir = dataDir_;
    o.userDir = tmp_.Dir();
    o.instanceDir = instanceDir_;
    o.offline = true;
    EXPECT_EQ(second.Start(o), StartResult::AlreadyRunning);
  }
  // The second copy shares this process's folders; the first keeps its own.
  ProgramDir = programDir;
  UserDataDir = userDir;
  EXPECT_TRUE(QTest::qWaitFor([&] { return W().isVisible(); }, kWaitMs));
}

TEST_F(ProgramWindowTest, ALanguageChoiceGoesThroughTheCoreAndIsKept) {
  ASSERT_NO_FATAL_FAILURE(Start({"pro:cid=10,mid=1"}));
  ASSERT_GE(backend_->Languages().size(), 2u);
  const QString before = W().Tab(0)->Caption();
  W().SetLanguage(1);
  EXPECT_EQ(backend_->CurrentLanguage(), 1);
  EXPECT_EQ(ReadLangIndex(-1), 1);  // lang.ini in the user folder
  EXPECT_NE(W().Tab(0)->Caption(), before);
  W().SetLanguage(99);  // outside the list: nothing changes
  EXPECT_EQ(backend_->CurrentLanguage(), 1);
  W().SetLanguage(0);
  EXPECT_EQ(W().Tab(0)->Caption(), before);
}

// Keeps what the macro page says; answers no question.
class SaidChooser : public MacroDlgChooser {
 public:
  QStringList said;
  void Message(QWidget*, const QString& t) override { said << t; }
  bool Confirm(QWidget*, const QString&) override { return false; }
  std::optional<QString> AskText(QWidget*, const QString&, int) override { return {}; }
  std::optional<int> AskNumber(QWidget*, const QString&, int, int) override { return {}; }
  std::optional<KeyCombo> AskKey(QWidget*, const QString&) override { return {}; }
  std::optional<std::pair<int, int>> AskMove(QWidget*, int, int) override { return {}; }
  std::optional<std::string> OpenMacroFile(QWidget*) override { return {}; }
  std::optional<std::string> SaveMacroFile(QWidget*, const QString&) override { return {}; }
};

TEST_F(ProgramWindowTest, WhileTheMacroPageRecordsNoTabLeavesIt) {
  ASSERT_NO_FATAL_FAILURE(Start({"pro:cid=10,mid=1"}));
  ASSERT_TRUE(TilesShown(1));
  auto owned = std::make_unique<SaidChooser>();
  SaidChooser* chooser = owned.get();
  auto* macros = new CMacroDlg(nullptr, *program_, std::move(owned));
  W().SetPage(kPageMacros, macros);
  const int entry = Entry(0x10, 0x01);
  ASSERT_NO_FATAL_FAILURE(ChooseAndRead(entry));
  auto clickTab = [&](int tab) { test::Click(W().Tab(tab), QPoint(20, 20)); };
  clickTab(3);
  ASSERT_EQ(W().CurrentPage(), kPageMacros);
  macros->NameField()->setText("Take");
  macros->AddMacro();
  macros->ToggleRecording();
  ASSERT_TRUE(macros->Recording());

  for (int tab : {0, 1, 2, 4}) {
    clickTab(tab);
    EXPECT_EQ(W().CurrentPage(), kPageMacros) << tab;
    EXPECT_TRUE(W().Tab(3)->GetCheck()) << tab;
    EXPECT_FALSE(W().Tab(tab)->GetCheck()) << tab;
  }
  test::Click(W().HelpButton(), QPoint(5, 5));
  W().SwitchPage(kPageButtons);
  EXPECT_EQ(W().CurrentPage(), kPageMacros);
  EXPECT_TRUE(macros->isVisible());
  // Four tabs, the help button and the call: each refused with the reason.
  EXPECT_EQ(chooser->said.join("|").toStdString(),
            QStringList(6, UiText("tc_macro_msg17")).join("|").toStdString());
  EXPECT_EQ(program_->Current(), entry);  // the device list's tab did not leave the mouse
  EXPECT_TRUE(macros->Recording());

  // The page's own tab and the stop button are no change of page.
  clickTab(3);
  macros->ToggleRecording();
  EXPECT_EQ(chooser->said.size(), 6);
  clickTab(2);
  EXPECT_EQ(W().CurrentPage(), kPageDpi);
  EXPECT_FALSE(macros->isVisible());
  EXPECT_EQ(chooser->said.size(), 6);
}

TEST_F(ProgramWindowTest, AResetWithin5sOfARestoreIsItsEchoAndALaterOneReadsAgain) {
  tick_ = std::make_shared<std::atomic<uint32_t>>(100000);
  ASSERT_NO_FATAL_FAILURE(Start({"pro:cid=10,mid=1"}));
  ASSERT_TRUE(TilesShown(1));
  ASSERT_NO_FATAL_FAILURE(ChooseAndRead(Entry(0x10, 0x01)));
  std::atomic<int> syncs{0};
  std::set<uint64_t> done;
  observe_ = [&](uint32_t m, uintptr_t w, intptr_t l) {
    if (m == WM_SYNC_OK) ++syncs;
    if (m == WM_OPERATION_DONE && l != 0) done.insert(uint64_t(w));
  };
  // The restore ends with the mouse's own reset notification: its echo.
  const uint64_t restore = program_->RestoreDefaults();
  ASSERT_TRUE(QTest::qWaitFor([&] { return done.count(restore) == 1; }, 5 * kWaitMs));
  ASSERT_TRUE(program_->WaitApplyIdle(kWaitMs));
  QTest::qWait(100);
  EXPECT_EQ(syncs.load(), 0);

  // A reset pressed on the mouse 3 s after the restore is taken for the echo.
  tick_->fetch_add(3000);
  Mouse(0)->Reset();
  QTest::qWait(300);
  EXPECT_EQ(syncs.load(), 0);
  EXPECT_EQ(W().PendingRead(), 0u);
  EXPECT_EQ(W().WaitAnimation(), nullptr);
  EXPECT_EQ(W().CurrentPage(), kPageButtons);

  // 6 s after: the mouse's own reset, and the profile is read again.
  tick_->fetch_add(3000);
  Mouse(0)->Reset();
  EXPECT_TRUE(QTest::qWaitFor([&] { return syncs.load() == 1; }, 5 * kWaitMs));
  EXPECT_EQ(W().CurrentPage(), kPageButtons);
  EXPECT_TRUE(messages_.isEmpty()) << messages_.join("|").toStdString();
}

TEST_F(ProgramWindowTest, AWirelessMouseRunningLowGivesOneDesktopNoticePerDischarge) {
  tolvane::test::PrivateBus bus;
  if (!bus.Up()) GTEST_SKIP() << "no dbus-daemon";
  tolvane::test::FakeNotifications service(bus.Address());
  ASSERT_TRUE(service.owned);
  ASSERT_NO_FATAL_FAILURE(Start({"pro+:cid=20,mid=1,link=wireless,power=50"}));
  ASSERT_TRUE(TilesShown(1));
  CLowBatteryNotice notice(nullptr, *backend_,
                           CLowBatteryNotice::DBusSender(QString::fromStdString(bus.Address())));
  std::atomic<intptr_t> battery{-1};
  observe_ = [&](uint32_t m, uintptr_t w, intptr_t l) {
    notice.OnEvent(m, w, l);
    if (m == WM_BATTERY) battery = l;
  };
  ASSERT_NO_FATAL_FAILURE(ChooseAndRead(Entry(0x20, 0x01)));
  const std::string model = backend_->Device(Entry(0x20, 0x01))->modelName;
  // The mouse reports each change; the window reads the battery then.
  auto level = [&](uint8_t power, bool charging) {
    Mouse(0)->SetBattery(power, charging);
    ASSERT_TRUE(QTest::qWaitFor([&] { return battery == BatteryParam(power, charging); },
                                kWaitMs))
        << int(power);
  };
  auto noticed = [&](size_t n) {
    return QTest::qWaitFor([&] { return service.Bodies().size() >= n; }, kWaitMs) &&
           (QTest::qWait(150), service.Bodies().size() == n);
  };
  ASSERT_NO_FATAL_FAILURE(level(20, false));
  ASSERT_NO_FATAL_FAILURE(level(10, false));
  EXPECT_TRUE(noticed(1));
  ASSERT_NO_FATAL_FAILURE(level(9, false));  // the same discharge: quiet
  ASSERT_NO_FATAL_FAILURE(level(100, true));
  ASSERT_NO_FATAL_FAILURE(level(10, false));
  EXPECT_TRUE(noticed(2));
  EXPECT_EQ(service.Bodies().front(), "Tolvane|" + model + ": battery low|10% left");
  EXPECT_EQ(notice.Given(), 2);

  // Switched off on the settings page: kept in a file of its own.
  CPngBtn* toggle = W().SettingsPage()->LowBatteryNoticeButton();
  ASSERT_NE(toggle, nullptr);
  EXPECT_TRUE(toggle->GetCheck());
  W().SwitchPage(kPageSettings);
  test::Click(toggle, QPoint(5, 5));
  EXPECT_FALSE(toggle->GetCheck());
  EXPECT_FALSE(LoadNoticeSettings(tmp_.Dir()).bLowBattery);
  EXPECT_EQ(fs::file_size(tmp_.Dir() + "gSetting.dct"), 8u);
  ASSERT_NO_FATAL_FAILURE(level(100, true));
  ASSERT_NO_FATAL_FAILURE(level(5, false));
  QTest::qWait(200);
  EXPECT_EQ(service.Bodies().size(), 2u);
  EXPECT_EQ(notice.Given(), 2);
  EXPECT_TRUE(messages_.isEmpty()) << messages_.join("|").toStdString();
}

// ---- The window's thread is never held.

TEST_F(ProgramWindowTest, AQuickReadNeverOpensTheWaitAnimation) {
  SetProfilePacing(false);
  ASSERT_NO_FATAL_FAILURE(Start({"pro:cid=10,mid=1"}));
  ASSERT_TRUE(TilesShown(1));
  const auto t0 = SteadyClock::now();
  W().OnCurrentDeviceChanged(Entry(0x10, 0x01));
  ASSERT_TRUE(ReadEnded());
  RecordProperty("read_ms", int(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   SteadyClock::now() - t0).count()));
  bool opened = false;
  (void)QTest::qWaitFor([&] {
    opened = opened || W().WaitAnimation() != nullptr;
    return false;
  }, 400);
  EXPECT_FALSE(opened);
  EXPECT_TRUE(W().Power()->isVisible());
}

TEST_F(ProgramWindowTest, AReadWhileHiddenEndsWithoutAnyDialog) {
  ASSERT_NO_FATAL_FAILURE(Start({"pro:cid=10,mid=1"}, /*hidden=*/true));
  ASSERT_TRUE(TilesShown(1));
  EXPECT_FALSE(W().isVisible());
  Mouse(0)->SetLatency(30);
  bool opened = false;
  W().OnCurrentDeviceChanged(Entry(0x10, 0x01));
  EXPECT_TRUE(QTest::qWaitFor([&] {
    opened = opened || W().WaitAnimation() != nullptr;
    return W().PendingRead() == 0;
  }, 5 * kWaitMs));
  EXPECT_FALSE(opened);
  EXPECT_FALSE(W().isVisible());
  W().ShowFromTray();
  EXPECT_TRUE(W().isVisible());
  EXPECT_EQ(W().WaitAnimation(), nullptr);
}

TEST_F(ProgramWindowTest, UnplugWhileTheWaitAnimationIsOpenClosesIt) {
  ASSERT_NO_FATAL_FAILURE(Start({"pro:cid=10,mid=1", "pro+:cid=20,mid=1"}));
  ASSERT_TRUE(TilesShown(2));
  Mouse(0)->SetLatency(60);
  W().OnCurrentDeviceChanged(Entry(0x10, 0x01));
  ASSERT_TRUE(QTest::qWaitFor([&] { return W().WaitAnimation() != nullptr; }, kWaitMs));
  Timed("Unplug", [&] { program_->Simulated()->Unplug(Mouse(0)); });
  ASSERT_TRUE(QTest::qWaitFor([&] { return W().WaitAnimation() == nullptr; }, kWaitMs));
  EXPECT_EQ(W().CurrentPage(), kPageDevices);
  EXPECT_EQ(W().PendingRead(), 0u);
  EXPECT_TRUE(TilesShown(1));
}

TEST_F(ProgramWindowTest, UnplugWhileTheProgressDialogIsOpenClosesIt) {
  ASSERT_NO_FATAL_FAILURE(Start({"pro:cid=10,mid=1"}));
  ASSERT_TRUE(TilesShown(1));
  ASSERT_NO_FATAL_FAILURE(ChooseAndRead(Entry(0x10, 0x01)));
  ASSERT_NE(W().OpenProgress("writing"), nullptr);
  Mouse(0)->SetLatency(50);
  program_->RequestApply(0xF7);  // every group but the desktop's pointer, with the dialog
  ASSERT_TRUE(QTest::qWaitFor([&] { return W().Progress() && W().Progress()->Pos() > 0; }, kWaitMs));
  Timed("Unplug", [&] { program_->Simulated()->Unplug(Mouse(0)); });
  EXPECT_TRUE(QTest::qWaitFor([&] { return W().Progress() == nullptr; }, kWaitMs));
  EXPECT_EQ(W().CurrentPage(), kPageDevices);
  // The late close of the write lands nowhere.
  EXPECT_TRUE(program_->WaitApplyIdle(kWaitMs));
  test::Pump();
}

TEST_F(ProgramWindowTest, AMouseThatAnswersIn900msNeverHoldsTheWindow) {
  ASSERT_NO_FATAL_FAILURE(Start({"pro:cid=10,mid=1", "pro+:cid=20,mid=1"}));
  ASSERT_TRUE(TilesShown(2));
  const int k = Entry(0x10, 0x01);
  Mouse(0)->SetLatency(900);
  Timed("choose", [&] { W().OnCurrentDeviceChanged(k); });
  ASSERT_TRUE(QTest::qWaitFor([&] { return W().WaitAnimation() != nullptr; }, kWaitMs));
  Timed("switch page", [&] { W().SwitchPage(kPageDpi); });
  Timed("settings", [&] { W().SwitchPage(kPageSettings); });
  Timed("minimise", [&] { W().Minimize(); });
  Timed("show", [&] { W().ShowFromTray(); });
  Timed("battery", [&] { backend_->RequestBattery(); });
  Timed("tiles", [&] { W().DevicePage()->SetDevices(backend_->Devices()); });
  Timed("device list tab", [&] { test::Click(W().Tab(0), QPoint(5, 5)); });
  Mouse(0)->PressDpiButton();
  QTest::qWait(100);
  Timed("unplug", [&] { program_->Simulated()->Unplug(Mouse(0)); });
  ASSERT_TRUE(QTest::qWaitFor([&] { return W().PendingRead() == 0; }, 5 * kWaitMs));
  EXPECT_EQ(W().CurrentPage(), kPageDevices);
  EXPECT_EQ(W().WaitAnimation(), nullptr);
}

TEST_F(ProgramWindowTest, AMouseHeldByAnotherProgramSaysSoAndNotThatItIsUnplugged) {
  const std::string image = tmp_.Dir() + "/held.bin";
  Start({"pro:eeprom=" + image});
  ASSERT_TRUE(TilesShown(1));
  const int e = W().DevicePage()->TileEntry(0);
  // Another program (a second open of the lock: flock conflicts across
  // opens) holds the mouse while it is chosen.
  const int fd = ::open((image + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  W().OnCurrentDeviceChanged(e);
  ASSERT_TRUE(ReadEnded());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !messages_.isEmpty(); }, kWaitMs));
  EXPECT_EQ(messages_.front(), UiText("tc_dev_busy"));
  EXPECT_NE(UiText("tc_dev_busy"), UiText("tc_msg10"));
  // Once it is let go, the same choice reads the mouse.
  ::close(fd);
  messages_.clear();
  W().SwitchPage(kPageDevices);
  ChooseAndRead(e);
  test::Pump();
  EXPECT_TRUE(messages_.isEmpty()) << messages_.join('\n').toStdString();
  EXPECT_EQ(W().CurrentPage(), kPageButtons);
}

}  // namespace
}  // namespace tolvane::ui
