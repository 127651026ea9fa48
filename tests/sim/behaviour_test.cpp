#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "sim_rig.h"

namespace tolvane::sim::test {
namespace {

using Clock = std::chrono::steady_clock;

long Ms(Clock::time_point since) {
  return long(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

Report Next(Rig& rig, int timeoutMs = 200) {
  Report r{};
  EXPECT_EQ(rig.reader().Read(r, timeoutMs), HidStatus::Ok);
  return r;
}

TEST(SimNotify, MouseActionsRaiseTheirFlagsAndChangeTheEeprom) {
  Rig rig("pro");
  // DPI button: level 1 -> 2 -> 3 -> 0 (four levels), stored as a guarded pair.
  for (int want : {2, 3, 0}) {
    rig.mouse->PressDpiButton();
    Report n = Next(rig);
    EXPECT_EQ(n[1], 0x0A);
    EXPECT_EQ(n[6], 0x01);
    EXPECT_EQ(n[7], want);
    EXPECT_EQ(n[16], ReportChecksum(n));
    Eeprom e = rig.mouse->EepromCopy();
    EXPECT_EQ(e[ee::kCurLevel], want);
    EXPECT_TRUE(PairOk(e, ee::kCurLevel));
  }
  // Rate: 500 Hz (2) -> 1000 Hz (1) -> 125 Hz (8) on a PRO.
  for (int want : {1, 8}) {
    rig.mouse->CycleRate();
    Report n = Next(rig);
    EXPECT_EQ(n[6], 0x02);
    EXPECT_EQ(n[8], want);
    EXPECT_EQ(rig.mouse->EepromCopy()[ee::kRate], want);
  }
  struct { LightKind kind; uint8_t flag; uint16_t addr; } lights[] = {
      {LightKind::Main, 0x20, ee::kMainLight}, {LightKind::Logo, 0x10, ee::kLogo + 4},
      {LightKind::Dpi, 0x08, ee::kDpiLight}};
  for (auto& l : lights) {
    uint8_t before = rig.mouse->EepromCopy()[l.addr];
    rig.mouse->ChangeLight(l.kind);
    EXPECT_EQ(Next(rig)[6], l.flag);
    Eeprom e = rig.mouse->EepromCopy();
    EXPECT_NE(e[l.addr], before);
    if (l.kind == LightKind::Main) {
      uint8_t sum = 0;
      for (int i = 0; i < 7; ++i) sum = uint8_t(sum + e[ee::kMainLight + i]);
      EXPECT_EQ(sum, 0x55);
    } else {
      EXPECT_TRUE(PairOk(e, l.addr));
    }
  }
  // Reset restores the factory image and says so (profile number in payload 9).
  rig.Ask(0x10, 0, 1, {3});
  rig.mouse->Reset();
  Report n = Next(rig);
  EXPECT_EQ(n[6], 0x04);
  EXPECT_EQ(n[10], 3);
  EXPECT_EQ(rig.mouse->EepromCopy(), rig.mouse->Snapshot().factory);
  // Several flags in one notification, and the PRO does not report battery changes.
  rig.mouse->RaiseNotification(0x21);
  n = Next(rig);
  EXPECT_EQ(n[6], 0x21);
  EXPECT_EQ(n[7], 1);
  rig.mouse->SetBattery(40, true);
  EXPECT_EQ(rig.reader().Read(n, 30), HidStatus::Timeout);
  Report p = rig.Ask(4);
  EXPECT_EQ(p[6], 40);
  EXPECT_EQ(p[7], 1);
}

TEST(SimNotify, ProPlusReportsPowerAndFourKRates) {
  Rig rig("pro+:link=wireless");
  rig.mouse->SetBattery(55, false);
  Report n = Next(rig);
  EXPECT_EQ(n[6], 0x40);
  rig.mouse->SetBattery(55, false);  // no change, no report
  EXPECT_EQ(rig.reader().Read(n, 30), HidStatus::Timeout);
  // 500 -> 1000 -> 2000 -> 4000 -> 125 on a 4K device.
  for (int want : {1, 16, 32, 8}) {
    rig.mouse->CycleRate();
    EXPECT_EQ(Next(rig)[8], want);
  }
  Rig plain("pro+:4k=0");
  for (int want : {1, 8}) {
    plain.mouse->CycleRate();
    EXPECT_EQ(Next(plain)[8], want);
  }
  EXPECT_EQ(plain.Ask(1, 0, 8)[12], 0);
}

TEST(SimReceiver, MouseAsleepAnswersNotConnectedUntilItWakes) {
  Rig rig("pro:link=wireless,asleep");
  EXPECT_EQ(rig.mouse->pid(), 0x2002);
  EXPECT_EQ(rig.Ask(3)[6], 0);
  Report r = rig.Ask(1, 0, 8);
  EXPECT_EQ(r[1], 1);
  EXPECT_EQ(r[2], st::kNoMouse);
  EXPECT_EQ(rig.Ask(8, 0, 2)[2], st::kNoMouse);
  EXPECT_EQ(rig.Ask(2, 0, 1, {1})[2], 0);  // the receiver itself takes the host status
  rig.mouse->SetBattery(20, false);         // an asleep mouse reports nothing
  EXPECT_EQ(rig.reader().Read(r, 30), HidStatus::Timeout);
  rig.mouse->SetAsleep(false);
  EXPECT_EQ(rig.Ask(3)[6], 1);
  EXPECT_EQ(rig.Ask(1, 0, 8)[10], 0x11);

  // Asleep again; a button press wakes it and is reported.
  rig.mouse->SetAsleep(true);
  EXPECT_EQ(rig.Ask(3)[6], 0);
  rig.mouse->PressDpiButton();
  EXPECT_EQ(Next(rig)[6], 0x01);
  EXPECT_EQ(rig.Ask(3)[6], 1);

  Rig timed("pro+:link=wireless,asleep,wake=60");
  EXPECT_EQ(timed.Ask(3)[6], 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(80));
  EXPECT_EQ(timed.Ask(3)[6], 1);

  Rig wired("pro");
  wired.mouse->SetAsleep(true);  // a cable-connected mouse does not sleep
  EXPECT_EQ(wired.Ask(3)[6], 1);
}

TEST(SimFaults, RepliesDroppedDelayedRelabelledFailedOrPreceded) {
  Rig rig("pro");
  Report r{};
  rig.mouse->DropReplies(2);
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(rig.Send(Cmd(3)), HidStatus::Ok);
    EXPECT_EQ(rig.reader().Read(r, 40), HidStatus::Timeout);
  }
  EXPECT_EQ(rig.Ask(3)[1], 3);

  rig.mouse->DelayReplies(1, 150);
  auto t0 = Clock::now();
  ASSERT_EQ(rig.Send(Cmd(4)), HidStatus::Ok);
  EXPECT_EQ(rig.reader().Read(r, 60), HidStatus::Timeout);
  ASSERT_EQ(rig.reader().Read(r, 500), HidStatus::Ok);  // the late reply still comes
  EXPECT_EQ(r[1], 4);
  EXPECT_GE(Ms(t0), 140);

  rig.mouse->WrongIdReplies(1, 0x06);
  EXPECT_EQ(rig.Ask(3)[1], 0x06);
  rig.mouse->FailReplies(1, 0x7E);
  r = rig.Ask(8, 0, 2);
  EXPECT_EQ(r[1], 8);
  EXPECT_EQ(r[2], 0x7E);
  rig.mouse->ForeignReplies(1);
  EXPECT_EQ(rig.Ask(3)[1], 0x04);  // a reply for another command comes first
  EXPECT_EQ(Next(rig)[1], 0x03);
  EXPECT_EQ(rig.Ask(3)[1], 0x03);  // each fault counted down

  rig.mouse->RejectSends(1);
  EXPECT_EQ(rig.out->SendFeature(Cmd(3)), HidStatus::Failed);
  EXPECT_NE(rig.out->LastError(), 0);
  EXPECT_EQ(rig.Ask(3)[1], 3);

  rig.mouse->SetLatency(30);
  t0 = Clock::now();
  EXPECT_EQ(rig.Ask(3)[1], 3);
  EXPECT_GE(Ms(t0), 28);
}

TEST(SimFaults, ProPlusWriteStallsPastItsTimeOut) {
  Rig rig("pro+");
  rig.mouse->StallWrites(1);
  auto t0 = Clock::now();
  EXPECT_EQ(rig.out->Write(Cmd(3), 50), HidStatus::Timeout);
  EXPECT_GE(Ms(t0), 45);
  Report r{};
  EXPECT_EQ(rig.out->Read(r, 20), HidStatus::Timeout);  // nothing was handled
  EXPECT_EQ(rig.Ask(3)[6], 1);
}

TEST(SimFaults, UnplugInTheMiddleOfAnExchange) {
  for (int after : {0, 1, 2}) {
    SCOPED_TRACE(after);
    Rig rig("pro");
    std::mutex mu;
    std::vector<HotplugEvent> events;
    rig.transport.StartHotplug([&](const HotplugEvent& e) {
      std::lock_guard lk(mu);
      events.push_back(e);
    });
    rig.mouse->UnplugAfterReports(after);
    Report r{};
    HidStatus sent = rig.out->SendFeature(Cmd(8, 0, 10));
    EXPECT_EQ(sent, after == 0 ? HidStatus::NotConnected : HidStatus::Ok);
    HidStatus got = rig.in->Read(r, 100);
    EXPECT_EQ(got, after == 2 ? HidStatus::Ok : HidStatus::NotConnected);
    if (after == 2) {
      EXPECT_EQ(rig.out->SendFeature(Cmd(3)), HidStatus::NotConnected);
      EXPECT_EQ(rig.in->Read(r, 100), HidStatus::NotConnected);
    }
    EXPECT_EQ(rig.out->LastError(), after == 1 ? 0 : ENODEV);
    EXPECT_EQ(rig.in->LastError(), ENODEV);
    EXPECT_FALSE(rig.mouse->Connected());
    EXPECT_TRUE(rig.transport.Enumerate().empty());
    for (int i = 0; i < 100; ++i) {
      {
        std::lock_guard lk(mu);
        if (!events.empty()) break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    rig.transport.StopHotplug();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_FALSE(events[0].arrival);
  }
}

TEST(SimFaults, GarbageNeverPassesAsAReply) {
  Rig rig("pro+");
  rig.mouse->SendGarbage(200, 7);
  Report r{};
  for (int i = 0; i < 200; ++i) {
    ASSERT_EQ(rig.reader().Read(r, 50), HidStatus::Ok);
    EXPECT_TRUE(r[1] == 0 || r[1] > 0x10) << int(r[1]);
  }
  EXPECT_EQ(rig.reader().Read(r, 10), HidStatus::Timeout);
  EXPECT_EQ(rig.Ask(3)[6], 1);
}

}  // namespace
}  // namespace tolvane::sim::test
