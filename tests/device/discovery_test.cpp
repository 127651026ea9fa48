#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "device/dev_pro.h"
#include "discovery_rig.h"
#include "support/temp_folder.h"

namespace tolvane::test {
namespace {

TEST(PathStringToIdTest, ReadsFourHexDigitsAfterEachTag) {
  uint16_t v = 0, p = 0;
  EXPECT_TRUE(PathStringToId("\\\\?\\usb#vid_3a3a&pid_1001#6&1b", &v, &p));
  EXPECT_EQ(v, 0x3A3A);
  EXPECT_EQ(p, 0x1001);
  EXPECT_TRUE(PathStringToId("/dev/hidraw3 VID_ABCD&PID_00fF", &v, &p));
  EXPECT_EQ(v, 0xABCD);
  EXPECT_EQ(p, 0x00FF);
  EXPECT_FALSE(PathStringToId("usb#PID_1001", &v, &p));           // no VID_
  EXPECT_FALSE(PathStringToId("VID_3a3&PID_1001", &v, &p));       // three digits
  EXPECT_FALSE(PathStringToId("VID_3a3a&PID_10", &v, &p));        // cut short
  EXPECT_FALSE(PathStringToId("VID_3a3a&PID_10g1", &v, &p));      // not hex
  EXPECT_FALSE(PathStringToId("", &v, &p));
}

TEST(DiscoveryTest, ConnectsBothFamiliesAndIgnoresForeignInterfaces) {
  LogCapture log;
  DiscoveryRig rig;
  // A vendor collection of another vendor, shaped like ours.
  HidIfInfo foreign;
  foreign.szPath = "foreign/dev";
  foreign.nVID = 0x1234;
  foreign.nPID = 0x1001;
  foreign.nUsagePage = 0xFF02;
  foreign.nUsage = 2;
  foreign.nInputLen = foreign.nOutputLen = 17;
  rig.transport.AddForeign(foreign, 0);
  auto pro = rig.Plug("pro:cid=11,mid=01,link=wired,ver=0123");
  auto plus = rig.Plug("pro+:cid=22,mid=07,link=wireless,ver=0456,4k=3");
  rig.mgr->Start();
  ASSERT_TRUE(rig.sink.WaitFor(2));
  ASSERT_TRUE(rig.mgr->WaitSettled(3000));

  auto d0 = rig.Dev(0);
  ASSERT_TRUE(d0);
  EXPECT_TRUE(dynamic_cast<CDevPro*>(d0.get()));
  EXPECT_EQ(d0->cid, 0x11);
  EXPECT_EQ(d0->mid, 0x01);
  EXPECT_EQ(d0->wPID, 0x1001);
  EXPECT_TRUE(d0->ServiceRunning());
  EXPECT_EQ(d0->szCmdPath, pro->Base() + "/cmd");
  EXPECT_EQ(d0->szNotifyPath, pro->Base() + "/notify");
  auto d1 = rig.Dev(1);
  ASSERT_TRUE(d1);
  EXPECT_TRUE(dynamic_cast<CDevProPlus*>(d1.get()));
  EXPECT_EQ(d1->b4KDevice, 1u);
  EXPECT_EQ(d1->nEntryParam, 1u);
  auto v0 = rig.mgr->List().View(0), v1 = rig.mgr->List().View(1);
  EXPECT_EQ(v0.wWiredVer, 0x0123);
  EXPECT_EQ(v0.wWirelessVer, 0);
  EXPECT_EQ(v1.wWirelessVer, 0x0456);
  EXPECT_EQ(rig.mgr->List().ConnectedCount(), 2u);

  // The device answers through the object discovery made.
  uint8_t buf[2] = {};
  EXPECT_EQ(d0->ReadEEPROM(0x04, buf, 2), 1);

  // The posted indices are the entries'.
  auto got = rig.sink.Got();
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, (std::vector<uintptr_t>{0, 1}));
  EXPECT_EQ(rig.counting.Opens("foreign/dev"), 0);
  EXPECT_EQ(rig.counting.Opens(pro->Base() + "/mouse"), 0);
  EXPECT_TRUE(log.Mentions("* Dev match OK"));
  EXPECT_TRUE(log.Mentions("- Psd_Thread Find New Device"));
  EXPECT_TRUE(log.Mentions("- Psd_Thread_PRO+ Find New Device"));
  EXPECT_TRUE(log.Mentions("(Wireless), b4KDevice=1"));

  // A rescan leaves interfaces in use alone.
  const int cmdOpens = rig.counting.Opens(pro->Base() + "/cmd");
  rig.mgr->Scan();
  EXPECT_EQ(rig.counting.Opens(pro->Base() + "/cmd"), cmdOpens);
  EXPECT_EQ(rig.counting.Opens(plus->Base() + "/dev"), 1);
  EXPECT_EQ(rig.Dev(0), d0);

  // Shutdown releases everything and closes every handle.
  rig.mgr->Shutdown();
  EXPECT_EQ(rig.mgr->List().ConnectedCount(), 0u);
  EXPECT_FALSE(d0->HasCmd());
  EXPECT_EQ(rig.counting.Live(), 0);
}

TEST(DiscoveryTest, ProCableTakesOverAndLateReceiverIsGivenUp) {
  LogCapture log;
  DiscoveryRig rig(FastTimings(), /*defDevIndex=*/4);  // entry 0 is not the current one
  auto rx = rig.Plug("pro:cid=11,mid=01,link=wireless,ver=0201");
  rig.mgr->Start();
  ASSERT_TRUE(rig.sink.WaitFor(1));
  auto oldDev = rig.Dev(0);
  ASSERT_TRUE(oldDev);
  EXPECT_EQ(oldDev->wPID, 0x2002);

  auto cable = rig.Plug("pro:cid=11,mid=01,link=wired,ver=0102");
  ASSERT_TRUE(rig.sink.WaitFor(2));
  auto wired = rig.Dev(0);
  ASSERT_TRUE(wired);
  EXPECT_EQ(wired->wPID, 0x1001);
  EXPECT_FALSE(oldDev->HasCmd());  // released: handles closed
  EXPECT_FALSE(oldDev->ServiceRunning());
  auto v = rig.mgr->List().View(0);
  EXPECT_EQ(v.wWiredVer, 0x0102);
  EXPECT_EQ(v.wWirelessVer, 0x0201);

  // A receiver of the same model appearing now loses.
  auto rx2 = rig.Plug("pro:cid=11,mid=01,link=wireless");
  rig.mgr->Scan();
  ASSERT_TRUE(rig.mgr->WaitSettled(3000));
  ASSERT_TRUE(WaitUntil([&] { return log.Mentions("another dev has exist, give up this!!! cid=11, mid=1"); }));
  EXPECT_TRUE(WaitUntil([&] { return rig.mgr->List().BusySlots().empty(); }));
  EXPECT_EQ(rig.Dev(0), wired);
  EXPECT_TRUE(wired->HasCmd());
  EXPECT_EQ(rig.sink.Got().size(), 2u);
  // Its handles were closed: only the connected device's two remain (and
  // nothing of the first receiver, which is still plugged in).
  EXPECT_TRUE(WaitUntil([&] { return rig.counting.Live() == 2; }));

  // The cable goes: a receiver that lost to it gets its turn.
  rig.transport.Unplug(cable);
  ASSERT_TRUE(rig.sink.WaitFor(3));
  auto back = rig.Dev(0);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->wPID, 0x2002);
}

TEST(DiscoveryTest, ProPlusNewConnectionAlwaysWinsAndOldReceiverIsToldToSleep) {
  LogCapture log;
  DiscoveryRig rig;
  auto cable = rig.Plug("pro+:cid=22,mid=07,link=wired");
  rig.mgr->Start();
  ASSERT_TRUE(rig.sink.WaitFor(1));
  auto first = rig.Dev(1);
  ASSERT_TRUE(first);

  auto rx = rig.Plug("pro+:cid=22,mid=07,link=wireless");
  rig.mgr->Scan();
  ASSERT_TRUE(rig.sink.WaitFor(2));
  auto second = rig.Dev(1);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->wPID, 0x2002);  // the receiver replaced the cable
  EXPECT_FALSE(first->HasCmd());
  EXPECT_TRUE(log.Mentions("release old hid, cid=22,mid=7,pid=1001(Wired)"));
  EXPECT_FALSE(log.Mentions("tell old dev can sleep"));

  // And a cable again replaces the receiver, which is first told it may sleep.
  auto cable2 = rig.Plug("pro+:cid=22,mid=07,link=wired");
  rig.mgr->Scan();
  ASSERT_TRUE(rig.sink.WaitFor(3));
  auto third = rig.Dev(1);
  ASSERT_TRUE(third);
  EXPECT_EQ(third->wPID, 0x1001);
  // The rescans the plug-ins started do not hand the model back and forth
  // between the connections that lost and the one that won.
  std::this_thread::sleep_for(Ms(300));
  EXPECT_EQ(rig.sink.Got().size(), 3u);
  EXPECT_EQ(rig.Dev(1), third);
  EXPECT_TRUE(log.Mentions("old dev is wireless, connect=1"));
  EXPECT_TRUE(log.Mentions("tell old dev can sleep"));
  EXPECT_EQ(rx->Snapshot().drvStatus, 0);
  EXPECT_TRUE(log.Mentions("release old hid, cid=22,mid=7,pid=2002(Wireless)"));
  EXPECT_FALSE(second->HasCmd());
}

TEST(DiscoveryTest, ReceiverWithMouseOffWaitsAndConnectsWhenItWakes) {
  LogCapture log;
  DiscoveryRig rig;
  auto rx = rig.Plug("pro:cid=11,mid=02,link=wireless,asleep");
  rig.mgr->Start();
  ASSERT_TRUE(rig.mgr->WaitSettled(3000));
  auto slots = rig.mgr->List().BusySlots();
  ASSERT_EQ(slots.size(), 1u);
  EXPECT_EQ(slots[0].state, ProbeState::WaitingForMouse);
  EXPECT_TRUE(slots[0].bWireless);
  EXPECT_EQ(slots[0].szCmdPath, rx->Base() + "/cmd");
  EXPECT_FALSE(rig.Connected(2));
  EXPECT_TRUE(log.Mentions("Psd_Thread: bCennect=0"));
  // The probe keeps the interface: a rescan does not open it again.
  const int opens = rig.counting.Opens(rx->Base() + "/cmd");
  rig.mgr->Scan();
  EXPECT_EQ(rig.counting.Opens(rx->Base() + "/cmd"), opens);

  rx->SetAsleep(false);
  ASSERT_TRUE(rig.sink.WaitFor(1));
  EXPECT_TRUE(rig.Connected(2));
  EXPECT_TRUE(WaitUntil([&] { return rig.mgr->List().BusySlots().empty(); }));
}

TEST(DiscoveryTest, SleepingReceiverIsPolledFourTimesQuicklyThenEveryTwoSeconds) {
  LogCapture log;
  DiscoveryTimings t = FastTimings();
  t.probeShortSleepMs = 200;
  t.probeLongSleepMs = 2000;
  t.probeReadMs = 200;
  DiscoveryRig rig(t);
  auto rx = rig.Plug("pro+:cid=22,mid=08,link=wireless,asleep");
  rig.mgr->Start();
  ASSERT_TRUE(WaitUntil([&] { return log.Mentions("bConnect=0") >= 5; }, 4000));
  auto times = log.MentionTimes("bConnect=0");
  auto gap = [&](size_t i) {
    return std::chrono::duration_cast<Ms>(times[i] - times[i - 1]).count();
  };
  for (size_t i = 1; i < 4; ++i) {
    EXPECT_GE(gap(i), 190);
    EXPECT_LT(gap(i), 450);
  }
  EXPECT_GE(gap(4), 1990);
  EXPECT_LT(gap(4), 2400);
  rig.mgr->Shutdown();  // ends the sleeping probe at once
  EXPECT_TRUE(rig.mgr->List().BusySlots().empty());
}

TEST(DiscoveryTest, ZeroAndUnknownIdentitiesConnectNothingAndCloseTheirHandles) {
  LogCapture log;
  DiscoveryRig rig;
  rig.Plug("pro:cid=0,mid=0,link=wired");
  rig.Plug("pro+:cid=55,mid=66,link=wired");
  rig.mgr->Start();
  ASSERT_TRUE(rig.mgr->WaitSettled(3000));
  ASSERT_TRUE(WaitUntil([&] { return rig.mgr->List().BusySlots().empty(); }));
  EXPECT_TRUE(log.Mentions("Psd_Thread: CheckPsd=-1"));
  EXPECT_TRUE(log.Mentions("Psd_Thread_PRO+: unsupport dev!!! cid=55, mid=66"));
  EXPECT_EQ(rig.mgr->List().ConnectedCount(), 0u);
  EXPECT_TRUE(rig.sink.Got().empty());
  EXPECT_EQ(rig.counting.Live(), 0);
  EXPECT_EQ(log.Mentions("----Psd_Thread Exit"), 1);
  EXPECT_EQ(log.Mentions("----Psd_Thread_PRO+ Exit"), 1);
}

TEST(DiscoveryTest, PlugEventsScheduleRescans) {
  LogCapture log;
  DiscoveryRig rig;
  auto& m = *rig.mgr;
  m.OnDeviceChange({true, "usb#VID_1234&PID_1001#x"});
  EXPECT_TRUE(log.Mentions("OnDeviceChange: isn't our device"));
  m.OnDeviceChange({true, "usb#VID_3A3A&PID_0777#x"});  // our vendor, not our product
  m.OnDeviceChange({true, "usb#VID_3A3&PID_1001"});
  EXPECT_TRUE(log.Mentions("OnDeviceChange: path_string_to_id err"));
  EXPECT_EQ(log.Mentions("OnDeviceChange: isn't our device"), 2);
  EXPECT_FALSE(m.FindDevTimerRunning());

  const int scans = m.ScanCount();
  m.OnDeviceChange({true, "usb#vid_3a3a&pid_2002#x"});
  EXPECT_TRUE(log.Mentions("Device IN"));
  EXPECT_TRUE(log.Mentions("SetTimer FINDDEV_TIMER_ID"));
  EXPECT_TRUE(m.FindDevTimerRunning());
  // The last tick stops the timer before its scan runs: wait for both.
  ASSERT_TRUE(
      WaitUntil([&] { return !m.FindDevTimerRunning() && m.ScanCount() - scans >= 5; }));
  std::this_thread::sleep_for(Ms(100));
  EXPECT_EQ(m.ScanCount() - scans, 5);  // five rescans, then the timer stops
}

TEST(DiscoveryTest, UnplugReleasesTheDeviceAndRescansOnlyForTheCurrentOne) {
  LogCapture log;
  DiscoveryRig rig(FastTimings(), /*defDevIndex=*/1);
  std::vector<size_t> removedCurrent;
  int redraws = 0;
  DeviceManager::WindowHooks hooks;
  hooks.currentRemoved = [&](size_t i) { removedCurrent.push_back(i); };
  hooks.listChanged = [&] { ++redraws; };
  rig.mgr->SetWindowHooks(hooks);
  auto pro = rig.Plug("pro:cid=11,mid=01,link=wired");
  auto plus = rig.Plug("pro+:cid=22,mid=07,link=wired");
  rig.mgr->Start();
  ASSERT_TRUE(rig.sink.WaitFor(2));
  ASSERT_TRUE(rig.host.Drain(2000));

  // Entry 0 is not the current one: released, no rescan.
  rig.transport.Unplug(pro);
  ASSERT_TRUE(WaitUntil([&] { return !rig.Connected(0); }));
  ASSERT_TRUE(rig.host.Drain(2000));
  EXPECT_TRUE(log.Mentions("Device OUT:  cid=11,mid=1,pid=1001"));
  EXPECT_FALSE(rig.mgr->FindDevTimerRunning());
  EXPECT_TRUE(removedCurrent.empty());
  EXPECT_TRUE(rig.Connected(1));

  // The current one: one rescan.
  const int scans = rig.mgr->ScanCount();
  rig.transport.Unplug(plus);
  ASSERT_TRUE(WaitUntil([&] { return !rig.Connected(1); }));
  ASSERT_TRUE(WaitUntil([&] { return rig.mgr->ScanCount() == scans + 1; }));
  EXPECT_TRUE(WaitUntil([&] { return !rig.mgr->FindDevTimerRunning(); }));
  EXPECT_EQ(removedCurrent, (std::vector<size_t>{1}));
  EXPECT_EQ(redraws, 2);
  EXPECT_EQ(rig.counting.Live(), 0);
}

TEST(DiscoveryTest, UnplugDuringAnExchangeAndALongWriteIsBoundedAndReleases) {
  DiscoveryRig rig;
  auto pro = rig.Plug("pro:cid=11,mid=01,link=wired,latency=1");
  auto plus = rig.Plug("pro+:cid=22,mid=07,link=wired,latency=1");
  rig.mgr->Start();
  ASSERT_TRUE(rig.sink.WaitFor(2));
  auto d0 = rig.Dev(0), d1 = rig.Dev(1);
  ASSERT_TRUE(d0 && d1);

  // A long read on PRO, pulled out in the middle of it.
  std::vector<uint8_t> buf(1000);
  int readResult = -1;
  auto t0 = Clock::now();
  std::thread reader([&] { readResult = d0->ReadROM(0, buf.data(), int(buf.size())); });
  std::this_thread::sleep_for(Ms(30));
  rig.transport.Unplug(pro);
  reader.join();
  EXPECT_EQ(readResult, 0);
  EXPECT_LT(std::chrono::duration_cast<Ms>(Clock::now() - t0).count(), 4000);
  EXPECT_TRUE(WaitUntil([&] { return !rig.Connected(0) && !d0->HasCmd(); }));

  // A long write on PRO+: the mouse vanishes after a few reports.
  plus->UnplugAfterReports(9);
  std::vector<uint8_t> data(200, 0x5A);
  t0 = Clock::now();
  EXPECT_EQ(d1->WriteEEPROM(0x300, data.data(), int(data.size()), 0), 0);
  EXPECT_LT(std::chrono::duration_cast<Ms>(Clock::now() - t0).count(), 4000);
  EXPECT_TRUE(WaitUntil([&] { return !rig.Connected(1) && !d1->HasCmd(); }));
  // The objects outlive their release in the hands of this test; they are
  // closed, and further commands fail at once.
  EXPECT_FALSE(d1->HasCmd());
  EXPECT_EQ(d1->ReadEEPROM(0, buf.data(), 2), 0);
  EXPECT_TRUE(WaitUntil([&] { return rig.counting.Live() == 0; }));
}

TEST(DiscoveryTest, FifthDeviceIsTooMany) {
  DiscoveryRig rig;
  rig.Plug("pro:cid=11,mid=01,link=wired");
  rig.Plug("pro+:cid=22,mid=07,link=wired");
  rig.Plug("pro:cid=11,mid=02,link=wired");
  rig.Plug("pro+:cid=22,mid=08,link=wired");
  rig.mgr->Start();
  ASSERT_TRUE(rig.sink.WaitFor(4));
  EXPECT_TRUE(rig.mgr->OnNewDevice(rig.sink.Got().back()));

  // An arrival starts the rescan timer; the new device stops it.
  rig.mgr->OnDeviceChange({true, "VID_3A3A&PID_1001"});
  EXPECT_TRUE(rig.mgr->FindDevTimerRunning());
  rig.Plug("pro:cid=33,mid=01,link=wired");
  ASSERT_TRUE(rig.sink.WaitFor(5));
  EXPECT_FALSE(rig.mgr->OnNewDevice(rig.sink.Got().back()));
  EXPECT_FALSE(rig.mgr->FindDevTimerRunning());
  EXPECT_TRUE(rig.mgr->OnNewDevice(99));  // no such entry: logged, ignored
}

TEST(DiscoveryTest, OfflineObjectStandsInUntilTheRealDeviceComes) {
  LogCapture log;
  DiscoveryRig rig(FastTimings(), /*defDevIndex=*/1, /*goWithNoDev=*/true);
  rig.mgr->Start();
  ASSERT_TRUE(rig.sink.WaitFor(1));
  EXPECT_EQ(rig.sink.Got()[0], 1u);
  auto off = rig.Dev(1);
  ASSERT_TRUE(off);
  EXPECT_TRUE(dynamic_cast<CDevProPlus*>(off.get()));
  EXPECT_TRUE(off->HasCmd());
  EXPECT_TRUE(IsOfflineDevice(off.get()));
  uint8_t b[2];
  EXPECT_EQ(off->ReadEEPROM(0, b, 2), 0);
  EXPECT_EQ(off->GetConnectStatus(), -1);

  // Removal of another of our devices does not take the stand-in away.
  auto other = rig.Plug("pro:cid=11,mid=01,link=wired");
  rig.mgr->Scan();
  ASSERT_TRUE(rig.sink.WaitFor(2));
  rig.transport.Unplug(other);
  ASSERT_TRUE(WaitUntil([&] { return !rig.Connected(0); }));
  EXPECT_EQ(rig.Dev(1), off);

  // The real device of that model replaces it.
  rig.Plug("pro+:cid=22,mid=07,link=wired");
  rig.mgr->Scan();
  ASSERT_TRUE(rig.sink.WaitFor(3));
  auto real = rig.Dev(1);
  ASSERT_TRUE(real);
  EXPECT_FALSE(IsOfflineDevice(real.get()));
  EXPECT_EQ(real->wPID, 0x1001);
}

TEST(DiscoveryTest, ProbeSlotsAreBoundedAndFreedSlotsAreReused) {
  LogCapture log;
  DiscoveryRig rig;
  std::vector<std::shared_ptr<sim::VirtualMouse>> rx;
  for (int i = 0; i < 11; ++i) rx.push_back(rig.Plug("pro+:cid=22,mid=08,link=wireless,asleep"));
  rig.mgr->Start();
  ASSERT_TRUE(rig.mgr->WaitSettled(3000));
  EXPECT_EQ(rig.mgr->List().BusySlots().size(), kProbeSlots);
  EXPECT_TRUE(log.Mentions("FindOurDevice_PRO+: no free probe slot"));
  EXPECT_EQ(rig.counting.Live(), int(kProbeSlots));  // the eleventh was closed

  // One receiver goes: its probe ends, and the next scan probes the eleventh.
  rig.transport.Unplug(rx[0]);
  ASSERT_TRUE(WaitUntil([&] { return rig.mgr->List().BusySlots().size() == kProbeSlots - 1; }));
  rig.mgr->Scan();
  EXPECT_TRUE(WaitUntil([&] { return rig.mgr->List().BusySlots().size() == kProbeSlots; }));
}

// A mouse that vanishes at any point of its identification, its removal
// event included, must not be left in the list: no later event would come
// to take it out.
TEST(DiscoveryTest, MouseGoneDuringIdentificationNeverStaysInTheList) {
  for (const char* spec : {"pro:cid=11,mid=01,link=wired", "pro+:cid=22,mid=07,link=wired"}) {
    for (int reports = 1; reports <= 10; ++reports) {
      SCOPED_TRACE(std::string(spec) + " gone after " + std::to_string(reports) + " reports");
      DiscoveryRig rig;
      auto m = rig.Make(spec);
      ASSERT_TRUE(m);
      m->UnplugAfterReports(reports);
      rig.transport.Plug(m);
      rig.mgr->Start();
      ASSERT_TRUE(rig.mgr->WaitSettled(5000));
      const bool vanished = !m->Connected();
      if (!vanished) rig.transport.Unplug(m);  // identified before its time came
      EXPECT_TRUE(WaitUntil([&] { return rig.mgr->List().ConnectedCount() == 0; }, 2000))
          << (vanished ? "vanished during identification" : "unplugged after it");
    }
  }
}

// Another process of ours keeps the mouse's lock (here: this test, on the
// lock file of the shared EEPROM image). Discovery neither pairs nor probes
// it and names it busy; once the lock is free a scan connects it, and an
// exchange that cannot get the lock marks the device busy until one can.
TEST(DiscoveryTest, AMouseAnotherProcessKeepsLockedIsBusyUntilItIsFree) {
  LogCapture log;
  TempFolder tmp("busy");
  DiscoveryRig rig;
  const std::string image = tmp.Path("m.bin");
  auto m = rig.Plug("pro:cid=11,mid=01,link=wired,eeprom=" + image);
  ASSERT_TRUE(m);
  const int fd = ::open((image + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  const int commandsBefore = m->CommandsHandled();
  rig.mgr->Start();
  ASSERT_TRUE(rig.mgr->WaitSettled(kWaitMs + kDeviceLockWaitMs));
  EXPECT_EQ(rig.mgr->List().ConnectedCount(), 0u);
  EXPECT_EQ(rig.mgr->BusyNodes(), std::vector<std::string>{m->Base() + "/cmd"});
  EXPECT_EQ(m->CommandsHandled(), commandsBefore);  // not even the echo went out
  EXPECT_EQ(rig.counting.Live(), 0);

  ASSERT_EQ(::flock(fd, LOCK_UN), 0);
  rig.mgr->Scan();
  ASSERT_TRUE(rig.sink.WaitFor(1));
  EXPECT_TRUE(rig.mgr->BusyNodes().empty());
  auto dev = rig.Dev(0);
  ASSERT_TRUE(dev);
  EXPECT_FALSE(dev->Busy());

  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  EXPECT_EQ(dev->GetConnectStatus(), -1);
  EXPECT_TRUE(dev->Busy());
  ASSERT_EQ(::flock(fd, LOCK_UN), 0);
  EXPECT_EQ(dev->GetConnectStatus(), 1);
  EXPECT_FALSE(dev->Busy());
  ::close(fd);
}

}  // namespace
}  // namespace tolvane::test
