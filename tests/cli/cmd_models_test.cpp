// tolvanectl models and sensor, run as the built program.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "cli/ctl_fixture.h"

namespace {

namespace fs = std::filesystem;

using Outcome = tolvane::test::CtlOutcome;

class ModelsCli : public tolvane::test::CtlFixture {
 protected:
  ModelsCli() { fs::create_directories(dir_ / "data"); }

  std::string Data(const std::string& cfg) {
    std::ofstream(dir_ / "data" / "cfg.ini", std::ios::binary) << cfg;
    return (dir_ / "data").string();
  }
  static int Lines(const std::string& s) { return int(std::count(s.begin(), s.end(), '\n')); }
};

TEST_F(ModelsCli, ListsTheBundledCatalogue) {
  Outcome r = Exec("models");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(Lines(r.out), 7);  // header and six models
  EXPECT_NE(r.out.find("1      Tolvane Kestrel      0x10  0x01  PRO     0x3395  6       6\n"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("PRO+    0x3370"), std::string::npos);

  Outcome j = Exec("models --json");
  ASSERT_EQ(j.status, 0) << j.err;
  EXPECT_EQ(j.out.front(), '[');
  EXPECT_EQ(j.out.substr(j.out.size() - 2), "]\n");
  EXPECT_NE(j.out.find("{\"entry\": 4, \"name\": \"Tolvane Heron\", \"cid\": 32, \"mid\": 1, \"family\": "
                       "\"PRO+\", \"fw\": 1, \"sensor\": 13168, \"levels\": 7, \"keys\": 7}"),
            std::string::npos)
      << j.out;
}

TEST_F(ModelsCli, CraftedCatalogueMessagesAndFailures) {
  // Entry numbers follow the sections; names are escaped in JSON; loading
  // messages go to stderr and the command goes on.
  std::string data = Data(
      "[OPT]\nappdir=T\n[DEV_2]\nSensor=12368\nName=Say \"hi\" \\o/\nDM=9\nKM=4\nDPI=750\nDC=1,2,3\n"
      "[DEV_7]\nSensor=13168\nName=\x01\xFF\n");
  Outcome j = ExecWithData("models --json", data);
  ASSERT_EQ(j.status, 0) << j.err;
  EXPECT_NE(j.out.find("\"entry\": 2, \"name\": \"Say \\\"hi\\\" \\\\o/\""), std::string::npos) << j.out;
  EXPECT_NE(j.out.find("\"levels\": 8, \"keys\": 2"), std::string::npos) << j.out;
  EXPECT_NE(j.out.find("\"entry\": 7, \"name\": \"\\u0001\\ufffd\""), std::string::npos) << j.out;
  EXPECT_NE(j.err.find("Warning: DPI != DM.\n"), std::string::npos) << j.err;
  EXPECT_NE(j.err.find("Warning: DC != DM.\n"), std::string::npos) << j.err;

  Outcome empty = ExecWithData("models --json", Data("[OPT]\nappdir=T\n"));
  EXPECT_EQ(empty.status, 0);
  EXPECT_EQ(empty.out, "[]\n");

  Outcome bad = ExecWithData("models", Data("[OPT]\nappdir=T\n[DEV_1]\nSensor=12368\nKM=7\n"));
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.out, "");
  EXPECT_EQ(Lines(bad.err), 1) << bad.err;

  // Empty or garbage: one line naming the file, and a failure.
  // The device commands too, which start the whole program.
  const std::string garbage("\x7f\0garbage\xff\n[[[\n=\n", 17);
  for (const std::string& cfg : {std::string(), garbage}) {
    for (const char* args : {"models", "--simulate pro:cid=10,mid=01 list", "--offline profiles"}) {
      Outcome damaged = ExecWithData(args, Data(cfg));
      EXPECT_EQ(damaged.status, 1) << args;
      EXPECT_EQ(damaged.out, "") << args;
      EXPECT_EQ(Lines(damaged.err), 1) << args << ": " << damaged.err;
      EXPECT_NE(damaged.err.find("cfg.ini is empty or damaged"), std::string::npos) << damaged.err;
      EXPECT_EQ(damaged.err.find("APPDATA=NULL"), std::string::npos) << damaged.err;
    }
  }

  Outcome missing = ExecWithData("models", (dir_ / "nowhere").string());
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(Lines(missing.err), 1);
  EXPECT_EQ(Exec("models --bogus").status, 2);
}

// A user folder that is a regular file: the device commands fail in one
// line, as the macro commands do, and write nothing.
TEST_F(ModelsCli, DeviceCommandsRefuseAUserFolderThatIsAFile) {
  fs::remove(dir_ / "user");
  std::ofstream(dir_ / "user", std::ios::binary) << "not a folder";
  for (const char* args : {"--offline profiles", "--simulate pro show", "macro list"}) {
    Outcome r = Exec(args);
    EXPECT_EQ(r.status, 1) << args;
    EXPECT_EQ(Lines(r.err), 1) << args << ": " << r.err;
    EXPECT_NE(r.err.find("as the user folder"), std::string::npos) << r.err;
  }
  EXPECT_EQ(fs::file_size(dir_ / "user"), 12u);
}

TEST_F(ModelsCli, SensorConversions) {
  struct Case {
    const char* args;
    const char* out;
  } cases[] = {
      {"sensor 0x3370 --dpi 12000", "dpi=12000 code=119 mode=2\n"},
      {"sensor 3370 --dpi 38000 --json", "{\"dpi\": 38000, \"code\": 189, \"mode\": 3}\n"},
      {"sensor 0x3370 --code 189 --mode 3", "dpi=38000 code=189 mode=3\n"},
      {"sensor 0x3395 --dpi 26000 --json", "{\"dpi\": 26000, \"code\": 519, \"mode\": 0}\n"},
      {"sensor 0x3325 --dpi 8000", "dpi=8000 code=92 mode=1\n"},
      {"sensor 0x3325 --code 92", "dpi=4000 code=92 mode=0\n"},
      {"sensor 0x3050 --code 0x0b", "dpi=4000 code=11 mode=0\n"},
  };
  for (const Case& c : cases) {
    Outcome r = Exec(c.args);
    EXPECT_EQ(r.status, 0) << c.args << ": " << r.err;
    EXPECT_EQ(r.out, c.out) << c.args;
  }
  // Values the formula reaches between table entries convert, with a remark
  // that the table does not list them; a value the formula misses fails.
  for (const Case& c : {Case{"sensor 0x3395 --dpi 26100", "dpi=26100 code=260 mode=1\n"},
                        Case{"sensor 0x3370 --dpi 10050", ""}}) {
    Outcome r = Exec(c.args);
    if (*c.out) {
      EXPECT_EQ(r.status, 0) << c.args << ": " << r.err;
      EXPECT_EQ(r.out, c.out) << c.args;
      EXPECT_NE(r.err.find("26100 DPI is not in the table of sensor 0x3395"), std::string::npos) << r.err;
    } else {
      EXPECT_EQ(r.status, 1) << c.args;  // 10050 is between the 50 and 100 steps
    }
  }
  for (const char* failing : {"sensor 0x3370 --dpi 38200", "sensor 0x3370 --dpi 75", "sensor 0x1234",
                              "sensor 0x3325 --code 5", "sensor 0x3050 --code 99999999"}) {
    Outcome r = Exec(failing);
    EXPECT_EQ(r.status, 1) << failing;
    EXPECT_EQ(r.out, "") << failing;
    EXPECT_EQ(Lines(r.err), 1) << failing << ": " << r.err;
  }
  for (const char* usage : {"sensor", "sensor zz", "sensor 0", "sensor 0x3370 --dpi 800 --code 3",
                            "sensor 0x3370 --mode 1", "sensor 0x3370 --dpi 12k", "sensor 0x3370 --dpi -50"}) {
    Outcome r = Exec(usage);
    EXPECT_EQ(r.status, 2) << usage << ": " << r.err;
    EXPECT_EQ(r.out, "") << usage;
  }
}

TEST_F(ModelsCli, SensorTablesFollowTheCatalogue) {
  Outcome t = Exec("sensor 0x3050");
  ASSERT_EQ(t.status, 0) << t.err;
  EXPECT_EQ(Lines(t.out), 13);  // title, header, 11 values
  EXPECT_NE(t.out.find("10     4000    11    0\n"), std::string::npos) << t.out;

  // "3325Setp200" and a model's DPISET change the tables the commands use.
  std::string data = Data("[OPT]\nappdir=T\n3325Setp200=1\n[DEV_1]\nSensor=12368\nDM=3\nDPISET=400,800,1600\n"
                          "DPI=400,800,1600\n");
  Outcome a = ExecWithData("sensor 0x3325 --dpi 5200 --json", data);
  EXPECT_EQ(a.out, "{\"dpi\": 5200, \"code\": 59, \"mode\": 1}\n") << a.err;
  Outcome j = ExecWithData("sensor 0x3050 --json", data);
  ASSERT_EQ(j.status, 0) << j.err;
  EXPECT_EQ(j.out,
            "{\"sensor\": 12368, \"count\": 3, \"table\": [\n"
            "  {\"index\": 0, \"dpi\": 400, \"code\": 1, \"mode\": 0},\n"
            "  {\"index\": 1, \"dpi\": 800, \"code\": 2, \"mode\": 0},\n"
            "  {\"index\": 2, \"dpi\": 1600, \"code\": 3, \"mode\": 0}\n"
            "]}\n");
}

}  // namespace

TEST_F(ModelsCli, UdevRulesCoverEveryWiredAndWirelessId) {
  Outcome r = ExecWithData("udev-rules", Data("[OPT]\nappdir=T\nVID=3151\nPID=4011\nPID2=4012,A013\n"));
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* pid : {"4011", "4012", "a013"}) {
    const std::string line = std::string("ATTRS{idVendor}==\"3151\", ATTRS{idProduct}==\"") + pid + "\"";
    EXPECT_NE(r.out.find(line), std::string::npos) << pid << "\n" << r.out;
  }
  EXPECT_NE(r.out.find("SUBSYSTEM==\"hidraw\""), std::string::npos);
  EXPECT_NE(r.out.find("TAG+=\"uaccess\""), std::string::npos);
  EXPECT_EQ(Exec("udev-rules --bogus").status, 2);
}
