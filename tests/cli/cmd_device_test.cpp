// tolvanectl list and eeprom on virtual mice, run as the built program.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "cli/ctl_fixture.h"

namespace {

namespace fs = std::filesystem;

using Outcome = tolvane::test::CtlOutcome;

using DeviceCli = tolvane::test::CtlFixture;

TEST_F(DeviceCli, ListShowsDevicesAndAReceiverWaitingForItsMouse) {
  Outcome r = Exec(
      "--simulate pro+:cid=20,mid=02,link=wireless,ver=0311 "
      "--simulate pro:cid=10,mid=01,link=wired,ver=0105 "
      "--simulate pro:cid=10,mid=02,link=wireless,asleep list");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_LT(r.ms, 5000);
  std::istringstream lines(r.out);
  std::string l0, l1, l2, extra;
  std::getline(lines, l0);
  std::getline(lines, l1);
  std::getline(lines, l2);
  EXPECT_FALSE(std::getline(lines, extra)) << r.out;
  // Device-list (catalogue) order, not plug order.
  EXPECT_EQ(l0.rfind("0: Tolvane Kestrel  cid=10 mid=01  pro  wired  pid=4011  version=0105", 0), 0u)
      << l0;
  EXPECT_EQ(l1.rfind("1: Tolvane Heron 4K  cid=20 mid=02  pro+  wireless  pid=4012  version=0311", 0),
            0u)
      << l1;
  EXPECT_NE(l1.find("sim/1/dev"), std::string::npos);
  EXPECT_EQ(l2.rfind("-: receiver waiting for its mouse  pro  wireless  pid=4012", 0), 0u) << l2;
  EXPECT_EQ(l2.find("Kestrel"), std::string::npos);

  r = Exec("--simulate pro:cid=10,mid=02,link=wireless,asleep --simulate pro+ list --json");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("{\"devices\":[{\"position\":0,\"model\":\"Tolvane Heron\",\"cid\":\"20\","
                       "\"mid\":\"01\",\"family\":\"pro+\",\"link\":\"wired\""),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\"waiting\":[{\"state\":\"receiver waiting for its mouse\",\"family\":\"pro\""),
            std::string::npos)
      << r.out;

  // A mouse no model of the catalogue has is not listed; an empty list is
  // not a failure.
  r = Exec("--simulate pro:cid=55,mid=66 list");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "no device connected\n");
}

TEST_F(DeviceCli, EepromWriteThenReadOnTheChosenDevice) {
  const std::string img = (dir_ / "m1.bin").string();
  const std::string sims = "--simulate pro:cid=10,mid=01 --simulate pro+:eeprom=" + img + " ";
  Outcome w = Exec(sims + "--device 1 eeprom write 0x300 de ad 0B ef 01 02 03 04 05 06 07 08");
  ASSERT_EQ(w.status, 0) << w.err;
  Outcome r = Exec(sims + "--device 1 eeprom read 300 12");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "de ad 0b ef 01 02 03 04 05 06 07 08\n");
  // Device 0 has its own EEPROM.
  r = Exec(sims + "eeprom read 300 2");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "ff ff\n");
  EXPECT_EQ(fs::file_size(img), 0x1B00u);

  EXPECT_EQ(Exec(sims + "--device 2 eeprom read 0 1").status, 1);
  EXPECT_EQ(Exec("--simulate pro:link=wireless,asleep eeprom read 0 1").status, 1);
  EXPECT_EQ(Exec(sims + "eeprom read zz 1").status, 2);
  EXPECT_EQ(Exec(sims + "eeprom read 0 0").status, 2);
  EXPECT_EQ(Exec(sims + "eeprom read fff0 17").status, 2);
  EXPECT_EQ(Exec(sims + "eeprom write 0 100").status, 2);
  Outcome bad = Exec("--simulate nonsense list");
  EXPECT_EQ(bad.status, 1);
  EXPECT_FALSE(bad.err.empty());
}

TEST_F(DeviceCli, TracePrintsEveryReportAsHexLines) {
  Outcome r = Exec("--simulate pro+ --simulate pro --trace eeprom read 4 2");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::regex line("[<>] ([0-9a-f]{2} ){16}[0-9a-f]{2}");
  std::istringstream in(r.err);
  std::string l;
  int sent = 0, read = 0;
  bool sawRead = false;
  while (std::getline(in, l)) {
    EXPECT_TRUE(std::regex_match(l, line)) << l;
    sent += l[0] == '>';
    read += l[0] == '<';
    // The EEPROM read itself: command 8, address 4, length 2, and its reply.
    if (l.rfind("> 08 08 00 00 04 02", 0) == 0) sawRead = true;
  }
  EXPECT_TRUE(sawRead) << r.err;
  EXPECT_GE(sent, 5);  // echo, probes and the read
  EXPECT_GE(read, 5);
}

TEST_F(DeviceCli, FifthDeviceIsRefused) {
  Outcome r = Exec(
      "--simulate pro:cid=10,mid=01 --simulate pro:cid=10,mid=02 --simulate pro:cid=10,mid=03 "
      "--simulate pro+:cid=20,mid=01 --simulate pro+:cid=20,mid=02 list");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("more than 4 devices"), std::string::npos) << r.err;
  r = Exec(
      "--simulate pro:cid=10,mid=01 --simulate pro:cid=10,mid=02 --simulate pro:cid=10,mid=03 "
      "--simulate pro+:cid=20,mid=01 list");
  EXPECT_EQ(r.status, 0) << r.err;
}

}  // namespace
