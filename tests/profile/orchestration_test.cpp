// The program's core running headless from start-up to exit: the start-up
// sequence on a copy of the installation data, discovery on two virtual mice
// of different models, the stores, the macro library and the profile session
// together, all wired by Program, with the test thread as the main window
// (it takes the posted events and starts operations as the window does).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <thread>

#include "../device/discovery_rig.h"
#include "app/notifier.h"
#include "app/paths.h"
#include "config/catalogue.h"
#include "config/texts.h"
#include "device/link_options.h"
#include "macro/macro_library.h"
#include "profile/profile_device.h"
#include "program/program.h"
#include "sim/sim_spec.h"
#include "sim/sim_state.h"
#include "store_rig.h"
#include "support/saved_globals.h"

namespace tolvane::test {
namespace {

namespace fs = std::filesystem;

int ThreadCount() {
  int n = 0;
  for (const auto& e : fs::directory_iterator("/proc/self/task")) n += e.is_directory() ? 1 : 0;
  return n;
}

std::vector<size_t> Differences(const sim::Eeprom& a, const sim::Eeprom& b) {
  std::vector<size_t> out;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) out.push_back(i);
  return out;
}

std::vector<uint8_t> At(const sim::Eeprom& e, size_t addr, size_t n) {
  return std::vector<uint8_t>(e.begin() + long(addr), e.begin() + long(addr + n));
}

class OrchestrationStartup : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::path(tmp_.Root());
    // The installation data as shipped, with the debugger log switched on.
    fs::copy(TOLVANE_SOURCE_DATA_DIR, root_ / "data", fs::copy_options::recursive);
    std::ifstream in(root_ / "data" / "cfg.ini");
    std::stringstream ss;
    ss << in.rdbuf();
    std::string cfg = ss.str();
    const size_t at = cfg.find("\nDebug=0");
    ASSERT_NE(at, std::string::npos);
    cfg.replace(at, 8, "\nDebug=1");
    in.close();
    std::ofstream(root_ / "data" / "cfg.ini", std::ios::trunc) << cfg;
    fs::create_directories(root_ / "run");
  }

  // Takes the window's messages until `done` holds or `ms` have passed.
  template <class Pred>
  bool PumpUntil(Pred done, int ms = kWaitMs) {
    const auto until = Clock::now() + Ms(ms);
    while (!done()) {
      std::optional<EventRecorder::Event> m = window_.Next(until);
      if (!m) return done();
      Dispatch(*m);
    }
    return true;
  }
  void Dispatch(const EventRecorder::Event& m) {
    if (m.msg == WM_NEW_DEVICE) {
      newDevices_.push_back(m.w);
    } else if (m.msg == WM_DEVICE_BEHAVIOR) {
      behaviors_.push_back({m.w, m.l});
    } else if (m.msg == WM_SYNC_OK) {
      ++syncs_;
    }
  }
  int NewDevicesOf(size_t index) const {
    return int(std::count(newDevices_.begin(), newDevices_.end(), uintptr_t(index)));
  }
  // Choosing a device on the overview: the read runs and the window refreshes.
  void Choose(int index) {
    const int syncs = syncs_;
    const Ticket t = program_->ChooseDevice(index);
    ASSERT_TRUE(program_->Wait(t, kWaitMs));
    ASSERT_EQ(program_->Result(t), std::optional<bool>(true));
    ASSERT_TRUE(PumpUntil([&] { return syncs_ == syncs + 1; }));
  }
  // Runs an operation to its end; true when it succeeded.
  bool Done(Ticket t) { return program_->Wait(t, kWaitMs) && program_->Result(t) == std::optional<bool>(true); }
  // What the store holds: the current id and the four records.
  std::vector<uint8_t> StoreImage() {
    std::vector<uint8_t> out(4);
    const uint32_t id = store_->Current()->dwID;
    std::memcpy(out.data(), &id, 4);
    for (int i = 0; i < kStoreProfiles; ++i) {
      ProfileFile p = *store_->GetProfileAt(i);
      const auto* b = reinterpret_cast<const uint8_t*>(&p);
      out.insert(out.end(), b, b + sizeof p);
    }
    return out;
  }

  TempDir tmp_;
  fs::path root_;
  LogCapture log_;
  SavedGlobals saved_;

  // The main window's message queue: background threads post, the window's
  // thread takes the messages one by one.
  EventRecorder window_;
  RecordingNotifier notes_;
  // The program, owned by the test body.
  Program* program_ = nullptr;
  ProfileStore* store_ = nullptr;
  std::vector<uintptr_t> newDevices_;
  std::vector<std::pair<uintptr_t, intptr_t>> behaviors_;
  int syncs_ = 0;
};

TEST_F(OrchestrationStartup, TwoMiceRoundTrip) {
  // A sanitizer runtime starts a thread of its own with the first thread of
  // the process; let that happen before counting.
  std::thread([] {}).join();
  const int threadsBefore = ThreadCount();

  // ---- Start-up: folders, texts, catalogue and logger, single instance,
  // then the main window's start: discovery on two mice of two models (a PRO
  // Kestrel and a PRO+ Heron), the apply thread, the library.
  Program program(window_);
  program_ = &program;
  ProgramOptions po;
  po.dataDir = (root_ / "data").string();
  po.userDir = (root_ / "user").string();
  po.instanceDir = (root_ / "run").string();
  po.simulate = {"pro:cid=10,mid=1", "pro+:cid=20,mid=1"};
  po.discovery = FastTimings();
  po.notifier = &notes_;
  ASSERT_EQ(program.Start(po), StartResult::Ok);
  EXPECT_EQ(UserDataDir, (root_ / "user").string() + "/");
  EXPECT_TRUE(log_.Mentions("Launch "));
  const Catalogue& cat = Cat();
  ASSERT_TRUE(cat.opt.ApplyNow);
  ASSERT_NE(program.Simulated(), nullptr);
  const auto mice = program.Simulated()->Mice();
  ASSERT_EQ(mice.size(), 2u);
  const std::shared_ptr<sim::VirtualMouse> kestrel = mice[0], heron = mice[1];
  sim::SimTransport& transport = *program.Simulated();
  store_ = &program.Store();
  CDevList& list = program.Manager().List();
  const int k = list.FindByIdentity(0x10, 0x01), h = list.FindByIdentity(0x20, 0x01);
  ASSERT_GE(k, 0);
  ASSERT_GE(h, 0);
  const DevCfg& kModel = *list.View(size_t(k)).pDevCfg;
  const DevCfg& hModel = *list.View(size_t(h)).pDevCfg;
  const ProfileDefaults defaults = ProfileDefaultsFrom(cat.opt);
  ASSERT_TRUE(PumpUntil([&] { return NewDevicesOf(size_t(k)) == 1 && NewDevicesOf(size_t(h)) == 1; }));
  ASSERT_TRUE(program.WaitDevicesSettled(kWaitMs));

  // ---- Choose the Kestrel: its store is built, the device read, the store saved.
  ASSERT_NO_FATAL_FAILURE(Choose(k));
  EXPECT_EQ(kestrel->Snapshot().drvStatus, 1);  // told the driver is there
  EXPECT_EQ(store_->CurrentIndex(), 0);
  {
    ProfileFile cur = *store_->Current();
    for (int i = 0; i < int(kModel.nDM); ++i) {
      EXPECT_EQ(cur.Dpi[i].dwDpiX, kModel.dwDpi[i]) << i;
      EXPECT_EQ(cur.Dpi[i].bAbsent, 0u) << i;
    }
    EXPECT_EQ(ReadAll(store_->StorePath(kModel)).size(), kProfileStoreSize);
  }

  // ---- The DPI page: level 3 becomes 26100 x 3200 (record, then request 0x4, item 2).
  const sim::Eeprom beforeDpi = kestrel->EepromCopy();
  ASSERT_EQ(program.CanChangeSettings(), 1);
  const EditOutcome dpi = program.Edit(
      [](ProfileFile& p, const EditModel& m) { return EditDpi(p, m, 2, 26100, 3200); });
  ASSERT_TRUE(dpi.ok) << dpi.edit.text;
  EXPECT_TRUE(dpi.requested);
  EXPECT_EQ(dpi.edit.flag, 0x4u);
  EXPECT_EQ(dpi.edit.item, 2u);
  EXPECT_EQ(program.Profile()->Dpi[2].dwDpiX, 26100u);
  ASSERT_TRUE(program.WaitApplyIdle(kWaitMs));
  EXPECT_EQ(program.LastApplyResult(), 1);
  const sim::Eeprom afterDpi = kestrel->EepromCopy();
  // Only the entry at 0x14: X 260 low byte, Y 63, multiplier (X mode 1, X
  // code bit 8), guard.
  for (size_t a : Differences(beforeDpi, afterDpi)) EXPECT_TRUE(a >= 0x14 && a < 0x18) << a;
  EXPECT_EQ(At(afterDpi, 0x14, 4), (std::vector<uint8_t>{0x04, 0x3F, 0x05, 0x0D}));

  // ---- Restore defaults, with a progress window; the device's reset echo is ignored.
  auto progress = std::make_shared<EventRecorder>();
  program.SetProgressWindow(progress);
  const size_t behaviorsBefore = behaviors_.size();
  ASSERT_TRUE(Done(program.RestoreDefaults()));
  ASSERT_TRUE(program.WaitApplyIdle(kWaitMs));
  EXPECT_EQ(program.LastApplyResult(), 1);
  program.SetProgressWindow(nullptr);
  // No button or DPI colour group: no 60 or 70.
  EXPECT_EQ(progress->Params(WM_PROGRESS), (std::vector<uintptr_t>{20, 80, 90, 100}));
  EXPECT_EQ(progress->Count(WM_CLOSE_WINDOW), 2);
  const sim::MouseState restored = kestrel->Snapshot();
  EXPECT_TRUE(restored.eeprom == restored.factory);
  ASSERT_TRUE(PumpUntil([&] {
    for (size_t i = behaviorsBefore; i < behaviors_.size(); ++i)
      if (behaviors_[i].first == uintptr_t(k) && ((behaviors_[i].second >> 8) & 0xFF) == kBehaviorReset)
        return true;
    return false;
  }));
  EXPECT_TRUE(log_.Mentions("this is reset notify, do not process"));
  EXPECT_EQ(store_->CurrentIndex(), 0);
  EXPECT_EQ(store_->Current()->Dpi[2].dwDpiX, kModel.dwDpi[2]);

  // ---- Export the restored profile.
  const std::string qxa = (root_ / "kestrel.qxa").string();
  ASSERT_TRUE(Done(program.ExportProfile(qxa)));
  const ProfileFile exported = *store_->Current();
  const std::vector<uint8_t> qxaBytes = ReadAll(qxa);
  ASSERT_EQ(qxaBytes.size(), kExportFileSize);
  EXPECT_EQ(std::memcmp(qxaBytes.data(), &exported, sizeof exported), 0);
  const std::vector<uint8_t> kStore = StoreImage();

  // ---- Back to the overview (the store is saved), choose the Heron, import.
  ASSERT_EQ(program.Session().SaveCurrentStore(), 1);
  ASSERT_NO_FATAL_FAILURE(Choose(h));
  const uint32_t heronId = store_->Current()->dwID;
  const int heronPos = store_->CurrentIndex();
  ASSERT_EQ(program.CanChangeSettings(), 1);
  ASSERT_TRUE(Done(program.ImportProfile(qxa)));
  ASSERT_TRUE(program.WaitApplyIdle(kWaitMs));
  EXPECT_EQ(program.LastApplyResult(), 1);
  const ProfileFile imported = *store_->Current();
  EXPECT_EQ(imported.dwID, heronId);
  {
    // The Kestrel's profile on the Heron: its sensor, and the seventh level
    // the Kestrel has not, from the Heron's defaults.
    ProfileFile expect = exported;
    expect.dwID = heronId;
    expect.dwSensor = hModel.nSensor;
    ASSERT_EQ(kModel.DpiLevels() + 1, hModel.DpiLevels());
    const int extra = kModel.DpiLevels();
    expect.Dpi[extra].dwDpiX = expect.Dpi[extra].dwDpiY = hModel.dwDpi[extra];
    expect.Dpi[extra].dwColor = hModel.dwDpiColor[extra];
    EXPECT_TRUE(SameBytes(imported, expect));
  }
  const sim::Eeprom he = heron->EepromCopy();
  const uint8_t rate = sim::RateToCode(imported.dwPollingRate);
  EXPECT_EQ(At(he, 0x00, 2), (std::vector<uint8_t>{rate, uint8_t(0x55 - rate)}));
  const uint8_t levels = uint8_t(imported.nDpiLevels);
  EXPECT_EQ(At(he, 0x02, 2), (std::vector<uint8_t>{levels, uint8_t(0x55 - levels)}));
  EXPECT_EQ(At(he, 0x0A, 2), (std::vector<uint8_t>{uint8_t(imported.nLOD), uint8_t(0x55 - imported.nLOD)}));
  for (int i = 0; i < levels; ++i) {
    EXPECT_TRUE(sim::QuadOk(he, uint16_t(0x0C + 4 * i))) << i;
    const uint32_t c = imported.Dpi[i].dwColor;
    EXPECT_EQ(At(he, size_t(0x2C + 4 * i), 3),
              (std::vector<uint8_t>{uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16)}))
        << i;
    EXPECT_TRUE(sim::QuadOk(he, uint16_t(0x2C + 4 * i))) << i;
  }
  // The device read back gives the imported values.
  ASSERT_TRUE(Done(program.ReadProfile()));
  ASSERT_TRUE(PumpUntil([&] { return syncs_ == 3; }));
  {
    const ProfileFile back = *store_->Current();
    EXPECT_EQ(store_->CurrentIndex(), heronPos);
    EXPECT_EQ(back.dwPollingRate, imported.dwPollingRate);
    EXPECT_EQ(back.nDpiLevels, imported.nDpiLevels);
    EXPECT_EQ(back.nLOD, imported.nLOD);
    for (int i = 0; i < levels; ++i) {
      EXPECT_EQ(back.Dpi[i].dwDpiX, imported.Dpi[i].dwDpiX) << i;
      EXPECT_EQ(back.Dpi[i].dwDpiY, imported.Dpi[i].dwDpiY) << i;
      EXPECT_EQ(back.Dpi[i].dwColor, imported.Dpi[i].dwColor) << i;
    }
  }
  const std::vector<uint8_t> hStoreAfterImport = StoreImage();
  const ProfileFile heronHeld = *store_->Current();
  ASSERT_EQ(program.Session().SaveCurrentStore(), 1);

  // ---- Unplug the Kestrel (not the current device) and plug it in again.
  transport.Unplug(kestrel);
  ASSERT_TRUE(PumpUntil([&] { return !list.Device(size_t(k)); }));
  EXPECT_TRUE(list.Device(size_t(h)));
  transport.Plug(kestrel);
  ASSERT_TRUE(PumpUntil([&] { return NewDevicesOf(size_t(k)) == 2; }));
  ASSERT_NO_FATAL_FAILURE(Choose(k));
  EXPECT_EQ(kestrel->Snapshot().drvStatus, 1);
  {
    // The store file gave back the list; the read replaced the device's
    // settings in the record at the device's profile number and kept the
    // rest (id, name, pointer settings).
    const std::vector<uint8_t> now = StoreImage();
    ASSERT_EQ(now.size(), kStore.size());
    EXPECT_TRUE(std::equal(now.begin(), now.begin() + 4, kStore.begin()));  // current id
    EXPECT_TRUE(std::equal(now.begin() + 4 + long(sizeof(ProfileFile)), now.end(),
                           kStore.begin() + 4 + long(sizeof(ProfileFile))));
    const ProfileFile p0 = *store_->GetProfileAt(0);
    EXPECT_EQ(p0.dwID, exported.dwID);
    EXPECT_EQ(GetProfileName(p0), GetProfileName(exported));
    EXPECT_EQ(std::memcmp(&p0.SysMouse, &exported.SysMouse, sizeof p0.SysMouse), 0);
    EXPECT_EQ(p0.Dpi[2].dwDpiX, kModel.dwDpi[2]);  // the device's factory level after the restore
    const sim::Eeprom ke = kestrel->EepromCopy();
    EXPECT_EQ(p0.LogoLight.nMode, ke[0x58]);
    EXPECT_EQ(p0.LogoLight.nSpeed, ke[0x5C]);
  }

  // ---- Exit: tell the devices, save the store, empty the list, stop the threads.
  const std::vector<uint8_t> kStoreAtExit = StoreImage();
  std::vector<ProfileFile> kHeld;
  for (int i = 0; i < kStoreProfiles; ++i) kHeld.push_back(*store_->GetProfileAt(i));
  const int kPos = store_->CurrentIndex();
  EXPECT_EQ(program.Exit(), 2);
  EXPECT_EQ(list.ConnectedCount(), 0u);
  EXPECT_EQ(store_->Count(), 0u);
  EXPECT_TRUE(log_.Mentions("Driver exit"));

  EXPECT_EQ(kestrel->Snapshot().drvStatus, 0);
  EXPECT_EQ(heron->Snapshot().drvStatus, 0);
  EXPECT_EQ(ReadAll(store_->StorePath(kModel)), kStoreAtExit);
  EXPECT_EQ(ReadAll(store_->StorePath(hModel)), hStoreAfterImport);
  EXPECT_EQ(ReadAll(UserDataDir + kGlobalSettingsName), std::vector<uint8_t>(8, 0));
  {
    // The stores load back to what the session held.
    ProfileStore again(UserDataDir);
    again.LoadPro(hModel, defaults);
    EXPECT_EQ(again.CurrentIndex(), heronPos);
    EXPECT_TRUE(SameBytes(*again.Current(), heronHeld));
    again.LoadPro(kModel, defaults);
    EXPECT_EQ(again.CurrentIndex(), kPos);
    for (int i = 0; i < kStoreProfiles; ++i) EXPECT_TRUE(SameBytes(*again.GetProfileAt(i), kHeld[size_t(i)])) << i;
  }
  // No temporary file is left behind.
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(UserDataDir))
    if (e.is_regular_file()) names.insert(e.path().filename().string());
  EXPECT_EQ(names, (std::set<std::string>{ProfileStoreName(0x10, 0x01), ProfileStoreName(0x20, 0x01),
                                          kGlobalSettingsName}));
  EXPECT_TRUE(notes_.Entries().empty());

  // Every thread has ended.
  EXPECT_TRUE(WaitUntil([&] { return ThreadCount() == threadsBefore; }))
      << ThreadCount() << " threads, " << threadsBefore << " before";
}

}  // namespace
}  // namespace tolvane::test
