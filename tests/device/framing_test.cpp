#include "device/framing.h"

#include <cstring>

#include "device/report_trace.h"
#include "sim_link.h"

namespace tolvane::test {
namespace {

TEST(Framing, CommandReportAndChecksum) {
  const uint8_t cmd3[] = {3};
  EXPECT_EQ(FormatReportTrace(TraceDir::ToDevice, BuildCommandReport(cmd3, 1)),
            "> 08 03 00 00 00 00 00 00 00 00 00 00 00 00 00 00 4a");
  uint8_t full[15];
  for (int i = 0; i < 15; ++i) full[i] = uint8_t(0xF0 + i);
  Report r = BuildCommandReport(full, 15);
  EXPECT_EQ(r[1], 0xF0);
  EXPECT_EQ(r[15], 0xFE);
  unsigned sum = 0;
  for (uint8_t b : r) sum += b;
  EXPECT_EQ(sum & 0xFF, 0x55u);
  EXPECT_EQ(ReportChecksum(r), 0);  // byte 16 counts against the sum
}

TEST(Framing, ProFeatureSends) {
  LogCapture log;
  SimLink link("pro", false);
  const uint8_t pay[16] = {3};
  EXPECT_EQ(SendData(pay, link.cmd.get(), nullptr, 16), 0);
  EXPECT_TRUE(log.Has("SendData Err: nSize>PER_PAYLOAD!"));
  EXPECT_TRUE(link.Sent().empty());

  link.mouse->RejectSends(1);
  int err = 0;
  EXPECT_EQ(SendData(pay, link.cmd.get(), &err, 1), 0);  // one try only
  EXPECT_EQ(err, EPIPE);
  EXPECT_TRUE(log.Has("SendData Err=0x20"));

  // Two refusals: the third try goes through after 2 x 50 ms.
  link.mouse->RejectSends(2);
  Report r{};
  auto t0 = Clock::now();
  EXPECT_EQ(SendCommand(1, r, link.cmd.get(), pay), 1);
  EXPECT_GE(ElapsedMs(t0), 100);
  EXPECT_EQ(r[16], 0x4A);
  EXPECT_FALSE(log.Has("SendCommand err"));
  // Three: fails after sleeping after each, the third too.
  link.mouse->RejectSends(3);
  t0 = Clock::now();
  EXPECT_EQ(SendCommand(1, r, link.cmd.get(), pay), 0);
  EXPECT_GE(ElapsedMs(t0), 150);
  EXPECT_TRUE(log.Has("SendCommand err=0x20"));
}

TEST(Framing, GetDataDeliversUncheckedAndReportsFailures) {
  LogCapture log;
  SimLink link("pro", false);
  Report odd{};
  odd[0] = 0x33;  // wrong report id and checksum: delivered all the same
  for (int i = 1; i < 16; ++i) odd[i] = uint8_t(i);
  odd[16] = 0x99;
  link.mouse->InjectInput(odd);
  uint8_t buf[16];
  std::memset(buf, 0xCC, sizeof buf);
  EXPECT_EQ(GetData(link.notify.get(), buf, 15, 200), 1);
  EXPECT_EQ(buf[0], 1);
  EXPECT_EQ(buf[14], 15);
  EXPECT_EQ(buf[15], 0xCC);  // the checksum byte is not copied

  auto t0 = Clock::now();
  EXPECT_EQ(GetData(link.notify.get(), buf, 15, 200), 0);
  EXPECT_GE(ElapsedMs(t0), 190);
  EXPECT_TRUE(log.Has("GetData TimeOut, hNotify="));
  link.transport.Unplug(link.mouse);
  EXPECT_EQ(GetData(link.notify.get(), buf, 15, 200), 0);
  EXPECT_TRUE(log.Has("GetData Err, dev is plugout"));
}

TEST(Framing, ProPlusWrites) {
  LogCapture log;
  SimLink link("pro+", false);
  uint8_t pay[15] = {3};
  EXPECT_EQ(SendData_PROPLUS(nullptr, link.cmd.get(), pay), 1);
  uint8_t buf[15];
  EXPECT_EQ(GetData(link.cmd.get(), buf, 15), 1);
  EXPECT_EQ(buf[0], 3);
  EXPECT_EQ(GetData(link.cmd.get(), buf, 15), 0);
  EXPECT_TRUE(log.Has("GetData TimeOut, hDev="));

  link.mouse->StallWrites(1);  // pending past 200 ms: a time-out, not retried here
  auto t0 = Clock::now();
  EXPECT_EQ(SendData_PROPLUS(nullptr, link.cmd.get(), pay), 0);
  EXPECT_GE(ElapsedMs(t0), 190);
  EXPECT_TRUE(log.Has("SendData TimeOut, hDev="));

  link.mouse->RejectSends(2);
  int err = 0;
  EXPECT_EQ(SendData_PROPLUS(&err, link.cmd.get(), pay), 0);
  EXPECT_EQ(err, EPIPE);
  EXPECT_EQ(log.Count("SendData_PROPLUS Err=0x20"), 1);
  LinkOptions o;
  o.bGoWithNoDev = true;
  SetLinkOptions(o);
  EXPECT_EQ(SendData_PROPLUS(&err, link.cmd.get(), pay), 0);  // still fails, not logged
  EXPECT_EQ(log.Count("SendData_PROPLUS Err=0x20"), 1);
  SetLinkOptions(LinkOptions{});

  link.transport.Unplug(link.mouse);
  EXPECT_EQ(SendData_PROPLUS(&err, link.cmd.get(), pay), 0);
  EXPECT_EQ(err, ENODEV);
  EXPECT_TRUE(log.Has("GetData Err, dev is plugout"));
}

}  // namespace
}  // namespace tolvane::test
