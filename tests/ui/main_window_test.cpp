#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <memory>
#include <optional>
#include <thread>

#include "config/texts.h"
#include "fake_backend.h"
#include "platform/autostart.h"
#include "ui/dev_dlg.h"
#include "ui/factories.h"
#include "ui/main_window.h"
#include "ui/menu_dlg.h"
#include "ui/ui_message.h"
#include "ui/png_btn.h"
#include "ui/qt_event_sink.h"
#include "ui/status_dlgs.h"
#include "ui/ui_style.h"
#include "ui_test_util.h"

namespace tolvane::ui {
namespace {

using test::FakeBackend;
using test::MakeTile;

// The window's pictures, made on the spot.
void AddWindowSkin(test::TempSkin& skin) {
  skin.Add("main_nr.png", 1070, 750, QColor(30, 31, 36));
  for (const char* n : {"help", "min", "exit"}) {
    skin.Add(QString("%1_nr.png").arg(n), 48, 30, QColor(60, 60, 60));
    skin.Add(QString("%1_ov.png").arg(n), 48, 30, QColor(90, 90, 90));
  }
  skin.Add("deviceBG_nr.png", 200, 250, QColor(50, 50, 60));
  skin.Add("deviceBG_ov.png", 200, 250, QColor(70, 70, 80));
  skin.Add("toggle_off.png", 33, 17, QColor(80, 80, 80));
  skin.Add("toggle_on.png", 33, 17, QColor(0, 128, 255));
  skin.Add("combo4_nr.png", 300, 58, QColor(40, 40, 40));
  skin.Add("SupportBtn_nr.png", 119, 37, QColor(40, 40, 90));
  skin.Add("Setting_BG.png", 1069, 639, QColor(35, 35, 40));
  skin.Add("progress_nr.png", 500, 130, QColor(20, 20, 20));
  skin.Add("progress_ov.png", 500, 130, QColor(0, 128, 255));
  for (int l = 10; l <= 100; l += 10) skin.Add(QString("power%1.png").arg(l), 150, 36);
  skin.Add("power_charging.png", 150, 36, QColor(0, 200, 0));
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AddWindowSkin(skin_);
    ASSERT_TRUE(autostartDir_.isValid());
    backend_.SetSink(&sink_);
  }

  // Builds the window; `start` shows it as the program does.
  CTolvaneDlg& Make(bool start = true, bool hidden = false, bool tray = false,
                    std::string autostartDir = {}) {
    CTolvaneDlg::Options o;
    o.startHidden = hidden;
    o.autostart = {autostartDir.empty() ? autostartDir_.path().toStdString() : autostartDir,
                   "/usr/bin/tolvane", "Tolvane"};
    trayUp_ = tray;
    o.trayAvailable = [this] { return trayUp_; };  // a test may bring a tray later
    window_ = std::make_unique<CTolvaneDlg>(backend_, o);
    window_->SetMessageFn([this](const QString& t) { messages_ << t; });
    sink_.SetHandler([this](uint32_t m, uintptr_t w, intptr_t l) { window_->OnEvent(m, w, l); });
    if (start) window_->Start();
    return *window_;
  }

  void TearDown() override {
    sink_.SetHandler({});
    window_.reset();
  }

  test::TempSkin skin_;
  QTemporaryDir autostartDir_;
  QtEventSink sink_;
  FakeBackend backend_;
  std::unique_ptr<CTolvaneDlg> window_;
  QStringList messages_;
  bool trayUp_ = false;
};

TEST_F(WindowTest, TwoDevicesAppearAsCentredTiles) {
  CTolvaneDlg& w = Make();
  ASSERT_TRUE(w.Ready());
  EXPECT_EQ(w.DevicePage()->TileCount(), 0);
  std::thread core([this] {  // the discovery thread
    backend_.Plug(MakeTile(0, "Model A"));
    backend_.Plug(MakeTile(3, "Model B", true));
  });
  core.join();
  test::Pump();
  CDevDlg* d = w.DevicePage();
  ASSERT_EQ(d->TileCount(), 2);
  EXPECT_EQ(d->TileEntry(0), 0);
  EXPECT_EQ(d->TileEntry(1), 3);
  const int left = d->TileRect(0).left(), right = d->width() - 1 - d->TileRect(1).right();
  EXPECT_LE(std::abs(left - right), 1);  // centred as a pair
  EXPECT_EQ(d->TileRect(1).left() - d->TileRect(0).right() - 1, kTileGap);
  EXPECT_EQ(w.CurrentPage(), kPageDevices);
  EXPECT_FALSE(w.Tab(1)->isVisible());  // no page tabs on the device list
}

TEST_F(WindowTest, ATileShowsItsModelsPictureFittedAboveTheName) {
  ASSERT_TRUE(QDir(skin_.Dir()).mkpath("0a01"));
  skin_.Add("0a01/mouse.png", 300, 400, QColor(200, 0, 0));  // larger than a tile
  CTolvaneDlg& w = Make();
  DeviceTile a = MakeTile(0, "Model A"), b = MakeTile(1, "Model B");
  a.skinFolder = "0a01";
  b.skinFolder = "0b02";  // no picture in the skin: the tile stays bare
  backend_.Plug(a);
  backend_.Plug(b);
  test::Pump();
  CDevDlg* d = w.DevicePage();
  ASSERT_EQ(d->TileCount(), 2);
  const QImage page = d->grab().toImage();
  const QRect withPicture = d->TileRect(0), bare = d->TileRect(1);
  EXPECT_EQ(QColor(page.pixel(withPicture.center())), QColor(200, 0, 0));
  // Fitted by its height (224 of the 250): the tile's sides and name keep
  // their own colour.
  EXPECT_NE(QColor(page.pixel(withPicture.left() + 5, withPicture.center().y())), QColor(200, 0, 0));
  EXPECT_NE(QColor(page.pixel(withPicture.center().x(), withPicture.bottom() - 3)), QColor(200, 0, 0));
  EXPECT_EQ(QColor(page.pixel(bare.center())), QColor(50, 50, 60));
  // A change of the list neither loses the picture nor grows it.
  d->SetDevices(backend_.Devices());
  EXPECT_EQ(d->grab().toImage(), page);
}

TEST_F(WindowTest, FifthDeviceIsLeftOutWithTheMessage) {
  CTolvaneDlg& w = Make();
  QSignalSpy exited(&w, &CTolvaneDlg::exitFinished);
  for (int i = 0; i < 5; ++i) backend_.Plug(MakeTile(i, "M"));
  test::Pump();
  EXPECT_EQ(w.DevicePage()->TileCount(), 4);
  EXPECT_TRUE(messages_.contains(UiText("tc_new12")));
  EXPECT_EQ(backend_.exitCalls, 0);
  EXPECT_EQ(exited.count(), 0);
}

TEST_F(WindowTest, ChoosingADeviceOpensTheWaitAnimationAfter200msUntilTheResult) {
  CTolvaneDlg& w = Make();
  backend_.Plug(MakeTile(0, "Model A"));
  backend_.Plug(MakeTile(1, "Model B", true));
  test::Pump();
  test::Click(w.DevicePage(), w.DevicePage()->TileRect(1).center());
  EXPECT_EQ(backend_.chooseCalls, 1);
  EXPECT_EQ(backend_.CurrentEntry(), 1);
  EXPECT_EQ(w.CurrentPage(), kPageButtons);
  EXPECT_TRUE(w.Tab(1)->isVisible());
  EXPECT_EQ(backend_.batteryCalls, 1);
  QTest::qWait(120);
  EXPECT_EQ(w.WaitAnimation(), nullptr);  // not before 200 ms
  EXPECT_TRUE(QTest::qWaitFor([&] { return w.WaitAnimation() != nullptr; }, 1000));
  EXPECT_TRUE(w.WaitAnimation()->isVisible());
  // The title names the firmware of both connections now.
  EXPECT_EQ(w.CurrentTitleStrip().firmware, "Mouse V0105   Receiver V0110");

  std::thread reader([this] { backend_.FinishRead(); });  // the read thread's result
  reader.join();
  test::Pump();
  EXPECT_EQ(w.WaitAnimation(), nullptr);
  EXPECT_TRUE(w.Power()->isVisible());
  backend_.AnswerBattery(45, false);
  test::Pump();
  EXPECT_EQ(w.Power()->PictureLevel(), 40);
}

TEST_F(WindowTest, AQuickReadNeverShowsTheWaitAnimationAndStaleResultsAreIgnored) {
  CTolvaneDlg& w = Make();
  backend_.Plug(MakeTile(0, "Model A"));
  test::Pump();
  w.OnCurrentDeviceChanged(0);
  const uint64_t first = backend_.lastReadTicket;
  backend_.FinishRead();
  test::Pump();
  QTest::qWait(300);
  EXPECT_EQ(w.WaitAnimation(), nullptr);
  // A second choice; the first read's answer arriving again must not end it.
  w.OnCurrentDeviceChanged(0);
  backend_.Post(WM_OPERATION_DONE, uintptr_t(first), 1);
  test::Pump();
  EXPECT_TRUE(QTest::qWaitFor([&] { return w.WaitAnimation() != nullptr; }, 1000));
  backend_.FinishRead();
  test::Pump();
  EXPECT_EQ(w.WaitAnimation(), nullptr);
}

TEST_F(WindowTest, TheGateRefusesWithItsMessage) {
  CTolvaneDlg& w = Make();
  backend_.Plug(MakeTile(0, "Model A"));
  test::Pump();
  backend_.gate = Gate::Busy;
  w.OnCurrentDeviceChanged(0);
  backend_.gate = Gate::NotConnected;
  w.OnCurrentDeviceChanged(0);
  EXPECT_EQ(backend_.chooseCalls, 0);
  EXPECT_EQ(w.CurrentPage(), kPageDevices);
  EXPECT_EQ(messages_, (QStringList{UiText("tc_adv_str15"), UiText("tc_msg10")}));
}

TEST_F(WindowTest, RemovingTheCurrentDeviceReturnsToTheListAndALateFailureChangesNothing) {
  CTolvaneDlg& w = Make();
  backend_.Plug(MakeTile(0, "Model A"));
  backend_.Plug(MakeTile(1, "Model B"));
  test::Pump();
  w.OnCurrentDeviceChanged(1);
  EXPECT_TRUE(QTest::qWaitFor([&] { return w.WaitAnimation() != nullptr; }, 1000));
  // Unplugged while its read runs: the wait animation closes, nothing waits.
  std::thread hotplug([this] { backend_.Unplug(1); });
  hotplug.join();
  test::Pump();
  EXPECT_EQ(w.WaitAnimation(), nullptr);
  EXPECT_EQ(w.CurrentPage(), kPageDevices);
  EXPECT_FALSE(w.Power()->isVisible());
  EXPECT_EQ(w.DevicePage()->TileCount(), 1);
  EXPECT_EQ(w.PendingRead(), 0u);
  // The read's failure arriving late changes nothing.
  backend_.FinishRead(false);
  test::Pump();
  EXPECT_EQ(w.CurrentPage(), kPageDevices);
  // Another device going away only shrinks the list.
  w.OnCurrentDeviceChanged(0);
  backend_.FinishRead();
  backend_.Plug(MakeTile(2, "Model C"));
  test::Pump();
  w.OnCurrentDeviceChanged(0);
  backend_.Unplug(2);
  test::Pump();
  EXPECT_EQ(w.CurrentPage(), kPageButtons);
  EXPECT_EQ(w.DevicePage()->TileCount(), 1);
}

TEST_F(WindowTest, QueuedMessagesOfTheCoreAreShownOnceEach) {
  Make();
  std::thread worker([this] {
    backend_.QueueMessage("first");
    backend_.QueueMessage("second");
  });
  worker.join();
  test::Pump();
  EXPECT_EQ(messages_, (QStringList{"first", "second"}));
}

TEST(QtEventSink, EventsFromOtherThreadsArriveInOrderOnTheWindowThread) {
  QObject context;
  auto sink = std::make_unique<QtEventSink>(&context);
  std::vector<uintptr_t> got;
  std::vector<Qt::HANDLE> threads;
  sink->Post(WM_NEW_DEVICE, 99, 0);  // before a handler: kept
  std::thread early([&] { sink->Post(WM_NEW_DEVICE, 98, 0); });
  early.join();
  test::Pump();
  EXPECT_TRUE(got.empty());
  sink->SetHandler([&](uint32_t, uintptr_t w, intptr_t) {
    got.push_back(w);
    threads.push_back(QThread::currentThreadId());
  });
  EXPECT_EQ(got, (std::vector<uintptr_t>{99, 98}));
  std::thread a([&] {
    for (uintptr_t i = 0; i < 200; ++i) sink->Post(WM_PROGRESS, i, 0);
  });
  a.join();
  test::Pump();
  ASSERT_EQ(got.size(), 202u);
  for (size_t i = 0; i < 200; ++i) EXPECT_EQ(got[i + 2], i);
  for (Qt::HANDLE h : threads) EXPECT_EQ(h, QThread::currentThreadId());
  // Posted, then the sink goes away: nothing arrives afterwards.
  sink->Post(WM_PROGRESS, 1000, 0);
  sink.reset();
  test::Pump();
  EXPECT_EQ(got.size(), 202u);
}

TEST(QtNotifier, MessagesFromAWorkerAreShownOnTheWindowThreadWithoutWaiting) {
  QWidget window;
  std::vector<QString> shown;
  std::vector<Qt::HANDLE> on;
  QtNotifier n(&window, [&](QWidget* parent, Caption c, const QString& t) {
    EXPECT_EQ(parent, &window);
    shown.push_back((c == Caption::Error ? "E:" : "W:") + t);
    on.push_back(QThread::currentThreadId());
  });
  std::thread worker([&] { n.Message(Caption::Error, "cannot read"); });
  worker.join();  // returned without the box being shown
  EXPECT_TRUE(shown.empty());
  test::Pump();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], "E:cannot read");
  EXPECT_EQ(on[0], QThread::currentThreadId());
}

TEST_F(WindowTest, ProgressDialogClampsPostedValuesAndCloses) {
  CTolvaneDlg& w = Make();
  CProgressDlg* dlg = w.OpenProgress("Restoring");
  ASSERT_NE(dlg, nullptr);
  QPointer<CProgressDlg> guard(dlg);
  std::thread apply([this] {
    sink_.Post(WM_PROGRESS, 30, 0);
    sink_.Post(WM_PROGRESS, 150, 0);
  });
  apply.join();
  test::Pump();
  EXPECT_EQ(dlg->Pos(), 100);  // above the range: the maximum
  dlg->SetPos(-7);
  EXPECT_EQ(dlg->Pos(), 0);
  w.CloseProgress();
  test::Pump();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(guard.isNull());
  sink_.Post(WM_PROGRESS, 50, 0);  // a late position goes nowhere
  test::Pump();
  EXPECT_EQ(w.Progress(), nullptr);
}

TEST_F(WindowTest, SettingsTogglesAreSavedAtOnceAndWriteTheLogOnEntry) {
  CTolvaneDlg& w = Make();
  w.SwitchPage(kPageSettings);
  CCfgDlg* cfg = w.SettingsPage();
  ASSERT_NE(cfg->StartHiddenButton(), nullptr);
  test::Click(cfg->StartHiddenButton(), QPoint(5, 5));
  EXPECT_EQ(backend_.saveCalls, 1);
  EXPECT_TRUE(backend_.settings.startHidden);
  EXPECT_TRUE(cfg->StartHiddenButton()->GetCheck());

  test::Click(cfg->RunAtLogonButton(), QPoint(5, 5));
  EXPECT_EQ(backend_.saveCalls, 2);
  EXPECT_TRUE(backend_.settings.runAtLogon);
  EXPECT_TRUE(cfg->RunAtLogonButton()->GetCheck());
  QFile entry(QString::fromStdString(
      platform::AutostartEntryPath(autostartDir_.path().toStdString())));
  ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
  EXPECT_TRUE(entry.readAll().contains("\nExec=/usr/bin/tolvane -s\n"));
  entry.close();

  test::Click(cfg->RunAtLogonButton(), QPoint(5, 5));
  EXPECT_FALSE(backend_.settings.runAtLogon);
  EXPECT_FALSE(entry.exists());
  EXPECT_TRUE(messages_.isEmpty());
  // The close button goes back to the page shown before.
  test::Click(cfg->CloseButton(), QPoint(5, 5));
  EXPECT_EQ(w.CurrentPage(), kPageDevices);
}

TEST_F(WindowTest, AFailedLogOnEntryIsReportedAndTheToggleStaysOff) {
  QTemporaryDir tmp;
  QFile blocker(tmp.path() + "/file");
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  // The autostart folder would have to be made under a regular file.
  CTolvaneDlg& w = Make(true, false, false, (tmp.path() + "/file/autostart").toStdString());
  w.SwitchPage(kPageSettings);
  test::Click(w.SettingsPage()->RunAtLogonButton(), QPoint(5, 5));
  EXPECT_FALSE(w.SettingsPage()->RunAtLogonButton()->GetCheck());
  EXPECT_FALSE(backend_.settings.runAtLogon);
  EXPECT_EQ(backend_.saveCalls, 0);
  ASSERT_EQ(messages_.size(), 1);
  EXPECT_TRUE(messages_[0].contains("cannot write")) << messages_[0].toStdString();

  // A setting that says on while the entry cannot be made is turned off.
  messages_.clear();
  backend_.settings.runAtLogon = true;
  w.SettingsPage()->Refresh();
  EXPECT_FALSE(backend_.settings.runAtLogon);
  EXPECT_FALSE(w.SettingsPage()->RunAtLogonButton()->GetCheck());
  EXPECT_EQ(messages_.size(), 1);
}

TEST_F(WindowTest, HiddenStartWithoutATrayShowsMinimised) {
  CTolvaneDlg& w = Make(true, true, false);
  EXPECT_FALSE(w.HasTray());
  EXPECT_TRUE(w.windowState() & Qt::WindowMinimized);
  // Minimise iconifies instead of hiding into nothing.
  w.ShowFromTray();
  test::Pump();
  w.Minimize();
  EXPECT_TRUE(w.windowState() & Qt::WindowMinimized);

  // A tray host starts later: the next minimise puts the window into it.
  trayUp_ = true;
  w.ShowFromTray();
  test::Pump();
  ASSERT_TRUE(w.isVisible());
  w.Minimize();
  EXPECT_TRUE(w.HasTray());
  EXPECT_FALSE(w.isVisible());
  ASSERT_NE(w.TrayMenu(), nullptr);
  EXPECT_EQ(w.TrayMenu()->actions().size(), 3);
  // And when it goes again, minimise iconifies again.
  trayUp_ = false;
  w.ShowFromTray();
  test::Pump();
  w.Minimize();
  EXPECT_TRUE(w.isVisible());
  EXPECT_TRUE(w.windowState() & Qt::WindowMinimized);
}

TEST_F(WindowTest, HiddenStartWithATrayLivesInTheTray) {
  CTolvaneDlg& w = Make(true, true, true);
  EXPECT_TRUE(w.HasTray());
  EXPECT_FALSE(w.isVisible());
  ASSERT_NE(w.TrayMenu(), nullptr);
  const auto actions = w.TrayMenu()->actions();
  ASSERT_EQ(actions.size(), 3);
  EXPECT_EQ(actions[0]->text(), UiText("tc_config"));
  EXPECT_TRUE(actions[1]->isSeparator());
  EXPECT_EQ(actions[2]->text(), UiText("tc_exit"));
  // A second copy's request (a left-button release) shows the window.
  sink_.Post(WM_TRAY_NOTIFY, 0, 0x0202);
  test::Pump();
  EXPECT_TRUE(w.isVisible());
  w.Minimize();
  EXPECT_FALSE(w.isVisible());
}

TEST_F(WindowTest, ExitAsksTheCoreAndFinishesOnItsAnswer) {
  CTolvaneDlg& w = Make();
  QSignalSpy done(&w, &CTolvaneDlg::exitFinished);
  test::Click(w.ExitButton(), QPoint(5, 5));
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(backend_.exitCalls, 1);
  EXPECT_EQ(done.count(), 0);  // not before the core's answer
  test::Pump();
  EXPECT_EQ(done.count(), 1);
  w.Exit();  // a second exit does nothing
  test::Pump();
  EXPECT_EQ(backend_.exitCalls, 1);
  EXPECT_EQ(done.count(), 1);
}

TEST_F(WindowTest, ChargingBatteryAnimatesAndStopsWhenUnplugged) {
  CTolvaneDlg& w = Make();
  backend_.Plug(MakeTile(0, "Model A", true));
  test::Pump();
  w.OnCurrentDeviceChanged(0);
  backend_.AnswerBattery(5, true);
  test::Pump();
  EXPECT_TRUE(w.Power()->AnimationTimerActive());
  EXPECT_EQ(w.Power()->PictureLevel(), 10);
  backend_.AnswerBattery(100, false);
  test::Pump();
  EXPECT_FALSE(w.Power()->AnimationTimerActive());
  EXPECT_EQ(w.Power()->PictureLevel(), 100);
  // A battery of another device, or a failed reading, leaves the display.
  backend_.Post(WM_BATTERY, 5, BatteryParam(30, false));
  backend_.Post(WM_BATTERY, 0, -1);
  test::Pump();
  EXPECT_EQ(w.Power()->PictureLevel(), 100);
}

// A picture whose decoding takes a while: noise does not compress.
QImage Noise(int w, int h) {
  QImage img(w, h, QImage::Format_ARGB32);
  uint32_t x = 12345;
  for (int y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int i = 0; i < w; ++i) {
      x = x * 1664525u + 1013904223u;
      row[i] = 0xFF000000u | (x >> 8);
    }
  }
  return img;
}

TEST(PicturePreload, PicturesHeldBackWaitForTheFirstFrameOrTheirFirstUse) {
  test::TempSkin skin;
  skin.Add("main_nr.png", 300, 200, QColor(10, 200, 30));
  skin.AddImage("late.png", Noise(600, 400));
  skin.Add("other.png", 4, 4, QColor(1, 2, 3));
  const QImage late = LoadSkinPicture("late.png");
  {
    PicturePreload preload({QStringLiteral("main_nr.png")},
                           {QStringLiteral("other.png"), QStringLiteral("late.png")});
    EXPECT_EQ(LoadSkinPicture("main_nr.png").size(), QSize(300, 200));
    QTest::qWait(50);
    EXPECT_TRUE(PicturePreloadPending());  // nothing of the later ones is decoded yet
    // Asked for before its turn: it is decoded now and is the right picture.
    EXPECT_EQ(LoadSkinPicture("late.png"), late);
    ASSERT_TRUE(QTest::qWaitFor([] { return !PicturePreloadPending(); }, 3000));
    EXPECT_EQ(LoadSkinPicture("other.png").size(), QSize(4, 4));
  }
  EXPECT_FALSE(PicturePreloadPending());  // none lives any more
  {  // Resumed by the first frame.
    PicturePreload preload({}, {QStringLiteral("late.png")});
    EXPECT_TRUE(PicturePreloadPending());
    ResumePicturePreload();
    ASSERT_TRUE(QTest::qWaitFor([] { return !PicturePreloadPending(); }, 3000));
    EXPECT_EQ(LoadSkinPicture("late.png"), late);
  }
  {  // Added once the thread has decoded everything it had: held back like
     // the later ones until the first frame.
    PicturePreload preload({QStringLiteral("other.png")});
    ASSERT_TRUE(QTest::qWaitFor([] { return !PicturePreloadPending(); }, 3000));
    PreloadSkinPicture(QStringLiteral("late.png"));
    QTest::qWait(30);
    EXPECT_TRUE(preload.Pending());
    ResumePicturePreload();
    ASSERT_TRUE(QTest::qWaitFor([] { return !PicturePreloadPending(); }, 3000));
    const std::optional<QImage> taken = preload.Take(SkinPath("late.png"));
    ASSERT_TRUE(taken.has_value());
    EXPECT_EQ(*taken, late);
  }
  // Ended before the held pictures were let go, or in the middle of one:
  // the thread is joined all the same, without a wait for the rest.
  { PicturePreload held({QStringLiteral("main_nr.png")}, {QStringLiteral("late.png")}); }
  {
    PicturePreload busy({QStringLiteral("late.png"), QStringLiteral("late.png")});
    QTest::qWait(1);
  }
}

TEST_F(WindowTest, PagesAreMadeOnceTheirPicturesAreDecodedAndAClickedOneAtOnce) {
  for (const char* n : {"adv_nr.png", "macro_nr.png", "led_nr.png"})
    skin_.AddImage(n, Noise(1070, 750));
  PicturePreload preload(StartPictures(), PagePictures());
  CTolvaneDlg& w = Make(/*start=*/false);
  bool madeWhileDecoding = false;
  int made = 0;
  for (int i : {kPageButtons, kPageMacros, kPageLighting})
    w.SetPageMaker(i, [&] {
      madeWhileDecoding |= PicturePreloadPending();
      ++made;
      return new QWidget;
    });
  w.SetPageMaker(kPageDpi, [] {
    return new CPageFrame(nullptr, CutBackground(LoadSkinPicture("adv_nr.png"), CTolvaneDlg::kPageRect));
  });
  EXPECT_TRUE(PicturePreloadPending());  // held back until the first frame
  w.Start();
  // Clicked before its picture was decoded: made at once, with its picture.
  w.SwitchPage(kPageDpi);
  EXPECT_EQ(w.PagesToMake(), 4);
  EXPECT_EQ(w.Page(kPageDpi)->grab().toImage().pixel(5, 5),
            Noise(1070, 750).pixel(CTolvaneDlg::kPageRect.topLeft() + QPoint(5, 5)));
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.PagesToMake() == 0; }, 5000));
  EXPECT_EQ(made, 3);
  EXPECT_FALSE(madeWhileDecoding);  // none waited for a picture on the window's thread
}

TEST(SkinPictures, ASmallPictureIsDecodedOnceUntilItsFileChanges) {
  test::TempSkin skin;
  skin.Add("radio_nr.png", 13, 13, QColor(200, 0, 0));
  skin.Add("wide.png", 400, 300, QColor(0, 0, 200));
  const QImage first = LoadSkinPicture("radio_nr.png");
  const QImage second = LoadSkinPicture("radio_nr.png");
  EXPECT_EQ(second.constBits(), first.constBits());  // one decode, shared
  // A changed file is decoded afresh; the pixels handed out before stay.
  skin.Add("radio_nr.png", 14, 13, QColor(0, 200, 0));
  const QImage changed = LoadSkinPicture("radio_nr.png");
  EXPECT_EQ(changed.size(), QSize(14, 13));
  EXPECT_EQ(QColor(changed.pixel(3, 3)), QColor(0, 200, 0));
  EXPECT_EQ(QColor(first.pixel(3, 3)), QColor(200, 0, 0));
}

TEST(SkinPictures, ABackgroundIsSharedWhileHeldAndItsPartsAreNoCopies) {
  test::TempSkin skin;
  skin.Add("wide.png", 400, 300, QColor(0, 0, 200));
  QImage whole = LoadSkinPicture("wide.png");
  ASSERT_EQ(whole.size(), QSize(400, 300));
  // Two pages that load the same background hold one set of pixels.
  EXPECT_EQ(LoadSkinPicture("wide.png").constBits(), whole.constBits());
  const QRect r(40, 20, 30, 10);
  QImage part = CutBackground(whole, r);
  EXPECT_EQ(part.constBits(), whole.constBits() + r.y() * whole.bytesPerLine() + r.x() * 4);
  EXPECT_EQ(part.size(), r.size());
  EXPECT_EQ(CutBackground(part, QRect(1, 1, 5, 5)).constBits(), part.constBits() + part.bytesPerLine() + 4);
  // A part reaching outside still gets its own pixels, transparent outside.
  const QImage edge = CutBackground(whole, QRect(390, 290, 20, 20));
  EXPECT_EQ(QColor(edge.pixel(5, 5)), QColor(0, 0, 200));
  EXPECT_EQ(edge.pixel(15, 15), 0u);
  // Painting on a part copies it first: the shared picture stays as it was.
  QImage drawn = part;
  drawn.fill(Qt::red);
  EXPECT_EQ(QColor(whole.pixel(r.topLeft())), QColor(0, 0, 200));
  EXPECT_EQ(QColor(part.pixel(0, 0)), QColor(0, 0, 200));
  // A replaced file is decoded afresh; what was handed out before still
  // paints its own pixels, also once the picture it came from is let go.
  skin.Add("wide.png", 401, 300, QColor(0, 200, 0));
  const QImage replaced = LoadSkinPicture("wide.png");
  EXPECT_EQ(replaced.size(), QSize(401, 300));
  EXPECT_EQ(QColor(replaced.pixel(50, 25)), QColor(0, 200, 0));
  whole = QImage();
  QImage shown(r.size(), QImage::Format_ARGB32_Premultiplied);
  shown.fill(Qt::black);
  QPainter(&shown).drawImage(0, 0, part);
  EXPECT_EQ(QColor(shown.pixel(29, 9)), QColor(0, 0, 200));
}

TEST_F(WindowTest, TheButtonPageIsMadeLastWithTheCurrentMousesPictureDecodedAhead) {
  QDir(skin_.Dir()).mkdir("1001");
  const QImage model = Noise(1070, 750);
  skin_.AddImage("1001/key_nr.png", model);
  backend_.currentSkinFolder = "1001";
  PicturePreload preload({}, {});
  CTolvaneDlg& w = Make(/*start=*/false);
  std::vector<int> order;
  std::optional<QImage> preloaded;
  for (int i : {kPageButtons, kPageMacros, kPageDpi, kPageLighting})
    w.SetPageMaker(i, [&, i] {
      order.push_back(i);
      if (i == kPageButtons) preloaded = preload.Take(SkinPath("1001/key_nr.png"));
      return new QWidget;
    });
  w.Start();
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.PagesToMake() == 0; }, 5000));
  ASSERT_EQ(order.size(), 4u);
  EXPECT_EQ(order.back(), kPageButtons);
  ASSERT_TRUE(preloaded.has_value());  // handed out by the preload, decoded off this thread
  EXPECT_EQ(preloaded->size(), model.size());
  for (const QPoint p : {QPoint(0, 0), QPoint(500, 300), QPoint(1069, 749)})
    EXPECT_EQ(preloaded->pixel(p), model.pixel(p));
}

TEST_F(WindowTest, AShapedWindowPaintsItsPictureWithTheOutsideLeftOut) {
  // A background whose top-left corner has the key colour.
  QImage bg(1070, 750, QImage::Format_ARGB32);
  bg.fill(QColor(30, 31, 36));
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) bg.setPixel(x, y, qRgb(255, 0, 255));
  skin_.AddImage("main_nr.png", bg);
  backend_.config.clrMask = 0xFF00FF;
  CTolvaneDlg& w = Make();
  test::Pump();
  const QImage shown = w.Render();
  EXPECT_EQ(qAlpha(shown.pixel(5, 5)), 0);
  EXPECT_EQ(qAlpha(shown.pixel(25, 5)), 255);
  EXPECT_EQ(QColor(shown.pixel(500, 300)), QColor(30, 31, 36));
}

}  // namespace
}  // namespace tolvane::ui

namespace tolvane::ui {
namespace {

TEST_F(WindowTest, ALanguageChoiceRelabelsEverythingAtOnce) {
  const std::string data = TOLVANE_SOURCE_DATA_DIR;
  backend_.languageFiles = {data + "/text.xml", data + "/de/text.xml"};
  Texts().Load(backend_.languageFiles[0]);
  CTolvaneDlg& w = Make(true, false, true);
  // A window shown at start makes its tray icon once its first frame is painted.
  EXPECT_EQ(w.TrayMenu(), nullptr);
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.TrayMenu() != nullptr; }, 5000));
  EXPECT_EQ(w.Tab(0)->Caption(), "Devices");
  // Chosen in the settings page's list: tabs, tray menu and page texts follow.
  w.SwitchPage(kPageSettings);
  CComboBtn* lang = w.SettingsPage()->LanguageButton();
  ASSERT_NE(lang, nullptr);
  EXPECT_EQ(lang->ItemCount(), 2);
  CMenuDlg* menu = lang->OpenList();
  ASSERT_NE(menu, nullptr);
  PostUiMessage(lang, WM_MENU_PICK, 1, 0);
  test::Pump();
  EXPECT_EQ(backend_.CurrentLanguage(), 1);
  EXPECT_EQ(w.Tab(0)->Caption(), QString::fromUtf8("Geräte"));
  EXPECT_EQ(w.TrayMenu()->actions()[0]->text(), UiText("tc_config"));
  EXPECT_EQ(lang->Caption(), "Deutsch");
  Texts().Load(backend_.languageFiles[0]);
}

TEST_F(WindowTest, DraggingTheBackgroundMovesTheWindow) {
  CTolvaneDlg& w = Make();
  backend_.Plug(MakeTile(0, "Model A"));
  test::Pump();
  const QPoint before = w.pos();
  // On the device page, away from the tiles: the page leaves it to the window.
  QWidget* page = w.DevicePage();
  const QPoint at(40, 600);
  ASSERT_LT(w.DevicePage()->TileAt(at), 0);
  test::Mouse(page, QEvent::MouseButtonPress, at);
  QMouseEvent move(QEvent::MouseMove, QPointF(at + QPoint(30, 20)),
                   QPointF(page->mapToGlobal(at) + QPoint(30, 20)), Qt::NoButton, Qt::LeftButton,
                   Qt::NoModifier);
  QCoreApplication::sendEvent(page, &move);
  test::Mouse(page, QEvent::MouseButtonRelease, at + QPoint(30, 20));
  EXPECT_EQ(w.pos(), before + QPoint(30, 20));
  EXPECT_EQ(backend_.chooseCalls, 0);
}

TEST(WaitAnimation, PlaysTheSkinAnimationWithABoundedFrameDelay) {
  const QString gif = QString::fromUtf8(TOLVANE_BINARY_DIR) + "share/tolvane/wait.gif";
  if (!QFile::exists(gif)) GTEST_SKIP() << "no generated skin at " << gif.toStdString();
  QWidget parent;
  parent.resize(400, 400);
  parent.show();
  CPlayGIFDlg dlg(&parent, gif);
  ASSERT_GT(dlg.FrameCount(), 1);
  EXPECT_GE(dlg.CurrentDelayMs(), kMinFrameDelayMs);
  QImage bg(400, 400, QImage::Format_ARGB32);
  bg.fill(Qt::darkGray);
  dlg.Place(QRect(100, 100, 100, 100), bg);
  EXPECT_EQ(dlg.size(), QSize(100, 100));
  dlg.Start();
  EXPECT_EQ(dlg.CurrentFrame(), 0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return dlg.CurrentFrame() >= 2; }, 2000));
}

TEST(WaitAnimation, FramesAreDecodedOnceWhileTheFileStaysTheSame) {
  const QString gif = QString::fromUtf8(TOLVANE_BINARY_DIR) + "share/tolvane/wait.gif";
  if (!QFile::exists(gif)) GTEST_SKIP() << "no generated skin at " << gif.toStdString();
  QTemporaryDir dir;
  const QString path = dir.path() + "/wait.gif";
  ASSERT_TRUE(QFile::copy(gif, path));
  QWidget parent;
  CPlayGIFDlg first(&parent, path);
  ASSERT_GT(first.FrameCount(), 1);
  CPlayGIFDlg second(&parent, path);  // the same pixels, not a second decoding
  ASSERT_EQ(second.FrameCount(), first.FrameCount());
  EXPECT_EQ(second.Frame(0).constBits(), first.Frame(0).constBits());
  // A changed file is read again: here it no longer holds an animation.
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("GIF89a but nothing after it");
  }
  CPlayGIFDlg third(&parent, path);
  EXPECT_EQ(third.FrameCount(), 0);
  QFile::remove(path);
  CPlayGIFDlg gone(&parent, path);
  EXPECT_EQ(gone.FrameCount(), 0);
}

}  // namespace
}  // namespace tolvane::ui

#include <csignal>

#include "ui/run_window.h"

namespace tolvane::ui {
namespace {

TEST_F(WindowTest, TermAndInterruptSignalsRunTheFullExit) {
  CTolvaneDlg& w = Make();
  QSignalSpy done(&w, &CTolvaneDlg::exitFinished);
  InstallQuitHandlers(w);
  std::raise(SIGTERM);
  EXPECT_TRUE(QTest::qWaitFor([&] { return done.count() == 1; }, 2000));
  EXPECT_EQ(backend_.exitCalls, 1);
  std::raise(SIGINT);  // a second signal during or after the exit changes nothing
  QTest::qWait(50);
  EXPECT_EQ(backend_.exitCalls, 1);
}

}  // namespace
}  // namespace tolvane::ui

namespace tolvane::ui {
namespace {

TEST_F(WindowTest, AnEmptyPageShowsItsOwnPictureOnceOpened) {
  skin_.Add("adv_nr.png", 1070, 750, QColor(200, 0, 0));
  CTolvaneDlg& w = Make();
  w.SwitchPage(kPageDpi);
  const QImage shown = w.Page(kPageDpi)->grab().toImage();
  EXPECT_EQ(QColor(shown.pixel(20, 20)), QColor(200, 0, 0));
  // A page without a picture of its own shows the window's background.
  w.SwitchPage(kPageLighting);
  EXPECT_EQ(QColor(w.Page(kPageLighting)->grab().toImage().pixel(20, 20)), QColor(30, 31, 36));
}

TEST_F(WindowTest, PagesNotOnTheFirstFrameAreMadeAfterItOnePerTurn) {
  CTolvaneDlg& w = Make(/*start=*/false);
  int made[kPages] = {};
  for (int i : {kPageButtons, kPageMacros, kPageDpi, kPageLighting})
    w.SetPageMaker(i, [&made, i] {
      ++made[i];
      return new QWidget;
    });
  EXPECT_EQ(w.PagesToMake(), 5);  // the four and the settings page
  // Shown before its turn: made on the spot, once.
  w.SwitchPage(kPageDpi);
  EXPECT_EQ(made[kPageDpi], 1);
  EXPECT_FALSE(w.Page(kPageDpi)->isHidden());
  EXPECT_EQ(w.PagesToMake(), 4);
  w.SwitchPage(kPageDevices);
  EXPECT_EQ(made[kPageButtons] + made[kPageMacros] + made[kPageLighting], 0);
  ASSERT_NE(w.SettingsPage(), nullptr);  // asked for: made now
  EXPECT_EQ(w.PagesToMake(), 3);

  w.Start();
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.PagesToMake() == 0; }, 3000));
  for (int i : {kPageButtons, kPageMacros, kPageDpi, kPageLighting}) EXPECT_EQ(made[i], 1) << i;
  EXPECT_EQ(w.CurrentPage(), kPageDevices);
  EXPECT_FALSE(w.Page(kPageLighting)->isVisible());
  // A page put in place by hand wins over its maker.
  w.SetPageMaker(kPageMacros, [&made] {
    ++made[kPageMacros];
    return new QWidget;
  });
  auto* mine = new QWidget;
  w.SetPage(kPageMacros, mine);
  test::Pump();
  EXPECT_EQ(w.Page(kPageMacros), mine);
  EXPECT_EQ(made[kPageMacros], 1);
}

TEST(PicturePreload, HandsOutEachPictureOnceThenLoadsAfresh) {
  test::TempSkin skin;
  skin.Add("big.png", 300, 200, QColor(10, 200, 30));
  skin.Add("other.png", 4, 4, QColor(1, 2, 3));
  const QImage direct = LoadSkinPicture("big.png");
  {
    PicturePreload preload({QStringLiteral("big.png"), QStringLiteral("missing.png")});
    const QImage first = LoadSkinPicture("big.png");
    EXPECT_EQ(first, direct);
    EXPECT_EQ(first.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_FALSE(preload.Take(SkinPath("big.png")).has_value());  // taken already
    EXPECT_EQ(LoadSkinPicture("big.png"), direct);                // decoded afresh
    EXPECT_TRUE(LoadSkinPicture("missing.png").isNull());
    EXPECT_EQ(LoadSkinPicture("other.png").size(), QSize(4, 4));
  }
  // Gone: loads go on as before.
  EXPECT_EQ(LoadSkinPicture("big.png"), direct);
  // Destroyed before anything was taken: its thread is joined all the same.
  { PicturePreload unused({QStringLiteral("big.png")}); }
  // Listed twice for two users: one decode, both get its pixels.
  {
    PicturePreload twice({QStringLiteral("big.png"), QStringLiteral("big.png")});
    const QImage first = LoadSkinPicture("big.png");
    const QImage second = LoadSkinPicture("big.png");
    EXPECT_EQ(second, direct);
    EXPECT_EQ(second.constBits(), first.constBits());
  }
}

}  // namespace
}  // namespace tolvane::ui
