#include "device/dev_pro.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "device/link_options.h"
#include "fake_hid.h"

namespace tolvane::test {
namespace {

using Ms = std::chrono::milliseconds;

int ElapsedMs(Clock::time_point t0) {
  return int(std::chrono::duration_cast<Ms>(Clock::now() - t0).count());
}

class RecordingSink : public EventSink {
 public:
  void Post(uint32_t msg, uintptr_t wParam, intptr_t lParam) override {
    std::lock_guard<std::mutex> l(mu_);
    events.push_back({msg, wParam, lParam});
    cv_.notify_all();
  }
  struct Ev {
    uint32_t msg;
    uintptr_t w;
    intptr_t l;
  };
  std::vector<Ev> WaitFor(size_t n) {
    std::unique_lock<std::mutex> l(mu_);
    cv_.wait_for(l, Ms(1000), [&] { return events.size() >= n; });
    return events;
  }
  std::vector<Ev> events;

 private:
  std::mutex mu_;
  std::condition_variable cv_;
};

void SetRetry(int n) {
  LinkOptions o;
  o.nRetry = n;
  SetLinkOptions(o);
}

// A connected device object on a fake mouse, service thread running.
struct Rig {
  explicit Rig(bool plus) : m(std::make_shared<FakeMouse>(plus)) {
    if (plus) {
      dev = std::make_unique<CDevProPlus>();
      dev->SetHandles(std::make_unique<FakeHandle>(m, HidRole::ProPlus));
    } else {
      dev = std::make_unique<CDevPro>();
      dev->SetHandles(std::make_unique<FakeHandle>(m, HidRole::ProCommand),
                      std::make_unique<FakeHandle>(m, HidRole::ProNotify));
    }
    dev->cid = 0x12;
    dev->mid = 0x34;
    dev->wPID = 0xFA60;
    dev->nEntryParam = 7;
    dev->SetNotifyWnd(&sink);
    dev->StartService();
  }
  ~Rig() { dev->ClearHandle(); }
  // Payload bytes of request i.
  const uint8_t* Req(size_t i) {
    sent = m->Sent();
    return sent.at(i).data() + 1;
  }

  RecordingSink sink;
  std::shared_ptr<FakeMouse> m;
  std::unique_ptr<CHidDev> dev;
  std::vector<Report> sent;
};

class Protocol : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { SetRetry(3); }
  void TearDown() override { SetLinkOptions(LinkOptions{}); }
};

INSTANTIATE_TEST_SUITE_P(Families, Protocol, ::testing::Values(false, true),
                         [](const auto& i) { return i.param ? "ProPlus" : "Pro"; });

TEST_P(Protocol, ReadEEPROMRequestAndReply) {
  Rig rig(GetParam());
  uint8_t buf[10] = {};
  ASSERT_EQ(rig.dev->ReadEEPROM(0x1234, buf, 10), 1);
  EXPECT_TRUE(std::equal(buf, buf + 10, rig.m->eeprom.begin() + 0x1234));
  const Report expect = BuildCommandReport(
      std::array<uint8_t, 5>{8, 0, 0x12, 0x34, 10}.data(), 5);
  EXPECT_EQ(rig.m->Sent().at(0), expect);

  // Refused without sending: more than 10 bytes.
  EXPECT_EQ(rig.dev->ReadEEPROM(0, buf, 11), 0);
  EXPECT_EQ(rig.m->SentCount(), 1u);
  EXPECT_EQ(rig.dev->GetCurDpiLevel(), rig.m->eeprom[4]);
}

TEST_P(Protocol, ForeignRepliesAndNotificationsAreSkipped) {
  Rig rig(GetParam());
  {
    auto l = rig.m->Lock();
    rig.m->foreignBefore = 2;
    rig.m->notifyBefore = true;
    rig.m->replyDelayMs = 30;  // everything arrives while the caller waits
  }
  uint8_t buf[4] = {};
  auto t0 = Clock::now();
  ASSERT_EQ(rig.dev->ReadEEPROM(0x40, buf, 4), 1);
  EXPECT_LT(ElapsedMs(t0), 500);
  EXPECT_EQ(rig.m->SentCount(), 1u);  // no retry: the foreign ones were dropped
  EXPECT_TRUE(std::equal(buf, buf + 4, rig.m->eeprom.begin() + 0x40));
  auto ev = rig.sink.WaitFor(1);
  ASSERT_EQ(ev.size(), 1u);
  EXPECT_EQ(ev[0].msg, WM_DEVICE_BEHAVIOR);
  EXPECT_EQ(ev[0].w, 7u);
  EXPECT_EQ(ev[0].l, 0x103);

  // A status other than 0 is no good reply: QueryCmd and GetConnectStatus fail.
  { auto l = rig.m->Lock(); rig.m->failStatusReplies = 3; }
  EXPECT_EQ(rig.dev->GetConnectStatus(), -1);
  EXPECT_EQ(rig.dev->GetConnectStatus(), 1);
}

TEST_P(Protocol, NoReplyEndsNearTheBound) {
  LogCapture log;
  SetRetry(1);
  Rig rig(GetParam());
  { auto l = rig.m->Lock(); rig.m->dropReplies = 1; }
  uint8_t buf[2];
  auto t0 = Clock::now();
  EXPECT_EQ(rig.dev->ReadEEPROM(0, buf, 2), 0);
  const int ms = ElapsedMs(t0);
  EXPECT_GE(ms, kWaitNotifyBoundMs - 5);
  EXPECT_LE(ms, kWaitNotifyBoundMs + 150);
  EXPECT_TRUE(log.Has("WaitNotify TimeOut for nCmdID=8"));
  EXPECT_TRUE(log.Has("ReadEEPROM Failed"));
}

TEST_P(Protocol, ReplyWakesTheWaitAtOnce) {
  Rig rig(GetParam());
  uint8_t buf[10];
  std::vector<int> us;
  for (int i = 0; i < 21; ++i) {
    auto t0 = Clock::now();
    ASSERT_EQ(rig.dev->ReadEEPROM(uint32_t(i * 10), buf, 10), 1);
    us.push_back(int(std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - t0)
                         .count()));
  }
  std::sort(us.begin(), us.end());
  EXPECT_LT(us[10], 5000);  // median well under the old 10 ms head sleep
}

TEST_P(Protocol, DroppedReplyIsRetried) {
  LogCapture log;
  Rig rig(GetParam());
  { auto l = rig.m->Lock(); rig.m->dropReplies = 1; }
  EXPECT_EQ(rig.dev->GetCurProfile(), 2);
  EXPECT_EQ(rig.m->SentCount(), 2u);
  EXPECT_EQ(log.Count("WaitNotify TimeOut for nCmdID=e"), 1);
}

TEST_P(Protocol, ChunkedWrites) {
  Rig rig(GetParam());
  uint8_t data[64];
  for (int i = 0; i < 64; ++i) data[i] = uint8_t(0x80 + i);
  ASSERT_EQ(rig.dev->WriteEEPROM(0x60, data, 64, 8), 1);
  auto sent = rig.m->Sent();
  ASSERT_EQ(sent.size(), 8u);
  for (int k = 0; k < 8; ++k) {
    const uint8_t* p = sent[k].data() + 1;
    EXPECT_EQ(p[0], 7);
    EXPECT_EQ((p[2] << 8 | p[3]), 0x60 + 8 * k);
    EXPECT_EQ(p[4], 8);
    EXPECT_TRUE(std::equal(p + 5, p + 13, data + 8 * k));
    EXPECT_EQ(p[13], 0);
    EXPECT_EQ(ReportChecksum(sent[k]), 0);
  }
  EXPECT_TRUE(std::equal(data, data + 64, rig.m->eeprom.begin() + 0x60));

  ASSERT_EQ(rig.dev->WriteEEPROM(0x300, data, 7, 0), 1);
  sent = rig.m->Sent();
  ASSERT_EQ(sent.size(), 9u);
  EXPECT_EQ(sent[8][5], 7);
  EXPECT_EQ((sent[8][3] << 8 | sent[8][4]), 0x300);

  // 23 bytes with the default chunk: 10, 10, 3.
  ASSERT_EQ(rig.dev->WriteEEPROM(0x100, data, 23, 0), 1);
  sent = rig.m->Sent();
  ASSERT_EQ(sent.size(), 12u);
  EXPECT_EQ(sent[9][5], 10);
  EXPECT_EQ(sent[11][5], 3);
  EXPECT_EQ(sent[11][4], 0x14);
}

TEST_P(Protocol, WriteRetriesAndUnacknowledgedChunks) {
  LogCapture log;
  Rig rig(GetParam());
  uint8_t data[20] = {1, 2, 3};
  { auto l = rig.m->Lock(); rig.m->failStatusReplies = 2; }
  EXPECT_EQ(rig.dev->WriteEEPROM(0x10, data, 20, 10), 1);
  EXPECT_EQ(rig.m->SentCount(), 4u);  // chunk 0 three times, chunk 1 once
  EXPECT_EQ(log.Count("WriteEEPROM Failed"), 2);
  EXPECT_TRUE(log.Has("nRetry=1"));
  EXPECT_TRUE(log.Has("nRetry=2"));
  EXPECT_TRUE(log.Has("WriteEEPROM( Addr=0x10 ): "));

  // A chunk refused "Retry" times: the others still go out, the write fails.
  { auto l = rig.m->Lock(); rig.m->failStatusReplies = 3; }
  EXPECT_EQ(rig.dev->WriteEEPROM(0x10, data, 20, 10), 0);
  EXPECT_EQ(rig.m->SentCount(), 8u);

  // Retry 1: one attempt per chunk and no "nRetry" lines.
  SetRetry(1);
  const int before = log.Count("nRetry=");
  { auto l = rig.m->Lock(); rig.m->failStatusReplies = 1; }
  EXPECT_EQ(rig.dev->WriteEEPROM(0x10, data, 20, 10), 0);
  EXPECT_EQ(rig.m->SentCount(), 10u);
  EXPECT_EQ(log.Count("nRetry="), before);
}

TEST_P(Protocol, SendFailureEndsTheWrite) {
  LogCapture log;
  Rig rig(GetParam());
  uint8_t data[25] = {};
  // Once chunk 1 is in, the sends of the last (partial) chunk are refused:
  // PRO tries three feature reports, PRO+ one output report.
  const int refusals = GetParam() ? 1 : 3;
  rig.m->onRequest = [&, refusals](const Report& r) {  // runs under the mouse's lock
    if ((r[3] << 8 | r[4]) == 0x0A) rig.m->failSends = refusals;
  };
  EXPECT_EQ(rig.dev->WriteEEPROM(0x00, data, 25, 10), 0);
  EXPECT_EQ(rig.m->SentCount(), 2u);
  EXPECT_TRUE(log.Has(GetParam() ? "WriteEEPROM Err" : "WriteEEPROM Err, i=2"));
  if (GetParam()) {
    EXPECT_FALSE(log.Has("WriteEEPROM Err, i="));
  }
}

TEST_P(Protocol, Notifications) {
  Rig rig(GetParam());
  rig.m->PushPayload({0x0A, 0, 0, 0, 0, 0x21, 3});
  auto ev = rig.sink.WaitFor(2);
  ASSERT_EQ(ev.size(), 2u);
  EXPECT_EQ(ev[0].l, 0x103);
  EXPECT_EQ(ev[1].l, 0x400);

  // Every bit, in table order; bit 6 only on PRO+.
  rig.m->PushPayload({0x0A, 0, 0, 0, 0, 0x7F, 5, 0xF2, 0, 9});
  const size_t n = GetParam() ? 9 : 8;
  ev = rig.sink.WaitFor(n);
  std::this_thread::sleep_for(Ms(20));
  ev = rig.sink.WaitFor(n);
  ASSERT_EQ(ev.size(), n);
  std::vector<intptr_t> got;
  for (size_t i = 2; i < ev.size(); ++i) got.push_back(ev[i].l);
  std::vector<intptr_t> want = {0x105, 0x202, 0x309, 0x600, 0x500, 0x400};
  if (GetParam()) want.push_back(0x700);
  EXPECT_EQ(got, want);

  // A notification is never taken for a reply, even while a command waits.
  rig.m->PushPayload({0x0A, 0, 0, 0, 0, 0x01, 1});
  { auto l = rig.m->Lock(); rig.m->dropReplies = 1; }
  SetRetry(1);
  uint8_t buf[1];
  EXPECT_EQ(rig.dev->ReadEEPROM(0, buf, 1), 0);
}

TEST_P(Protocol, QueriesAndSettings) {
  Rig rig(GetParam());
  EXPECT_EQ(rig.dev->TellDrvStatus(1), 1);
  const uint8_t* p = rig.Req(0);
  EXPECT_EQ(p[0], 2);
  EXPECT_EQ(p[4], 1);
  EXPECT_EQ(p[5], 1);

  EXPECT_EQ(rig.dev->SetCurProfile(2), 1);
  p = rig.Req(1);
  EXPECT_EQ(p[0], GetParam() ? 0x0F : 0x10);
  EXPECT_EQ(p[4], 1);
  EXPECT_EQ(p[5], 2);

  int power = -1, charging = -1, flag = -1;
  EXPECT_EQ(rig.dev->GetPower(power, charging), 1);
  EXPECT_EQ(power, 80);
  EXPECT_EQ(charging, 1);
  EXPECT_EQ(rig.dev->GetCmd0FFlag(flag), 1);
  EXPECT_EQ(flag, 1);  // reply data 0 = 0 means the flag is set
  EXPECT_EQ(rig.dev->GetCmd06Value(), 0x42);
  EXPECT_EQ(rig.dev->GetConnectStatus(), 1);

  uint8_t out[10] = {};
  EXPECT_EQ(rig.dev->QueryCmd(0x0E, out, 10), 1);
  EXPECT_EQ(out[0], 2);
  EXPECT_EQ(rig.dev->SendCMD(9, 0), 1);
}

TEST_P(Protocol, ReadROMPiecesAndStopTest) {
  LogCapture log;
  Rig rig(GetParam());
  std::vector<uint8_t> buf(190);
  ASSERT_EQ(rig.dev->ReadROM(0, buf.data(), 190), 1);
  EXPECT_EQ(rig.m->SentCount(), 19u);
  EXPECT_TRUE(std::equal(buf.begin(), buf.end(), rig.m->eeprom.begin()));

  // Stops at the first piece starting 00 00.
  rig.m->eeprom[0x320] = 0;
  rig.m->eeprom[0x321] = 0;
  std::vector<uint8_t> name(30, 0xAA);
  ASSERT_EQ(rig.dev->ReadROM(0x301 + 0x1F, name.data(), 30,
                             [](const uint8_t* pc, int) { return pc[0] == 0 && pc[1] == 0; }),
            1);
  EXPECT_EQ(rig.m->SentCount(), 20u);
  EXPECT_EQ(name[10], 0xAA);

  SetRetry(1);
  { auto l = rig.m->Lock(); rig.m->failStatusReplies = 1; }
  std::vector<uint8_t> more(30);
  EXPECT_EQ(rig.dev->ReadROM(0x10, more.data(), 30), 0);
  EXPECT_TRUE(log.Has("ReadROM Failed at 0: nAddr=0x10"));
}

TEST_P(Protocol, UnplugDuringAnExchange) {
  LogCapture log;
  Rig rig(GetParam());
  { auto l = rig.m->Lock(); rig.m->unplugAtSend = 0; }
  uint8_t buf[10];
  auto t0 = Clock::now();
  EXPECT_EQ(rig.dev->ReadEEPROM(0, buf, 10), 0);
  EXPECT_LT(ElapsedMs(t0), 600);  // the reader's end wakes the wait
  EXPECT_EQ(rig.dev->GetConnectStatus(), -1);
  t0 = Clock::now();
  rig.dev->ClearHandle();
  EXPECT_LT(ElapsedMs(t0), 200);
  EXPECT_FALSE(rig.dev->HasCmd());
  EXPECT_EQ(rig.dev->cid, 0);
  EXPECT_EQ(rig.dev->ReadEEPROM(0, buf, 10), 0);
  EXPECT_TRUE(log.Has(GetParam() ? "CDevProPlus::ClearHandle" : "CDevPro::ClearHandle"));
  EXPECT_TRUE(log.Has(GetParam() ? "ServiceThread_PROPLUS exit" : "ServiceThread_PRO exit"));
}

TEST_P(Protocol, UnplugDuringALongWrite) {
  LogCapture log;
  Rig rig(GetParam());
  { auto l = rig.m->Lock(); rig.m->unplugAtSend = 5; }
  std::vector<uint8_t> data(384, 0x5A);
  auto t0 = Clock::now();
  EXPECT_EQ(rig.dev->WriteEEPROM(0x300, data.data(), 384, 10), 0);
  EXPECT_LT(ElapsedMs(t0), 1500);
  EXPECT_EQ(rig.m->SentCount(), 6u);
  EXPECT_TRUE(log.Has("WriteEEPROM Err, i=5"));
}

TEST_P(Protocol, ReleaseWhileAWriteRuns) {
  Rig rig(GetParam());
  { auto l = rig.m->Lock(); rig.m->replyDelayMs = 5; }
  std::vector<uint8_t> data(384, 0x11);
  int result = -1;
  std::thread writer([&] { result = rig.dev->WriteEEPROM(0x300, data.data(), 384, 10); });
  while (rig.m->SentCount() < 3) std::this_thread::sleep_for(Ms(1));
  auto t0 = Clock::now();
  rig.dev->ClearHandle();  // stops the reader, waits for the write to give up
  EXPECT_LT(ElapsedMs(t0), 1500);
  writer.join();
  EXPECT_EQ(result, 0);
  EXPECT_LT(rig.m->SentCount(), 39u);
}

TEST(ProtocolService, StopsAtOnceAndWithoutHandlesDoesNothing) {
  Rig rig(false);
  ASSERT_TRUE(rig.dev->ServiceRunning());
  auto t0 = Clock::now();
  rig.dev->StopService();
  EXPECT_LT(ElapsedMs(t0), 100);
  EXPECT_FALSE(rig.dev->ServiceRunning());
  rig.dev->StopService();  // idempotent

  CDevPro offline;
  offline.SetOfflineMarker();
  offline.StartService();
  EXPECT_FALSE(offline.ServiceRunning());
  EXPECT_TRUE(offline.HasCmd());
  uint8_t buf[2];
  EXPECT_EQ(offline.ReadEEPROM(0, buf, 2), 0);
  EXPECT_EQ(offline.TellDrvStatus(0), 0);
  CDevProPlus none;
  EXPECT_EQ(none.GetConnectStatus(), 0);
  EXPECT_EQ(none.TellDrvStatus(0), 0);
}

}  // namespace
}  // namespace tolvane::test
