// CDevPro and CDevProPlus against the virtual mouse.
#include <algorithm>
#include <thread>

#include "sim_link.h"

namespace tolvane::test {
namespace {

class Protocol : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override { SetRetry(3); }
  void TearDown() override { SetLinkOptions(LinkOptions{}); }
  bool Plus() const { return std::string(GetParam()) == "pro+"; }
};

INSTANTIATE_TEST_SUITE_P(Families, Protocol, ::testing::Values("pro", "pro+"),
                         [](const auto& i) { return std::string(i.param)[3] ? "ProPlus" : "Pro"; });

TEST_P(Protocol, EEPROMReadsAndChunkedWrites) {
  SimLink link(GetParam());
  const sim::Eeprom before = link.mouse->EepromCopy();
  std::vector<uint8_t> buf(190);
  ASSERT_EQ(link.dev->ReadROM(0, buf.data(), 190), 1);
  EXPECT_EQ(link.Sent().size(), 19u);
  EXPECT_TRUE(std::equal(buf.begin(), buf.end(), before.begin()));
  EXPECT_EQ(link.dev->GetCurDpiLevel(), before[4]);
  uint8_t b[11];
  EXPECT_EQ(link.dev->ReadEEPROM(0, b, 11), 0);  // refused, nothing sent
  EXPECT_EQ(link.Sent().size(), 20u);

  uint8_t data[64];
  for (int i = 0; i < 64; ++i) data[i] = uint8_t(i * 3 + 1);
  ASSERT_EQ(link.dev->WriteEEPROM(0x60, data, 64, 8), 1);
  auto sent = link.Sent();
  ASSERT_EQ(sent.size(), 28u);
  for (int k = 0; k < 8; ++k) {
    const uint8_t* p = sent[20 + k].data() + 1;
    EXPECT_EQ(p[0], 7);
    EXPECT_EQ((p[2] << 8 | p[3]), 0x60 + 8 * k);
    EXPECT_EQ(p[4], 8);
    EXPECT_TRUE(std::equal(p + 5, p + 13, data + 8 * k));
    EXPECT_EQ(p[13], 0);
  }
  sim::Eeprom after = link.mouse->EepromCopy();
  EXPECT_TRUE(std::equal(data, data + 64, after.begin() + 0x60));

  ASSERT_EQ(link.dev->WriteEEPROM(0x300, data, 7, 0), 1);  // one chunk of 7
  ASSERT_EQ(link.Sent().size(), 29u);
  EXPECT_EQ(link.LastPayload()[4], 7);
  ASSERT_EQ(link.dev->WriteEEPROM(0x100, data, 23, 0), 1);  // 10, 10, 3
  sent = link.Sent();
  ASSERT_EQ(sent.size(), 32u);
  EXPECT_EQ(sent[30][5], 10);
  EXPECT_EQ(sent[31][4], 0x14);
  EXPECT_EQ(sent[31][5], 3);
  after = link.mouse->EepromCopy();
  EXPECT_TRUE(std::equal(data, data + 23, after.begin() + 0x100));
  EXPECT_EQ(after[0x307], before[0x307]);
}

TEST_P(Protocol, ForeignRepliesAndNotificationsAreSkipped) {
  SimLink link(GetParam() + std::string(":latency=20"));
  link.mouse->ForeignReplies(1);
  uint8_t b[4];
  ASSERT_EQ(link.dev->ReadEEPROM(0x10, b, 4), 1);
  // A notification while the command waits: posted, never taken as a reply.
  link.mouse->RaiseNotification(0x01);
  ASSERT_EQ(link.dev->ReadEEPROM(0x10, b, 4), 1);
  EXPECT_EQ(link.Sent().size(), 2u);  // no retries
  EXPECT_EQ(link.events.WaitFor(1).size(), 1u);
  SetRetry(1);
  link.mouse->WrongIdReplies(1, 0x04);
  EXPECT_EQ(link.dev->ReadEEPROM(0x10, b, 4), 0);  // the only reply was foreign
  link.mouse->FailReplies(1, 2);
  EXPECT_EQ(link.dev->GetConnectStatus(), -1);  // a failing status is no good reply
  EXPECT_EQ(link.dev->GetConnectStatus(), 1);
}

TEST_P(Protocol, LateReplyOfAnEarlierReadIsNotTakenForTheNextOne) {
  LogCapture log;
  // Replies take 100 ms; the first one comes 1200 ms later still, after its
  // wait gave up and the request went again.
  SimLink link(GetParam() + std::string(":latency=100"));
  link.mouse->PokeEeprom(0x10, {0x11});
  link.mouse->PokeEeprom(0x20, {0x22});
  const auto t0 = Clock::now();
  link.mouse->DelayReplies(1, 1200);
  uint8_t b[1] = {};
  ASSERT_EQ(link.dev->ReadEEPROM(0x10, b, 1), 1);
  EXPECT_EQ(b[0], 0x11);
  // The next read is waiting for its reply when the late one comes.
  std::this_thread::sleep_until(t0 + Ms(1250));
  ASSERT_EQ(link.dev->ReadEEPROM(0x20, b, 1), 1);
  EXPECT_EQ(b[0], 0x22) << "the late reply for 0x10 was taken as the data of 0x20";
  EXPECT_TRUE(log.Has("WaitNotify: reply for another address"));
}

// A reply that does not carry its request's address and length is still
// the reply: only an echo of an earlier unanswered request marks one stale.
TEST_P(Protocol, ReplyWithoutAnEchoIsTaken) {
  SimLink link(GetParam());
  link.mouse->PokeEeprom(0x30, {0x33});
  link.mouse->DropReplies(1);
  std::thread answer([&] {
    std::this_thread::sleep_for(Ms(150));
    Report r{};
    r[0] = kNotifyReportId;
    r[1 + kPayCmd] = kCmdReadEEPROM;  // status 0, address and length left 0
    r[1 + kPayData] = 0x5A;
    r[16] = ReportChecksum(r);
    link.mouse->InjectInput(r);
  });
  uint8_t b[1] = {};
  EXPECT_EQ(link.dev->ReadEEPROM(0x30, b, 1), 1);
  answer.join();
  EXPECT_EQ(b[0], 0x5A) << "the reply without an echo was dropped and the read tried again";
}

TEST_P(Protocol, NoReplyEndsNearTheBound) {
  LogCapture log;
  SetRetry(1);
  SimLink link(GetParam());
  link.mouse->DropReplies(1);
  auto t0 = Clock::now();
  EXPECT_EQ(link.dev->GetConnectStatus(), -1);
  const int ms = ElapsedMs(t0);
  EXPECT_GE(ms, kWaitNotifyBoundMs - 5);
  EXPECT_LE(ms, kWaitNotifyBoundMs + 150);
  EXPECT_TRUE(log.Has("WaitNotify TimeOut for nCmdID=3"));
  EXPECT_TRUE(log.Has("GetConnectStatus Failed"));
}

TEST_P(Protocol, ReplyWakesTheWaitAtOnce) {
  SimLink link(GetParam());
  uint8_t buf[10];
  std::vector<long> us;
  for (int i = 0; i < 21; ++i) {
    auto t0 = Clock::now();
    ASSERT_EQ(link.dev->ReadEEPROM(uint32_t(i * 10), buf, 10), 1);
    us.push_back(long(std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - t0)
                          .count()));
  }
  std::sort(us.begin(), us.end());
  EXPECT_LT(us[10], 5000);  // median far under a 10 ms head sleep
}

TEST_P(Protocol, RetriesAndUnacknowledgedChunks) {
  LogCapture log;
  SimLink link(GetParam());
  link.mouse->DropReplies(1);  // a lost reply: the request goes again
  EXPECT_EQ(link.dev->GetCurProfile(), 0);
  EXPECT_EQ(link.Sent().size(), 2u);

  uint8_t data[20] = {5, 0x50};
  link.mouse->FailReplies(2, 1);
  EXPECT_EQ(link.dev->WriteEEPROM(0x02, data, 20, 10), 1);
  EXPECT_EQ(link.Sent().size(), 6u);  // chunk 0 three times, chunk 1 once
  EXPECT_EQ(log.Count("WriteEEPROM Failed"), 2);
  EXPECT_TRUE(log.Has("nRetry=1"));
  EXPECT_TRUE(log.Has("nRetry=2"));
  EXPECT_TRUE(log.Has("WriteEEPROM( Addr=0x2 ): "));

  // Refused "Retry" times: the next chunk still goes out, the write fails.
  link.mouse->FailReplies(3, 1);
  EXPECT_EQ(link.dev->WriteEEPROM(0x02, data, 20, 10), 0);
  EXPECT_EQ(link.Sent().size(), 10u);
  // Retry 1: one attempt per chunk, no "nRetry" lines.
  SetRetry(1);
  const int before = log.Count("nRetry=");
  link.mouse->FailReplies(1, 1);
  EXPECT_EQ(link.dev->WriteEEPROM(0x02, data, 20, 10), 0);
  EXPECT_EQ(link.Sent().size(), 12u);
  EXPECT_EQ(log.Count("nRetry="), before);
}

TEST_P(Protocol, Notifications) {
  SimLink link(GetParam());
  link.mouse->RaiseNotification(0x21);
  auto ev = link.events.WaitFor(2);
  ASSERT_EQ(ev.size(), 2u);
  EXPECT_EQ(ev[0], 0x100 + link.mouse->EepromCopy()[4]);
  EXPECT_EQ(ev[1], 0x400);
  // Every bit in table order; bit 6 only on PRO+.
  link.mouse->RaiseNotification(0x7F);
  ev = link.events.WaitFor(Plus() ? 9 : 8);
  std::vector<intptr_t> kinds;
  for (size_t i = 2; i < ev.size(); ++i) kinds.push_back(ev[i] >> 8);
  std::vector<intptr_t> want = {1, 2, 3, 6, 5, 4};
  if (Plus()) want.push_back(7);
  EXPECT_EQ(kinds, want);
  EXPECT_EQ(ev[6], 0x500);
  link.mouse->SendGarbage(50, 7);  // nothing a command could take for its reply
  EXPECT_EQ(link.dev->GetConnectStatus(), 1);
}

TEST_P(Protocol, QueriesAndSettings) {
  SimLink link(GetParam() + std::string(":power=57,charging"));
  EXPECT_EQ(link.dev->TellDrvStatus(0), 1);
  EXPECT_EQ(link.mouse->Snapshot().drvStatus, 0);
  EXPECT_EQ(link.dev->SetCurProfile(2), 1);
  auto p = link.LastPayload();
  EXPECT_EQ(p[0], Plus() ? 0x0F : 0x10);
  EXPECT_EQ(p[4], 1);
  EXPECT_EQ(p[5], 2);
  EXPECT_EQ(link.dev->GetCurProfile(), 2);
  int power = -1, charging = -1, flag = -1;
  EXPECT_EQ(link.dev->GetPower(power, charging), 1);
  EXPECT_EQ(power, 57);
  EXPECT_EQ(charging, 1);
  EXPECT_EQ(link.dev->GetCmd0FFlag(flag), 1);
  EXPECT_EQ(flag, 0);  // the mouse answers 1: not locked
  EXPECT_EQ(link.dev->GetCmd06Value(), 0);
  EXPECT_EQ(link.dev->SendCMD(9, 0), 1);
  EXPECT_EQ(link.dev->SendCMD(0x55, 0), 0);  // unknown command: failing status
}

TEST_P(Protocol, ReadROMStopTestAndFailure) {
  LogCapture log;
  SimLink link(GetParam());
  link.mouse->PokeEeprom(0x30B, {0, 0});
  std::vector<uint8_t> name(30, 0xAA);
  ASSERT_EQ(link.dev->ReadROM(0x301, name.data(), 30,
                              [](const uint8_t* pc, int) { return pc[0] == 0 && pc[1] == 0; }),
            1);
  EXPECT_EQ(link.Sent().size(), 2u);
  EXPECT_EQ(name[20], 0xAA);
  SetRetry(1);
  link.mouse->FailReplies(1, 1);
  EXPECT_EQ(link.dev->ReadROM(0x10, name.data(), 30), 0);
  EXPECT_TRUE(log.Has("ReadROM Failed at 0: nAddr=0x10"));
}

TEST_P(Protocol, UnplugDuringExchangesAndWrites) {
  LogCapture log;
  {
    SimLink link(GetParam());
    link.mouse->UnplugAfterReports(1);  // the request goes in, no reply comes out
    uint8_t b[10];
    auto t0 = Clock::now();
    EXPECT_EQ(link.dev->ReadEEPROM(0, b, 10), 0);
    EXPECT_LT(ElapsedMs(t0), 600);  // the reader's end wakes the wait
    EXPECT_EQ(link.dev->GetConnectStatus(), -1);
    link.dev->ClearHandle();
    EXPECT_FALSE(link.dev->HasCmd());
    EXPECT_TRUE(log.Has(Plus() ? "CDevProPlus::ClearHandle" : "CDevPro::ClearHandle"));
    EXPECT_TRUE(log.Has(Plus() ? "ServiceThread_PROPLUS exit" : "ServiceThread_PRO exit"));
  }
  {
    SimLink link(GetParam());
    uint8_t data[25] = {};
    link.mouse->UnplugAfterReports(4);  // two chunks and their replies
    EXPECT_EQ(link.dev->WriteEEPROM(0, data, 25, 10), 0);
    EXPECT_EQ(Plus(), log.Has("WriteEEPROM Err") && !log.Has("WriteEEPROM Err, i="));
    EXPECT_EQ(!Plus(), log.Has("WriteEEPROM Err, i=2"));
  }
  for (bool release : {false, true}) {
    SimLink link(GetParam() + std::string(":latency=2"));
    std::vector<uint8_t> data(384, 0x3C);
    int result = -1;
    std::thread writer([&] { result = link.dev->WriteEEPROM(0x300, data.data(), 384, 10); });
    while (link.Sent().size() < 5) std::this_thread::sleep_for(Ms(1));
    auto t0 = Clock::now();
    if (release)
      link.dev->ClearHandle();  // stops the reader, waits for the write to give up
    else
      link.transport.Unplug(link.mouse);
    writer.join();
    EXPECT_LT(ElapsedMs(t0), 1500);
    EXPECT_EQ(result, 0);
    EXPECT_LT(link.Sent().size(), 39u);
  }
}

TEST(ProtocolObjects, OfflineAndUnconnected) {
  CDevPro offline;
  offline.SetOfflineMarker();
  offline.StartService();  // nothing to read from
  EXPECT_FALSE(offline.ServiceRunning());
  EXPECT_TRUE(offline.HasCmd());
  uint8_t buf[2];
  EXPECT_EQ(offline.ReadEEPROM(0, buf, 2), 0);
  EXPECT_EQ(offline.TellDrvStatus(0), 0);
  CDevProPlus none;
  EXPECT_EQ(none.GetConnectStatus(), 0);
  EXPECT_EQ(none.TellDrvStatus(0), 0);
  EXPECT_EQ(none.ReadEEPROM(0, buf, 2), 0);
}

}  // namespace
}  // namespace tolvane::test
