#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "app/log.h"
#include "app/notifier.h"
#include "device/discovery_host.h"
#include "device/dev_pro.h"
#include "device/hid_dev.h"
#include "macro/macro_library.h"
#include "profile/dev_list_devices.h"
#include "profile/profile_session.h"
#include "store_rig.h"
#include "support/event_recorder.h"
#include "support/log_capture.h"

namespace tolvane::test {
namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

int Since(Clock::time_point t0) {
  return int(std::chrono::duration_cast<Ms>(Clock::now() - t0).count());
}

// Opens once; everyone waiting goes on.
class Latch {
 public:
  void Open() {
    std::lock_guard l(mu_);
    open_ = true;
    cv_.notify_all();
  }
  void Wait() {
    std::unique_lock l(mu_);
    cv_.wait(l, [&] { return open_; });
  }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  bool open_ = false;
};

struct ApplyCall {
  uint32_t flag, data;
  bool withProgress;
  int nLOD;
  int atMs;
};

class FakeDev : public CHidDev {
 public:
  explicit FakeDev(bool connected = true) {
    if (connected) SetOfflineMarker();
  }
  int ApplySetting(ProfileFile* p, EventSink* progress, uint32_t msg, uint32_t flag,
                   uint32_t data, MacroLibrary*) {
    if (applyGate) applyGate->Wait();
    if (progress) {
      for (int pc : {20, 60, 100}) progress->Post(msg, uintptr_t(pc), 0);
    }
    if (applySleepMs) std::this_thread::sleep_for(Ms(applySleepMs));
    std::lock_guard l(mu);
    calls.push_back({flag, data, progress != nullptr, p ? p->nLOD : -1, Since(t0)});
    cv.notify_all();
    return applyResult;
  }
  int GetProfile(ProfileFile* p, MacroLibrary*) {
    inRead = true;
    if (readGate) readGate->Wait();
    p->nLOD = 9;
    p->nKeyTable = 12;  // a device answer out of range
    inRead = false;
    return readResult;
  }
  int GetCurProfile() override { return curProfile; }
  int GetPower(int& p, int& c) override {
    ++powerCalls;
    p = power;
    c = 1;
    return 1;
  }
  int GetConnectStatus() override { return connectStatus; }
  int TellDrvStatus(int s) override {
    told = s;
    return 1;
  }
  std::vector<ApplyCall> Calls() {
    std::lock_guard l(mu);
    return calls;
  }
  bool WaitCalls(size_t n, int ms = 5000) {
    std::unique_lock l(mu);
    return cv.wait_for(l, Ms(ms), [&] { return calls.size() >= n; });
  }

  Clock::time_point t0 = Clock::now();
  Latch* applyGate = nullptr;
  Latch* readGate = nullptr;
  int applySleepMs = 0;
  int applyResult = 1;
  int readResult = 1;
  int curProfile = 2;
  int power = 80;
  int connectStatus = 1;
  std::atomic<int> told{-1};
  std::atomic<int> powerCalls{0};
  std::atomic<bool> inRead{false};
  std::mutex mu;
  std::condition_variable cv;
  std::vector<ApplyCall> calls;
};

class FakeDevices : public SessionDevices {
 public:
  SessionDevice Current() const override { return At(current); }
  SessionDevice At(int i) const override {
    std::lock_guard l(mu);
    if (i < 0 || i >= int(devs.size())) return {};
    return {i, devs[i], cfgs[i]};
  }
  void SetCurrent(int i) override { current = i; }
  // The device object owns the level, as in the device list.
  int CurDpiLevel(int i) const override {
    std::lock_guard l(mu);
    if (i >= 0 && i < int(devs.size()) && devs[i]) return devs[i]->nCurDpiLevel.load();
    return i >= 0 && i < int(levels.size()) ? levels[i] : 0;
  }
  void SetCurDpiLevel(int i, int level) override {
    std::lock_guard l(mu);
    if (i >= 0 && i < int(devs.size()) && devs[i]) devs[i]->nCurDpiLevel = level;
    if (i >= 0 && i < int(levels.size())) levels[i] = level;
  }
  // Every device of this list is a FakeDev, which answers reads and writes.
  int ReadProfile(CHidDev& d, ProfileFile* p, MacroLibrary* lib) override {
    return static_cast<FakeDev&>(d).GetProfile(p, lib);
  }
  int WriteProfile(CHidDev& d, ProfileFile* p, EventSink* progress, uint32_t msg, uint32_t flag,
                   uint32_t data, MacroLibrary* lib) override {
    return static_cast<FakeDev&>(d).ApplySetting(p, progress, msg, flag, data, lib);
  }
  void SetDevs(std::vector<std::shared_ptr<CHidDev>> d) {
    std::lock_guard l(mu);
    devs = std::move(d);
  }
  void SetCfgs(std::vector<const DevCfg*> c) {
    std::lock_guard l(mu);
    cfgs = std::move(c);
  }
  mutable std::mutex mu;
  std::vector<std::shared_ptr<CHidDev>> devs;
  std::vector<const DevCfg*> cfgs;
  std::vector<int> levels;
  std::atomic<int> current{-1};
};

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    model = TestModel();
    model.nDefLevel = 2;
    devices.SetDevs({dev});
    devices.SetCfgs({&model});
    devices.levels = {0};
    devices.current = 0;
    store.LoadPro(model, {});
  }
  void Make(SessionOptions o = {}, SessionHooks h = {}) {
    if (!o.tick) o.tick = [this] { return fakeTick.load(); };
    session = std::make_unique<ProfileSession>(store, devices, &library, window, notes, host,
                                               std::move(o), std::move(h));
    session->Start();
  }
  void TearDown() override {
    if (session) session->Stop();
    host.Stop();
  }

  TempDir tmp;
  DevCfg model;
  std::shared_ptr<FakeDev> dev = std::make_shared<FakeDev>();
  FakeDevices devices;
  ProfileStore store{tmp.Dir(), TestTexts()};
  MacroLibrary library{tmp.Dir(), false};
  EventRecorder window;
  RecordingNotifier notes;
  LoopHost host;
  std::atomic<uint32_t> fakeTick{100000};
  std::unique_ptr<ProfileSession> session;
};

// Requests that come while a write runs are each written, in order, with the
// record as it is then: a second quick change never hides the first, and a
// request equal to one still waiting is written once.
TEST_F(SessionTest, QuickRequestsAreEachWrittenInOrderWithTheLatestValues) {
  Latch gate;
  dev->applyGate = &gate;
  Make();
  session->RequestApplyEx(0x4, 1);  // being written while the next ones come
  std::this_thread::sleep_for(Ms(50));
  store.Edit([](ProfileFile& p) { p.nLOD = 4; });
  session->RequestApplyEx(0x4, 2);
  session->RequestApplyEx(0x40 | kApplyWithProgress, 3);
  session->RequestApplyEx(0x4, 2);
  gate.Open();
  ASSERT_TRUE(session->WaitApplyIdle(5000));
  std::vector<ApplyCall> c = dev->Calls();
  ASSERT_EQ(c.size(), 3u);
  EXPECT_EQ(c[0].flag, 0x4u);
  EXPECT_EQ(c[0].data, 1u);
  EXPECT_EQ(c[1].flag, 0x4u);
  EXPECT_EQ(c[1].data, 2u);
  EXPECT_EQ(c[2].flag, 0x40u);  // the progress bit is cleared
  EXPECT_EQ(c[2].data, 3u);
  for (int i : {1, 2}) {
    EXPECT_EQ(c[i].nLOD, 4);
    EXPECT_FALSE(c[i].withProgress);
  }
  EXPECT_EQ(session->AppliesDone(), 3);
  EXPECT_TRUE(notes.Entries().empty());
}

TEST_F(SessionTest, ProgressWindowIsAwaitedTwoSecondsAtMost) {
  Make();
  auto t0 = Clock::now();
  session->RequestApply(0x4);
  ASSERT_TRUE(dev->WaitCalls(1));
  int waited = Since(t0);
  EXPECT_GE(waited, 1900);
  EXPECT_LT(waited, 3500);
  EXPECT_EQ(dev->Calls()[0].flag, 0x4u | 0x8000);
  EXPECT_EQ(dev->Calls()[0].data, 255u);
  EXPECT_FALSE(dev->Calls()[0].withProgress);

  // A dialog that opens is found, gets the progress and two close messages.
  auto dialog = std::make_shared<EventRecorder>();
  session->RequestApply(0x108);
  std::this_thread::sleep_for(Ms(250));
  session->SetProgressWindow(dialog);
  ASSERT_TRUE(dev->WaitCalls(2));
  ASSERT_TRUE(session->WaitApplyIdle(2000));
  EXPECT_TRUE(dev->Calls()[1].withProgress);
  EXPECT_EQ(dialog->Params(WM_PROGRESS), (std::vector<uintptr_t>{20, 60, 100}));
  EXPECT_EQ(dialog->Count(WM_CLOSE_WINDOW), 2);
}

TEST_F(SessionTest, StopEndsTheApplyThreadPromptly) {
  Make();
  // Waiting for a progress window that never opens.
  // The looks for it would take 2 s; a stop must not sit them out. The bounds
  // leave room for a loaded machine and still fail a stop that waits.
  session->RequestApply(0x108);
  std::this_thread::sleep_for(Ms(150));
  auto t0 = Clock::now();
  session->Stop();
  EXPECT_LT(Since(t0), 1000);
  EXPECT_TRUE(dev->Calls().empty());
  // Idle.
  session.reset();
  store.LoadPro(model, {});
  Make();
  std::this_thread::sleep_for(Ms(20));
  t0 = Clock::now();
  session->Stop();
  EXPECT_LT(Since(t0), 1000);
  // Busy with a write: the write ends first.
  session.reset();
  store.LoadPro(model, {});
  Make();
  dev->applySleepMs = 300;
  session->RequestApplyEx(0x20, 0);
  std::this_thread::sleep_for(Ms(50));
  session->Stop();
  EXPECT_EQ(dev->Calls().size(), 1u);
}

TEST_F(SessionTest, ApplyWithoutUsableDeviceOrFailingWrite) {
  Make();
  devices.current = -1;
  session->RequestApplyEx(0x4, 0);
  ASSERT_TRUE(session->WaitApplyIdle(2000));
  EXPECT_TRUE(notes.Has("No device"));
  EXPECT_TRUE(dev->Calls().empty());

  // An object without a command interface: refused, unless GoWithNoDev.
  auto gone = std::make_shared<FakeDev>(false);
  devices.SetDevs({gone});
  devices.current = 0;
  notes.Clear();
  session->RequestApplyEx(0x4, 0);
  ASSERT_TRUE(session->WaitApplyIdle(2000));
  EXPECT_TRUE(notes.Has("No device"));
  EXPECT_TRUE(gone->Calls().empty());
  session->Stop();
  SessionOptions o;
  o.goWithNoDev = true;
  Make(o);
  session->RequestApplyEx(0x4, 0);
  ASSERT_TRUE(session->WaitApplyIdle(2000));
  EXPECT_EQ(gone->Calls().size(), 1u);

  devices.SetDevs({dev});
  dev->applyResult = 0;
  notes.Clear();
  session->RequestApplyEx(0x4, 0);
  ASSERT_TRUE(session->WaitApplyIdle(2000));
  EXPECT_TRUE(notes.Has("   Update settings failed!      "));
  EXPECT_EQ(session->LastApplyResult(), 0);
}

TEST_F(SessionTest, ReadAdoptsTheProfileOnlyOnSuccess) {
  Make();
  ProfileFile before2 = *store.GetProfileAt(2);
  Latch gate;
  dev->readGate = &gate;
  session->StartRead(0);
  while (!dev->inRead) std::this_thread::sleep_for(Ms(1));
  EXPECT_EQ(g_bInitProOK.load(), 0);
  EXPECT_EQ(session->CanChangeSettings(), 0);
  EXPECT_TRUE(notes.Has("Busy"));
  EXPECT_FALSE(session->ImportProfile(tmp.Root() + "/x.qxa"));
  gate.Open();
  ASSERT_TRUE(session->WaitReadDone(3000));
  EXPECT_EQ(g_bInitProOK.load(), 1);
  ProfileFile now2 = *store.GetProfileAt(2);
  EXPECT_EQ(now2.nLOD, 9);
  EXPECT_EQ(now2.nKeyTable, 0);  // brought back in range
  EXPECT_EQ(now2.dwID, before2.dwID);
  EXPECT_EQ(store.CurrentIndex(), 2);
  EXPECT_EQ(window.Count(WM_SYNC_OK), 1);
  std::vector<uint8_t> file = ReadAll(store.StorePath(model));
  ASSERT_EQ(file.size(), 8484u);
  EXPECT_EQ(std::memcmp(file.data() + 4 + 2 * 2120, &now2, 2120), 0);

  // A failed read changes nothing and does not refresh the window; a
  // profile number outside 0-3 reads nothing; the done event comes anyway.
  store.SetCurrentIndex(1);
  dev->readResult = 0;
  dev->readGate = nullptr;
  store.Edit([](ProfileFile& p) { p.nLOD = 1; });
  dev->curProfile = 1;
  session->StartRead(0);
  ASSERT_TRUE(session->WaitReadDone(3000));
  EXPECT_EQ(store.Current()->nLOD, 1);
  EXPECT_EQ(window.Count(WM_SYNC_OK), 1);
  dev->readResult = 1;
  dev->curProfile = 4;
  session->StartRead(0);
  ASSERT_TRUE(session->WaitReadDone(3000));
  EXPECT_EQ(store.Current()->nLOD, 1);
  devices.SetDevs({std::make_shared<FakeDev>(false)});
  session->StartRead(0);
  EXPECT_TRUE(session->WaitReadDone(3000));
  EXPECT_EQ(window.Count(WM_SYNC_OK), 1);
}

TEST_F(SessionTest, ResetNotificationsAfterRestoreAndDuringReads) {
  LogCapture log;
  SessionOptions o;
  o.progressLooks = 2;
  o.progressLookMs = 10;
  Make(o);
  const intptr_t reset = kBehaviorReset << 8;
  // During a read.
  Latch gate;
  dev->readGate = &gate;
  session->StartRead(0);
  while (!dev->inRead) std::this_thread::sleep_for(Ms(1));
  EXPECT_TRUE(session->OnDeviceBehavior(0, reset));
  EXPECT_TRUE(log.Has("g_bInitProOK is set, return"));
  gate.Open();
  ASSERT_TRUE(session->WaitReadDone(3000));
  dev->readGate = nullptr;

  // 3 s after the program's own restore: its echo.
  ASSERT_TRUE(session->RestoreDefaults());
  ASSERT_TRUE(session->WaitApplyIdle(5000));
  int syncs = window.Count(WM_SYNC_OK);
  fakeTick += 3000;
  const uint64_t readsBefore = session->LastReadTicket();
  EXPECT_TRUE(session->OnDeviceBehavior(0, reset));
  EXPECT_TRUE(log.Has("this is reset notify, do not process"));
  EXPECT_EQ(session->LastReadTicket(), readsBefore);  // no read started
  // 6 s after: the device's own reset, read again.
  fakeTick += 3000;
  EXPECT_TRUE(session->OnDeviceBehavior(0, reset));
  EXPECT_TRUE(session->WaitReadDone(3000));
  EXPECT_EQ(window.Count(WM_SYNC_OK), syncs + 1);
  EXPECT_TRUE(log.Has("nTick= 106000, m_nResetTickCount= 100000, nSub=6000"));

  // Other devices' notifications and other kinds.
  EXPECT_TRUE(session->OnDeviceBehavior(1, reset));
  EXPECT_FALSE(session->OnDeviceBehavior(0, 1 << 8 | 2));
  store.Clear();
  EXPECT_TRUE(session->OnDeviceBehavior(0, 1 << 8 | 2));
  EXPECT_TRUE(log.Has("return.  pFile=0x0"));
  session->Stop();  // the read's last log line before the capture ends
}

TEST_F(SessionTest, GateAnswers) {
  SessionOptions o;
  o.applyNow = true;
  Make(o);
  EXPECT_EQ(session->CanChangeSettings(), 1);
  dev->connectStatus = 0;
  EXPECT_EQ(session->CanChangeSettings(), 0);
  EXPECT_TRUE(notes.Has("Not connected"));
  EXPECT_FALSE(session->RestoreDefaults());
  EXPECT_FALSE(session->ChooseDevice(0));
  session->Stop();
  o.goWithNoDev = true;
  Make(o);
  EXPECT_EQ(session->CanChangeSettings(), 1);
  session->Stop();
  Make();
  EXPECT_EQ(session->CanChangeSettings(), 1);  // ApplyNow 0
}

TEST_F(SessionTest, BatteryPolling) {
  std::atomic<int> shown{0};
  SessionHooks h;
  h.showBattery = [&](int p, bool c) {
    EXPECT_TRUE(c);
    EXPECT_LE(p, 100);
    ++shown;
  };
  SessionOptions o;
  o.batteryPeriodMs = 20;
  DevCfg plus = TestModel(0x0a, 0x32, 1);
  devices.SetCfgs({&plus});
  Make(o, h);
  std::this_thread::sleep_for(Ms(200));
  EXPECT_EQ(dev->powerCalls.load(), 0);  // Fw 1: no polling
  session->OnWindowShown();
  EXPECT_EQ(dev->powerCalls.load(), 0);
  EXPECT_TRUE(session->OnDeviceBehavior(0, kBehaviorPower << 8));  // kind 7 reads it
  EXPECT_EQ(dev->powerCalls.load(), 1);
  EXPECT_EQ(shown.load(), 1);
  dev->power = 0xFF;  // not a level: not shown
  EXPECT_EQ(session->GetPower(), 1);
  EXPECT_EQ(shown.load(), 1);

  devices.SetCfgs({&model});  // Fw 0: polled, but not during a read
  Latch gate;
  dev->readGate = &gate;
  session->StartRead(0);
  while (!dev->inRead) std::this_thread::sleep_for(Ms(1));
  int before = dev->powerCalls.load();
  std::this_thread::sleep_for(Ms(150));
  EXPECT_EQ(dev->powerCalls.load(), before);
  gate.Open();
  ASSERT_TRUE(session->WaitReadDone(3000));
  std::this_thread::sleep_for(Ms(150));
  EXPECT_GT(dev->powerCalls.load(), before + 2);
}

TEST_F(SessionTest, RestoreDefaultsRebuildsThePositionZeroProfile) {
  Make();
  session->SetGlobals({1, 1});
  uint32_t id0 = store.GetProfileAt(0)->dwID;
  store.SetCurrentIndex(3);
  ProfileFile p0 = *store.GetProfileAt(0);
  p0.nLOD = 7;
  p0.SysMouse.nPointerSpeed = 3;
  store.SetProfileAt(0, p0);
  EXPECT_FALSE(session->RestoreDefaults([] { return false; }));
  EXPECT_EQ(store.CurrentIndex(), 3);
  int refreshed = 0;
  session->Stop();
  SessionHooks h;
  h.refreshPages = [&] { ++refreshed; };
  SessionOptions o;
  o.defaults.enhancePrecision = 0;
  o.progressLooks = 2;
  o.progressLookMs = 10;
  store.LoadPro(model, {});
  store.SetProfileAt(0, p0);
  Make(o, h);
  session->SetGlobals({1, 1});
  fakeTick = 123456;
  ASSERT_TRUE(session->RestoreDefaults([] { return true; }));
  EXPECT_EQ(refreshed, 1);
  EXPECT_EQ(store.CurrentIndex(), 0);
  ProfileFile now = *store.Current();
  EXPECT_EQ(now.dwID, id0);
  EXPECT_EQ(GetProfileName(now), "Default");
  EXPECT_EQ(now.nLOD, 1);  // the model's
  EXPECT_EQ(now.SysMouse.nPointerSpeed, 10);
  EXPECT_EQ(now.SysMouse.bEnhancePrecision, 0);
  EXPECT_EQ(devices.CurDpiLevel(0), 2);
  EXPECT_EQ(dev->nCurDpiLevel.load(), 2);
  EXPECT_EQ(session->ResetTickCount(), 123456u);
  EXPECT_EQ(session->Globals().bStartHidden, 0u);
  ASSERT_TRUE(dev->WaitCalls(1));
  EXPECT_EQ(dev->Calls()[0].flag, 0x108u | 0x8000);
  EXPECT_EQ(dev->Calls()[0].data, 255u);
  session->Stop();
  EXPECT_EQ(ReadAll(tmp.Dir() + "gSetting.dct"), std::vector<uint8_t>(8, 0));
}

TEST_F(SessionTest, ImportRequestsTheWriteAndSetsTheLevel) {
  Make();
  ProfileFile p = *store.GetProfileAt(1);
  p.nCurDpiLevel = 4;
  p.nLOD = 2;
  WriteAll(tmp.Root() + "/in.qxa", &p, sizeof(p));
  ASSERT_TRUE(session->ImportProfile(tmp.Root() + "/in.qxa"));
  EXPECT_EQ(devices.CurDpiLevel(0), 4);
  EXPECT_EQ(dev->nCurDpiLevel.load(), 4);
  ASSERT_TRUE(dev->WaitCalls(1));
  EXPECT_EQ(dev->Calls()[0].flag, ImportApplyFlags(model));
  EXPECT_EQ(dev->Calls()[0].data, 255u);
  EXPECT_EQ(dev->Calls()[0].nLOD, 2);
  EXPECT_FALSE(session->ImportProfile(tmp.Root() + "/missing.qxa"));

  ASSERT_TRUE(session->ExportProfile(tmp.Root() + "/out.qxa"));
  std::vector<uint8_t> out = ReadAll(tmp.Root() + "/out.qxa");
  ASSERT_EQ(out.size(), 10460u);
  ProfileFile head;
  std::memcpy(static_cast<void*>(&head), out.data(), sizeof(head));
  EXPECT_EQ(head.nCurDpiLevel, 4);
}

TEST_F(SessionTest, ChoosingADeviceLoadsReadsAndOpensTheWaitAnimation) {
  std::atomic<int> anim{0};
  SessionHooks h;
  h.openWaitAnimation = [&] { ++anim; };
  SessionOptions o;
  o.waitAnimationDelayMs = 30;
  store.Clear();
  devices.current = -1;
  Make(o, h);
  ASSERT_TRUE(session->ChooseDevice(0));
  EXPECT_EQ(devices.current.load(), 0);
  EXPECT_EQ(store.Count(), 4u);
  EXPECT_EQ(dev->told.load(), 1);
  EXPECT_GE(dev->powerCalls.load(), 1);
  ASSERT_TRUE(session->WaitReadDone(3000));
  EXPECT_EQ(store.CurrentIndex(), 2);
  std::this_thread::sleep_for(Ms(150));
  EXPECT_EQ(anim.load(), 1);  // once
  devices.SetDevs({dev, nullptr});
  devices.SetCfgs({&model, &model});
  EXPECT_FALSE(session->ChooseDevice(1));
}

TEST(DevListSessionDevicesTest, FollowsTheDeviceList) {
  DevCfg a = TestModel(0x0a, 0x31), b = TestModel(0x0b, 0x01);
  CDevList list({&a, &b});
  list.WithEntry(1, [](DevEntry& e) { e.pDev = std::make_shared<CDevPro>(); });
  DevListSessionDevices d(list);
  EXPECT_EQ(d.Current().index, -1);
  EXPECT_FALSE(d.At(2).cfg);
  d.SetCurrent(1);
  d.SetCurDpiLevel(1, 3);
  d.SetCurDpiLevel(5, 3);
  SessionDevice cur = d.Current();
  EXPECT_EQ(cur.index, 1);
  EXPECT_EQ(cur.cfg, &b);
  EXPECT_FALSE(cur.Connected());
  EXPECT_EQ(d.CurDpiLevel(1), 3);
  EXPECT_EQ(list.Device(1)->nCurDpiLevel.load(), 3);  // the one place it is kept
  EXPECT_EQ(d.CurDpiLevel(0), 0);
  EXPECT_EQ(list.View(1).nCurDpiLevel, 3);
}

}  // namespace
}  // namespace tolvane::test
