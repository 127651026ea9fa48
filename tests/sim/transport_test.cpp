#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "sim_rig.h"
#include "support/temp_folder.h"

namespace tolvane::sim::test {
namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

long Ms(Clock::time_point since) {
  return long(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

TEST(SimTransport, InterfacesAsTheDiscoveryRulesSeeThem) {
  SimTransport t;
  std::string err;
  auto pro = MakeVirtualMouse("pro:ver=0123", TestCatalogue(), &err);
  auto plus = MakeVirtualMouse("pro+:pid=2002", TestCatalogue(), &err);
  t.Plug(pro);
  t.Plug(plus);
  HidIfInfo boot;
  boot.szPath = "other/boot-mouse";
  boot.nUsagePage = 1;
  boot.nUsage = 2;
  boot.nInputLen = 5;
  boot.nVID = 0x0101;
  t.AddForeign(boot);

  auto ifs = t.Enumerate();
  ASSERT_EQ(ifs.size(), 6u);
  int notify = 0, cmd = 0, dev = 0;
  for (const HidIfInfo& i : ifs) {
    if (i.nUsagePage == 0xFF01) {
      ++notify;
      EXPECT_EQ(i.nUsage, 0u);
      EXPECT_EQ(i.nInputLen, 17u);
      EXPECT_EQ(i.nOutputLen, 0u);
      EXPECT_EQ(i.nVersion, 0x0123u);
      EXPECT_EQ(i.nPID, 0x1001u);
      EXPECT_EQ(i.nVID, 0x3A3Au);
    } else if (i.nUsagePage == 0xFF02 && i.nFeatureLen == 17) {
      ++cmd;
      EXPECT_EQ(i.nUsage, 2u);
      EXPECT_EQ(i.nOutputLen, 0u);
    } else if (i.nUsagePage == 0xFF02) {
      ++dev;
      EXPECT_EQ(i.nInputLen, 17u);
      EXPECT_EQ(i.nOutputLen, 17u);
      EXPECT_EQ(i.nPID, 0x2002u);
    }
  }
  EXPECT_EQ(notify + cmd + dev, 3);
  EXPECT_EQ(plus->link(), Link::Wireless);  // the pid is on the wireless list

  int e = 0;
  EXPECT_EQ(t.Open("other/boot-mouse", HidRole::ProNotify, &e), nullptr);
  EXPECT_EQ(e, EACCES);
  EXPECT_EQ(t.Open(pro->Base() + "/mouse", HidRole::ProNotify, &e), nullptr);
  EXPECT_EQ(e, EACCES);
  EXPECT_EQ(t.Open(pro->Base() + "/notify", HidRole::ProCommand, &e), nullptr);
  EXPECT_EQ(e, EINVAL);
  EXPECT_EQ(t.Open("sim/99/notify", HidRole::ProNotify, &e), nullptr);
  EXPECT_EQ(e, ENOENT);
  pro->DenyOpen(true);
  EXPECT_EQ(t.Open(pro->Base() + "/cmd", HidRole::ProCommand, &e), nullptr);
  EXPECT_EQ(e, EACCES);
  pro->DenyOpen(false);
  auto h = t.Open(pro->Base() + "/cmd", HidRole::ProCommand, &e);
  ASSERT_NE(h, nullptr);
  Report r{};
  EXPECT_EQ(h->Read(r, 10), HidStatus::Failed);  // a command handle has no input
  EXPECT_EQ(h->Write(Cmd(3), 10), HidStatus::Failed);
}

TEST(SimTransport, ReadWaitsForItsTimeOutAndCancelWakesItAtOnce) {
  Rig rig("pro");
  Report r{};
  auto t0 = Clock::now();
  EXPECT_EQ(rig.in->Read(r, 80), HidStatus::Timeout);
  EXPECT_GE(Ms(t0), 75);

  t0 = Clock::now();
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    rig.in->CancelRead();
  });
  EXPECT_EQ(rig.in->Read(r, 5000), HidStatus::Cancelled);
  canceller.join();
  EXPECT_LT(Ms(t0), 1000);

  rig.in->CancelRead();  // before the read: counts once
  EXPECT_EQ(rig.in->Read(r, 1000), HidStatus::Cancelled);
  EXPECT_EQ(rig.in->Read(r, 20), HidStatus::Timeout);

  // An unplug wakes a waiting reader too.
  t0 = Clock::now();
  std::thread unplugger([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    rig.transport.Unplug(rig.mouse);
  });
  EXPECT_EQ(rig.in->Read(r, 5000), HidStatus::NotConnected);
  unplugger.join();
  EXPECT_LT(Ms(t0), 1000);
}

TEST(SimTransport, AReadWithNoLimitEndsOnAReportACancelOrAnUnplugOnly) {
  Rig rig("pro:latency=40");
  Report r{};
  // A report that is due later: the wait ends when it is due, not before.
  auto t0 = Clock::now();
  rig.mouse->PressDpiButton();
  EXPECT_EQ(rig.in->Read(r, -1), HidStatus::Ok);
  EXPECT_GE(Ms(t0), 35);

  for (int round = 0; round < 2; ++round) {
    t0 = Clock::now();
    std::thread waker([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(150));
      if (round == 0) rig.in->CancelRead();
      else rig.transport.Unplug(rig.mouse);
    });
    EXPECT_EQ(rig.in->Read(r, -1), round == 0 ? HidStatus::Cancelled : HidStatus::NotConnected);
    waker.join();
    EXPECT_GE(Ms(t0), 140) << round;  // no time-out of its own ended it early
    EXPECT_LT(Ms(t0), 1000) << round;
  }
}

TEST(SimTransport, EveryOpenReaderGetsEveryReportWhileAnotherThreadSends) {
  Rig rig("pro:latency=1");
  auto second = rig.transport.Open(rig.mouse->Base() + "/notify", HidRole::ProNotify);
  ASSERT_NE(second, nullptr);
  constexpr int kN = 150;
  std::thread sender([&] {
    for (int i = 0; i < kN; ++i)
      EXPECT_EQ(rig.out->SendFeature(Cmd(8, uint16_t(i), 1)), HidStatus::Ok);
  });
  for (HidHandle* h : {rig.in.get(), second.get()}) {
    for (int i = 0; i < kN; ++i) {
      Report r{};
      ASSERT_EQ(h->Read(r, 1000), HidStatus::Ok) << i;
      EXPECT_EQ(r[1], 8);
      EXPECT_EQ(r[4], uint8_t(i));  // in order
    }
  }
  sender.join();
  EXPECT_EQ(rig.mouse->CommandsHandled(), kN);
}

TEST(SimTransport, PlugEventsNameTheIdsAndOldHandlesStayDead) {
  SimTransport t;
  std::mutex mu;
  std::condition_variable cv;
  std::vector<HotplugEvent> events;
  ASSERT_TRUE(t.StartHotplug([&](const HotplugEvent& e) {
    std::lock_guard lk(mu);
    events.push_back(e);
    cv.notify_all();
  }));
  auto waitFor = [&](size_t n) {
    std::unique_lock lk(mu);
    return cv.wait_for(lk, std::chrono::seconds(2), [&] { return events.size() >= n; });
  };
  std::string err;
  auto m = MakeVirtualMouse("pro+:link=wireless", TestCatalogue(), &err);
  ASSERT_TRUE(m) << err;
  t.Plug(m);
  ASSERT_TRUE(waitFor(1));
  EXPECT_TRUE(events[0].arrival);
  EXPECT_NE(events[0].name.find("VID_3A3A"), std::string::npos) << events[0].name;
  EXPECT_NE(events[0].name.find("PID_2002"), std::string::npos) << events[0].name;

  std::string oldPath = m->Base() + "/dev";
  auto h = t.Open(oldPath, HidRole::ProPlus);
  ASSERT_NE(h, nullptr);
  t.Unplug(m);
  ASSERT_TRUE(waitFor(2));
  EXPECT_FALSE(events[1].arrival);
  EXPECT_EQ(events[1].name, events[0].name);
  EXPECT_EQ(h->Write(Cmd(3), 50), HidStatus::NotConnected);
  EXPECT_EQ(h->LastError(), ENODEV);
  EXPECT_TRUE(t.Enumerate().empty());

  t.Plug(m);
  ASSERT_TRUE(waitFor(3));
  EXPECT_TRUE(events[2].arrival);
  EXPECT_NE(m->Base() + "/dev", oldPath);
  EXPECT_EQ(h->Write(Cmd(3), 50), HidStatus::NotConnected);
  EXPECT_EQ(t.Open(oldPath, HidRole::ProPlus), nullptr);
  auto fresh = t.Open(m->Base() + "/dev", HidRole::ProPlus);
  ASSERT_NE(fresh, nullptr);
  Report r{};
  ASSERT_EQ(fresh->Write(Cmd(3), 50), HidStatus::Ok);
  ASSERT_EQ(fresh->Read(r, 200), HidStatus::Ok);
  EXPECT_EQ(r[6], 1);
  t.StopHotplug();
}

TEST(SimSpecString, GoodSpecs) {
  const SimCatalogue cat = TestCatalogue();
  SimSpec s;
  std::string err;
  ASSERT_TRUE(ParseSimSpec(
      "PRO+:cid=0x22,mid=7,link=wireless,pid=2002,vid=abcd,latency=5,power=40,charging,"
      "asleep=1,wake=250,4k=3,ver=0210,eeprom=/tmp/a:b=c.bin",
      &s, &err))
      << err;
  EXPECT_EQ(s.family, Family::ProPlus);
  EXPECT_EQ(*s.cid, 0x22);
  EXPECT_EQ(*s.mid, 0x07);
  EXPECT_EQ(*s.link, Link::Wireless);
  EXPECT_EQ(*s.pid, 0x2002);
  EXPECT_EQ(*s.vid, 0xABCD);
  EXPECT_EQ(s.latencyMs, 5);
  EXPECT_EQ(s.power, 40);
  EXPECT_TRUE(s.charging);
  EXPECT_TRUE(s.asleep);
  EXPECT_EQ(s.wakeAfterMs, 250);
  EXPECT_EQ(*s.code4k, 3);
  EXPECT_EQ(s.version, 0x0210);
  EXPECT_EQ(s.eeprom, "/tmp/a:b=c.bin");

  // Defaults: the family's first catalogue model, wired, first ids of the lists.
  auto m = MakeVirtualMouse("pro", cat, &err);
  ASSERT_TRUE(m) << err;
  MouseState st = m->Snapshot();
  EXPECT_EQ(st.cid, 0x11);
  EXPECT_EQ(st.mid, 0x01);
  EXPECT_EQ(st.link, Link::Wired);
  EXPECT_EQ(st.pid, 0x1001);
  EXPECT_EQ(st.vid, 0x3A3A);
  EXPECT_EQ(st.power, 100);
  st = MakeVirtualMouse("pro:mid=2,link=wireless,charging=0", cat, &err)->Snapshot();
  EXPECT_EQ(st.mid, 0x02);
  EXPECT_EQ(st.pid, 0x2002);
  EXPECT_FALSE(st.charging);
  st = MakeVirtualMouse("pro+", cat, &err)->Snapshot();
  EXPECT_EQ(st.cid, 0x22);
  EXPECT_EQ(st.code4k, 1);

  // Identities no catalogue model has, 0/0 among them, still build a mouse.
  for (const char* spec : {"pro:cid=7e,mid=7f", "pro+:cid=0,mid=0"}) {
    m = MakeVirtualMouse(spec, cat, &err);
    ASSERT_TRUE(m) << spec << ": " << err;
    Rig rig(spec, cat);
    Report r = rig.Ask(1, 0, 8);
    EXPECT_EQ(r[10], m->Snapshot().cid);
    EXPECT_EQ(r[11], m->Snapshot().mid);
  }
  auto t = MakeSimTransport({"pro", "pro+:link=wireless", "pro:cid=9,mid=9"}, cat, &err);
  ASSERT_TRUE(t) << err;
  EXPECT_EQ(t->Mice().size(), 3u);
  EXPECT_EQ(MakeSimTransport({"pro", "pro:bogus"}, cat, &err), nullptr);
  EXPECT_NE(err.find("bogus"), std::string::npos) << err;
  // No catalogue at all: fallback ids.
  st = MakeVirtualMouse("pro:cid=1,mid=1", SimCatalogue{}, &err)->Snapshot();
  EXPECT_EQ(st.vid, kFallbackVid);
  EXPECT_EQ(st.pid, kFallbackWiredPid);
}

TEST(SimSpecString, BadSpecsGiveMessages) {
  const SimCatalogue cat = TestCatalogue();
  const char* bad[] = {
      "", "mouse", "pro+x", "pro:", "pro:cid", "pro:cid=", "pro:cid=1FF", "pro:cid=zz",
      "pro:pid=10000", "pro:link=usb", "pro:latency=-1", "pro:latency=99999999999",
      "pro:power=300", "pro:foo=1", "pro:asleep", "pro:link=wireless,wake=5", "pro:,cid=1",
      "pro:cid=1,", "pro:charging=maybe", "pro:eeprom=",
  };
  for (const char* text : bad) {
    SimSpec s;
    std::string err;
    EXPECT_FALSE(ParseSimSpec(text, &s, &err)) << text;
    EXPECT_NE(err.find("--simulate"), std::string::npos) << text << ": " << err;
  }
  std::string err;
  EXPECT_EQ(MakeVirtualMouse("pro", SimCatalogue{}, &err), nullptr);
  EXPECT_NE(err.find("no catalogue model"), std::string::npos) << err;
  SimCatalogue onlyPlus;
  onlyPlus.models = {TestModel(1, 2, 1)};
  EXPECT_EQ(MakeVirtualMouse("pro:cid=1", onlyPlus, &err), nullptr);
  EXPECT_EQ(MakeVirtualMouse("pro:pid=1001,asleep", TestCatalogue(), &err), nullptr);
  EXPECT_NE(err.find("asleep"), std::string::npos) << err;
  EXPECT_NE(MakeVirtualMouse("pro:pid=2002,asleep", TestCatalogue(), &err), nullptr) << err;
}

class SimEepromFile : public ::testing::Test {
 protected:
  tolvane::test::TempFolder tmp_{"sim"};
  fs::path dir_{tmp_.Root()};
};

TEST_F(SimEepromFile, CreatedFromFactoryWrittenBackAndReloaded) {
  const std::string path = (dir_ / "mouse.bin").string();
  const std::string spec = "pro:eeprom=" + path;
  {
    Rig rig(spec);
    ASSERT_TRUE(fs::exists(path));
    EXPECT_EQ(fs::file_size(path), kEepromSize);
    Eeprom onDisk{};
    std::string err;
    ASSERT_TRUE(LoadEepromFile(path, onDisk, &err)) << err;
    EXPECT_EQ(onDisk, rig.mouse->Snapshot().factory);

    EXPECT_EQ(rig.Ask(7, 0x0300, 4, {8, 0x41, 0, 0x42})[2], 0);
    ASSERT_TRUE(LoadEepromFile(path, onDisk, &err));
    EXPECT_EQ(onDisk[0x301], 0x41);
    rig.mouse->PressDpiButton();  // a change on the mouse is saved as well
    ASSERT_TRUE(LoadEepromFile(path, onDisk, &err));
    EXPECT_EQ(onDisk[ee::kCurLevel], 2);
  }
  Rig again(spec);
  Report r = again.Ask(8, 0x0300, 4);
  EXPECT_EQ(r[6], 8);
  EXPECT_EQ(r[7], 0x41);
  EXPECT_EQ(again.Ask(8, ee::kCurLevel, 1)[6], 2);
  // Only the image itself is in the folder: no temporary files left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(SimEepromFile, DamagedOrUnwritableImagesAreRefused) {
  const std::string shortFile = (dir_ / "short.bin").string();
  std::ofstream(shortFile) << "too short";
  std::string err;
  EXPECT_EQ(MakeVirtualMouse("pro:eeprom=" + shortFile, TestCatalogue(), &err), nullptr);
  EXPECT_NE(err.find("6912"), std::string::npos) << err;

  const std::string longFile = (dir_ / "long.bin").string();
  std::ofstream(longFile, std::ios::binary) << std::string(kEepromSize + 1, 'x');
  EXPECT_EQ(MakeVirtualMouse("pro:eeprom=" + longFile, TestCatalogue(), &err), nullptr);

  const std::string noDir = (dir_ / "missing" / "m.bin").string();
  EXPECT_EQ(MakeVirtualMouse("pro:eeprom=" + noDir, TestCatalogue(), &err), nullptr);
  EXPECT_FALSE(err.empty());
}

}  // namespace
}  // namespace tolvane::sim::test
