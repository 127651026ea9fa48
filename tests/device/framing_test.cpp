#include "device/framing.h"

#include <gtest/gtest.h>

#include "device/link_options.h"
#include "fake_hid.h"

namespace tolvane::test {
namespace {

using Ms = std::chrono::milliseconds;

int ElapsedMs(Clock::time_point t0) {
  return int(std::chrono::duration_cast<Ms>(Clock::now() - t0).count());
}

TEST(Framing, CommandReportAndChecksum) {
  const uint8_t cmd3[] = {3};
  Report r = BuildCommandReport(cmd3, 1);
  const Report expect = {8, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x4A};
  EXPECT_EQ(r, expect);

  // Payload bytes land at 1..15; all 17 bytes add up to 0x55, and the
  // checksum of a finished report is 0.
  uint8_t full[15];
  for (int i = 0; i < 15; ++i) full[i] = uint8_t(0xF0 + i);
  r = BuildCommandReport(full, 15);
  EXPECT_EQ(r[1], 0xF0);
  EXPECT_EQ(r[15], 0xFE);
  unsigned sum = 0;
  for (uint8_t b : r) sum += b;
  EXPECT_EQ(sum & 0xFF, 0x55u);
  EXPECT_EQ(ReportChecksum(r), 0);
}

TEST(Framing, SendDataAndSendCommand) {
  LogCapture log;
  auto m = std::make_shared<FakeMouse>(false);
  FakeHandle cmd(m, HidRole::ProCommand);
  const uint8_t pay[16] = {3};

  EXPECT_EQ(SendData(pay, &cmd, nullptr, 16), 0);
  EXPECT_TRUE(log.Has("SendData Err: nSize>PER_PAYLOAD!"));
  EXPECT_EQ(m->SentCount(), 0u);

  m->failSends = 1;
  int err = 0;
  EXPECT_EQ(SendData(pay, &cmd, &err, 1), 0);  // one try only
  EXPECT_EQ(err, EPIPE);
  EXPECT_TRUE(log.Has("SendData Err=0x20"));
  EXPECT_EQ(SendData(pay, &cmd, &err, 1), 1);

  // SendCommand: two refusals, the third try goes through after 2 x 50 ms.
  m->failSends = 2;
  Report r{};
  auto t0 = Clock::now();
  EXPECT_EQ(SendCommand(1, r, &cmd, pay), 1);
  EXPECT_GE(ElapsedMs(t0), 100);
  EXPECT_EQ(r[16], 0x4A);
  EXPECT_FALSE(log.Has("SendCommand err"));

  // Three refusals: fails after sleeping after each, also the third.
  m->failSends = 3;
  t0 = Clock::now();
  EXPECT_EQ(SendCommand(1, r, &cmd, pay), 0);
  EXPECT_GE(ElapsedMs(t0), 150);
  EXPECT_TRUE(log.Has("SendCommand err=0x20"));
  EXPECT_EQ(SendCommand(1, r, &cmd, nullptr), 0);
}

TEST(Framing, GetDataDeliversPayloadUncheckedAndReportsFailures) {
  LogCapture log;
  auto m = std::make_shared<FakeMouse>(false);
  FakeHandle notify(m, HidRole::ProNotify);
  Report odd{};
  odd[0] = 0x33;  // wrong report id and checksum: delivered all the same
  for (int i = 1; i < 16; ++i) odd[i] = uint8_t(i);
  odd[16] = 0x99;
  m->Push(odd);
  uint8_t buf[16];
  std::memset(buf, 0xCC, sizeof buf);
  EXPECT_EQ(GetData(&notify, buf, 15, 200), 1);
  EXPECT_EQ(buf[0], 1);
  EXPECT_EQ(buf[14], 15);
  EXPECT_EQ(buf[15], 0xCC);  // the checksum byte is not copied

  auto t0 = Clock::now();
  EXPECT_EQ(GetData(&notify, buf, 15, 200), 0);
  EXPECT_GE(ElapsedMs(t0), 190);
  EXPECT_TRUE(log.Has("GetData TimeOut, hNotify="));

  FakeHandle dev(m, HidRole::ProPlus);
  EXPECT_EQ(GetData(&dev, buf, 15), 0);
  EXPECT_TRUE(log.Has("GetData TimeOut, hDev="));

  m->Unplug();
  EXPECT_EQ(GetData(&notify, buf, 15, 200), 0);
  EXPECT_TRUE(log.Has("GetData Err, dev is plugout"));
}

TEST(Framing, SendDataProPlus) {
  LogCapture log;
  auto m = std::make_shared<FakeMouse>(true);
  FakeHandle dev(m, HidRole::ProPlus);
  uint8_t pay[15] = {8, 0, 0, 0x10, 2};
  EXPECT_EQ(SendData_PROPLUS(nullptr, &dev, pay), 1);
  ASSERT_EQ(m->SentCount(), 1u);
  EXPECT_EQ(m->Sent()[0], BuildCommandReport(pay, 15));

  m->writeTimeouts = 1;  // pending past 200 ms: a time-out, not retried here
  EXPECT_EQ(SendData_PROPLUS(nullptr, &dev, pay), 0);
  EXPECT_TRUE(log.Has("SendData TimeOut, hDev="));
  EXPECT_EQ(m->SentCount(), 1u);

  m->failSends = 2;
  int err = 0;
  EXPECT_EQ(SendData_PROPLUS(&err, &dev, pay), 0);
  EXPECT_EQ(err, EPIPE);
  EXPECT_EQ(log.Count("SendData_PROPLUS Err=0x20"), 1);
  LinkOptions o;
  o.bGoWithNoDev = true;
  SetLinkOptions(o);
  EXPECT_EQ(SendData_PROPLUS(&err, &dev, pay), 0);  // still fails, not logged
  EXPECT_EQ(log.Count("SendData_PROPLUS Err=0x20"), 1);
  SetLinkOptions(LinkOptions{});

  m->Unplug();
  EXPECT_EQ(SendData_PROPLUS(&err, &dev, pay), 0);
  EXPECT_EQ(err, ENODEV);
  EXPECT_TRUE(log.Has("GetData Err, dev is plugout"));
}

}  // namespace
}  // namespace tolvane::test
