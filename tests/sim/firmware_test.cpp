#include <gtest/gtest.h>

#include <mutex>
#include <numeric>

#include "device/report_trace.h"
#include "sim_rig.h"

namespace tolvane::sim::test {
namespace {

uint8_t Sum(const Report& r) { return uint8_t(std::accumulate(r.begin(), r.end(), 0)); }

TEST(SimFraming, CommandThreeAndItsReplyOnTheWire) {
  Rig rig("pro");
  std::mutex mu;
  std::vector<std::string> lines;
  rig.transport.SetTrace([&](TraceDir d, const Report& r) {
    std::lock_guard lk(mu);
    lines.push_back(FormatReportTrace(d, r));
  });
  Report cmd = Cmd(3);
  EXPECT_EQ(cmd[16], 0x4A);
  Report rep = rig.Ask(3);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "> 08 03 00 00 00 00 00 00 00 00 00 00 00 00 00 00 4a");
  EXPECT_EQ(lines[1], "< 09 03 00 00 00 00 01 00 00 00 00 00 00 00 00 00 48");
  EXPECT_EQ(rep[0], kInputReportId);
  EXPECT_EQ(Sum(rep), 0x55);
}

TEST(SimFraming, ChecksumIsNotRequiredForAnAnswer) {
  // The host's pairing echo goes out with byte 16 = 0 and relies on an answer.
  Rig rig("pro");
  Report echo{};
  echo[0] = 8;
  echo[1] = 3;
  Report rep{};
  ASSERT_EQ(rig.Exchange(echo, &rep), HidStatus::Ok);
  EXPECT_EQ(rep[1], 3);
}

class SimCommands : public ::testing::TestWithParam<const char*> {};

TEST_P(SimCommands, ReplyLayouts) {
  Rig rig(GetParam());
  const bool plus = rig.plus();
  const MouseState st = rig.mouse->Snapshot();

  Report r = rig.Ask(1, 0, 8, {11, 22, 33, 44});
  EXPECT_EQ(r[1], 1);
  EXPECT_EQ(r[2], 0);
  EXPECT_EQ(r[10], st.cid);   // payload 9
  EXPECT_EQ(r[11], st.mid);   // payload 10
  EXPECT_EQ(r[12], plus ? 1 : 0);  // payload 11: the 4K code, PRO+ only
  EXPECT_EQ(st.cid, plus ? 0x22 : 0x11);

  r = rig.Ask(2, 0, 1, {0});
  EXPECT_EQ(r[1], 2);
  EXPECT_EQ(r[2], 0);
  EXPECT_EQ(rig.mouse->Snapshot().drvStatus, 0);

  r = rig.Ask(3);
  EXPECT_EQ(r[2], 0);
  EXPECT_EQ(r[6], 1);

  r = rig.Ask(4);
  EXPECT_EQ(r[2], 0);
  EXPECT_EQ(r[6], 100);
  EXPECT_EQ(r[7], 0);

  r = rig.Ask(6);
  EXPECT_EQ(r[1], 6);
  EXPECT_EQ(r[2], 0);

  // EEPROM write then read back, address and length echoed.
  r = rig.Ask(7, 0x0312, 5, {1, 2, 3, 4, 5});
  EXPECT_EQ(r[1], 7);
  EXPECT_EQ(r[2], 0);
  EXPECT_EQ(r[3], 0x03);
  EXPECT_EQ(r[4], 0x12);
  EXPECT_EQ(r[5], 5);
  r = rig.Ask(8, 0x0311, 7);
  EXPECT_EQ(r[2], 0);
  EXPECT_EQ(r[5], 7);
  EXPECT_EQ(std::vector<uint8_t>(r.begin() + 6, r.begin() + 13),
            (std::vector<uint8_t>{0xFF, 1, 2, 3, 4, 5, 0xFF}));
  r = rig.Ask(8, 0x1AF6, 10);  // the last ten bytes
  EXPECT_EQ(r[2], 0);

  r = rig.Ask(0x0E);
  EXPECT_EQ(r[2], 0);
  EXPECT_EQ(r[6], 0);

  r = rig.Ask(0x0F);  // lighting lock query: 1 = changes allowed
  EXPECT_EQ(r[2], 0);
  EXPECT_EQ(r[6], 1);

  // Profile switch: 0x10 on PRO, 0x0F with one byte on PRO+.
  r = rig.Ask(plus ? 0x0F : 0x10, 0, 1, {2});
  EXPECT_EQ(r[2], 0);
  EXPECT_EQ(rig.Ask(0x0E)[6], 2);
  r = rig.Ask(plus ? 0x0F : 0x10, 0, 1, {4});
  EXPECT_NE(r[2], 0);
  EXPECT_EQ(rig.Ask(0x0E)[6], 2);
}

TEST_P(SimCommands, UnknownCommandsAndBadLengthsFail) {
  Rig rig(GetParam());
  const bool plus = rig.plus();
  struct Case { uint8_t cmd; uint16_t addr; uint8_t len; };
  const Case cases[] = {
      {0x00, 0, 0}, {0x05, 0, 0}, {0x0A, 0, 0}, {0x0B, 0, 0}, {0x11, 0, 0}, {0xFF, 0, 0},
      {0x01, 0, 7}, {0x02, 0, 0}, {0x03, 0, 1}, {0x04, 0, 2}, {0x07, 0, 0}, {0x07, 0, 11},
      {0x08, 0, 0}, {0x08, 0, 11}, {0x08, 0x1AF7, 10}, {0x07, 0xFFFF, 1}, {0x09, 0, 1},
      {0x0E, 0, 1}, {0x0F, 0, 2}, {uint8_t(plus ? 0x10 : 0x0F), 0, 1}, {0x10, 0, 0},
  };
  const Eeprom before = rig.mouse->EepromCopy();
  for (const Case& c : cases) {
    Report r = rig.Ask(c.cmd, c.addr, c.len, {1, 2, 3});
    EXPECT_EQ(r[1], c.cmd) << "cmd " << int(c.cmd) << " len " << int(c.len);
    EXPECT_NE(r[2], 0) << "cmd " << int(c.cmd) << " len " << int(c.len);
  }
  EXPECT_EQ(rig.mouse->EepromCopy(), before);
  EXPECT_EQ(rig.Ask(3)[6], 1);  // still answering
}

INSTANTIATE_TEST_SUITE_P(Families, SimCommands, ::testing::Values("pro", "pro+"),
                         [](const auto& i) { return std::string(i.param) == "pro" ? "Pro" : "ProPlus"; });

TEST(SimCommands, CommandNineRestoresFactorySettingsAndReportsTheReset) {
  Rig rig("pro");
  const Eeprom factory = rig.mouse->Snapshot().factory;
  rig.Ask(7, 0x0C, 4, {9, 9, 9, 9});
  rig.Ask(7, 0x0300, 3, {6, 6, 6});
  ASSERT_NE(rig.mouse->EepromCopy(), factory);
  Report r = rig.Ask(9);
  EXPECT_EQ(r[1], 9);
  EXPECT_EQ(r[2], 0);
  Report n{};
  ASSERT_EQ(rig.reader().Read(n, 200), HidStatus::Ok);
  EXPECT_EQ(n[1], 0x0A);
  EXPECT_EQ(n[6], 0x04);
  EXPECT_EQ(rig.mouse->EepromCopy(), factory);
}

}  // namespace
}  // namespace tolvane::sim::test
