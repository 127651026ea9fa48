#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../macro/temp_library.h"
#include "cli/cli.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;

struct CtlRun {
  int rc;
  std::string out, err;
};

class MacroCli : public ::testing::Test {
 protected:
  CtlRun Ctl(std::vector<std::string> args) {
    args.insert(args.begin(), {"tolvanectl", "--user-dir", dir_.Dir(), "--data-dir", DataDir()});
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    int rc = cli::RunCli(int(argv.size()), argv.data());
    std::fflush(stdout);
    CtlRun r{rc, ::testing::internal::GetCapturedStdout(), ::testing::internal::GetCapturedStderr()};
    return r;
  }
  std::string Mac(const std::string& rel) const { return dir_.Mac() + "/" + rel; }
  // An installation with a small language file of its own.
  std::string DataDir() {
    std::string data = dir_.Outside() + "/data/";
    if (!fs::exists(data)) {
      std::string xml =
          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<config><tc_macro_msg8>Name taken."
          "</tc_macro_msg8><tc_click>Left click</tc_click></config>\n";
      test::WriteBytes(data + "text.xml", xml.data(), xml.size());
    }
    return data;
  }
  test::TempUserDir dir_;
};

TEST_F(MacroCli, BuildAndShowAMacro) {
  CtlRun r = Ctl({"macro", "new", "burst.v2"});
  ASSERT_EQ(r.rc, 0) << r.err;
  ASSERT_TRUE(fs::exists(Mac("burst.qxm")));
  r = Ctl({"macro", "add", "BURST", "down:a", "delay:30", "delay:20", "up:0x41", "move:5,-3",
           "delay:7", "down:Enter", "up:0D", "down:left click", "up:0xF0"});
  ASSERT_EQ(r.rc, 0) << r.err;
  r = Ctl({"macro", "show", "burst"});
  EXPECT_EQ(r.out,
            "press A\ndelay 50 ms\nrelease A\nmove X=5 Y=-3\ndelay 7 ms\npress Enter\nrelease Enter\n"
            "press Left click\nrelease Left click\n");
  StMacro m = test::ReadBack(Mac("burst.qxm"));
  EXPECT_EQ(m.stEvents[2].wCode, 0xFD05);  // x in the low byte, y in the high byte
  EXPECT_EQ(m.stEvents[2].wFlag, kEventMove);
  EXPECT_EQ(MacroEventCount(m), 7);
  EXPECT_EQ(m.stEvents[5].wCode, kMouseLeft);

  char id[16];
  std::snprintf(id, sizeof id, "0x%06X", m.dwID);
  r = Ctl({"macro", "list", "--json"});
  EXPECT_EQ(r.out, std::string("[{\"name\":\"burst\",\"id\":\"") + id +
                       "\",\"events\":7,\"loop_mode\":0,\"repeat\":1,\"play\":\"repeat 1\"}]\n");
  r = Ctl({"macro", "show", "burst", "--json"});
  EXPECT_NE(r.out.find("{\"type\":\"move\",\"x\":5,\"y\":-3}"), std::string::npos) << r.out;
  EXPECT_EQ(Ctl({"macro", "show", "nothing"}).rc, 1);
}

TEST_F(MacroCli, RefusalsExitOneAndChangeNothing) {
  ASSERT_EQ(Ctl({"macro", "new", "one"}).rc, 0);
  ASSERT_EQ(Ctl({"macro", "new", "two"}).rc, 0);
  CtlRun r = Ctl({"macro", "new", "a-b"});
  EXPECT_EQ(r.rc, 1);
  EXPECT_EQ(r.err, "tolvanectl: Invalid file name.\n");
  r = Ctl({"macro", "new", "ONE"});
  EXPECT_EQ(r.rc, 1);
  EXPECT_EQ(r.err, "tolvanectl: Name taken.\n");
  EXPECT_EQ(Ctl({"macro", "rename", "one", "Two"}).rc, 1);
  EXPECT_EQ(Ctl({"macro", "rename", "one", "../../up"}).rc, 1);
  EXPECT_TRUE(fs::exists(Mac("one.qxm")));

  std::vector<std::string> add = {"macro", "add", "one"};
  for (int i = 0; i < 35; ++i) {
    add.push_back("down:B");
    add.push_back("up:B");
  }
  ASSERT_EQ(Ctl(add).rc, 0);
  auto before = fs::last_write_time(Mac("one.qxm"));
  r = Ctl({"macro", "add", "one", "down:C"});
  EXPECT_EQ(r.rc, 1);
  EXPECT_EQ(MacroEventCount(test::ReadBack(Mac("one.qxm"))), 70);
  EXPECT_EQ(fs::last_write_time(Mac("one.qxm")), before);

  EXPECT_EQ(Ctl({"macro", "add", "two", "down:NoSuchKey"}).rc, 2);
  EXPECT_EQ(Ctl({"macro", "add", "two", "delay:5"}).rc, 2);  // nothing to wait after
  EXPECT_EQ(Ctl({"macro", "add", "two", "move:0,0"}).rc, 2);
  EXPECT_EQ(Ctl({"macro", "add", "two", "delay:70000"}).rc, 2);
  EXPECT_EQ(MacroEventCount(test::ReadBack(Mac("two.qxm"))), 0);
}

TEST_F(MacroCli, ImportExportRenameDelete) {
  ASSERT_EQ(Ctl({"macro", "new", "src"}).rc, 0);
  ASSERT_EQ(Ctl({"macro", "add", "src", "down:Z", "up:Z"}).rc, 0);
  std::string out = dir_.Outside() + "/shared.qxm";
  ASSERT_EQ(Ctl({"macro", "export", "src", out}).rc, 0);
  std::ifstream a(out, std::ios::binary), b(Mac("src.qxm"), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(a), {}),
            std::string(std::istreambuf_iterator<char>(b), {}));

  CtlRun r = Ctl({"macro", "import", out});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(r.out.rfind("shared 0x", 0), 0u);
  EXPECT_EQ(Ctl({"macro", "import", out}).rc, 1);  // same title again
  test::WriteBytes(dir_.Outside() + "/junk.qxm", std::string(834, 'j').data(), 834);
  r = Ctl({"macro", "import", dir_.Outside() + "/junk.qxm"});
  EXPECT_EQ(r.err, "tolvanectl: This is not a valid macro file.\n");

  ASSERT_EQ(Ctl({"macro", "rename", "shared", "copy"}).rc, 0);
  EXPECT_TRUE(fs::exists(Mac("copy.qxm")));
  EXPECT_FALSE(fs::exists(Mac("shared.qxm")));
  ASSERT_EQ(Ctl({"macro", "delete", "copy"}).rc, 0);
  EXPECT_FALSE(fs::exists(Mac("copy.qxm")));
  r = Ctl({"macro", "list"});
  EXPECT_EQ(r.out.rfind("src ", 0), 0u);
  EXPECT_EQ(r.out.find('\n'), r.out.size() - 1);
}

}  // namespace
}  // namespace tolvane

namespace tolvane {
namespace {

TEST_F(MacroCli, FoldersFollowMacroDir) {
  test::WriteMacro(Mac("top.qxm"), test::MakeMacro("top", 0x10));
  test::WriteMacro(Mac("Sub/inner.qxm"), test::MakeMacro("inner", 0x20));
  CtlRun flat = Ctl({"macro", "list"});
  EXPECT_EQ(flat.out.find("inner"), std::string::npos) << flat.out;
  EXPECT_EQ(Ctl({"macro", "show", "Sub/inner"}).rc, 1);

  const std::string ini = "[OPT]\r\nMacroDir=1\r\n";
  test::WriteBytes(DataDir() + "cfg.ini", ini.data(), ini.size());
  CtlRun tree = Ctl({"macro", "list"});
  EXPECT_NE(tree.out.find("Sub/inner "), std::string::npos) << tree.out << tree.err;
  EXPECT_EQ(Ctl({"macro", "show", "sub/INNER"}).out, "press A\ndelay 10 ms\nrelease A\n");
}

TEST_F(MacroCli, AUserFolderThatIsAFileIsRefusedInOneLine) {
  const std::string file = dir_.Outside() + "/plain";
  test::WriteBytes(file, "x", 1);
  std::vector<std::string> args = {"tolvanectl", "--user-dir", file, "--data-dir", DataDir(),
                                   "macro", "list"};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  const int rc = cli::RunCli(int(argv.size()), argv.data());
  std::fflush(stdout);
  const std::string out = ::testing::internal::GetCapturedStdout();
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(rc, 1);
  EXPECT_EQ(out, "");
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  EXPECT_NE(err.find("not a folder"), std::string::npos) << err;
  EXPECT_EQ(std::filesystem::file_size(file), 1u);
}

}  // namespace
}  // namespace tolvane
