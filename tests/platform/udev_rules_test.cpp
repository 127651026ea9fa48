#include "platform/udev_rules.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/temp_folder.h"

namespace tolvane::platform {
namespace {

namespace fs = std::filesystem;

TEST(UdevRules, OneLinePerPairInLowercaseHex) {
  const std::string rules = MakeUdevRules({0x3151, 0x3151, 0x0A0B}, {0x40AB, 0x5020});
  const std::string body =
      "ACTION==\"remove\", GOTO=\"tolvane_end\"\n"
      "SUBSYSTEM==\"hidraw\", ATTRS{idVendor}==\"3151\", ATTRS{idProduct}==\"40ab\", TAG+=\"uaccess\"\n"
      "SUBSYSTEM==\"hidraw\", ATTRS{idVendor}==\"3151\", ATTRS{idProduct}==\"5020\", TAG+=\"uaccess\"\n"
      "SUBSYSTEM==\"hidraw\", ATTRS{idVendor}==\"0a0b\", ATTRS{idProduct}==\"40ab\", TAG+=\"uaccess\"\n"
      "SUBSYSTEM==\"hidraw\", ATTRS{idVendor}==\"0a0b\", ATTRS{idProduct}==\"5020\", TAG+=\"uaccess\"\n"
      "LABEL=\"tolvane_end\"\n";
  ASSERT_GE(rules.size(), body.size());
  EXPECT_EQ(rules.substr(rules.size() - body.size()), body);
  // Everything before the rules is comment.
  std::istringstream head(rules.substr(0, rules.size() - body.size()));
  for (std::string line; std::getline(head, line);) EXPECT_EQ(line.rfind("# ", 0), 0u) << line;
}

class UdevInstall : public ::testing::Test {
 protected:
  tolvane::test::TempFolder tmp_{"udev"};
  fs::path dir_{tmp_.Root()};
};

TEST_F(UdevInstall, WritesTheFileThenReloads) {
  const std::string path = (dir_ / "70-tolvane.rules").string();
  { std::ofstream(path) << "old rules that are longer than the new ones\n"; }
  const std::string rules = MakeUdevRules({0x3151}, {0x4010});
  std::vector<std::string> ran;
  std::string msg;
  ASSERT_TRUE(InstallUdevRules(rules, &msg, path, [&](const std::string& c) {
    // The file is complete before the reload runs.
    std::ifstream in(path);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), rules);
    ran.push_back(c);
    return 0;
  })) << msg;
  EXPECT_EQ(ran, std::vector<std::string>{kUdevReloadCommand});
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);  // no temporary left

  // A failing reload is a failure, and says what to do; the file stays.
  EXPECT_FALSE(InstallUdevRules(rules, &msg, path, [](const std::string&) { return 1; }));
  EXPECT_NE(msg.find(kUdevReloadCommand), std::string::npos) << msg;
  EXPECT_TRUE(fs::exists(path));
  // The reload's wait status becomes its exit code or signal.
  EXPECT_FALSE(InstallUdevRules(rules, &msg, path, [](const std::string&) { return 256; }));
  EXPECT_NE(msg.find("exited with code 1;"), std::string::npos) << msg;
  EXPECT_EQ(msg.find("256"), std::string::npos) << msg;
  EXPECT_FALSE(InstallUdevRules(rules, &msg, path, [](const std::string&) { return 9; }));
  EXPECT_NE(msg.find("killed by signal 9"), std::string::npos) << msg;

  // An unwritable place fails before anything runs.
  ran.clear();
  EXPECT_FALSE(InstallUdevRules(rules, &msg, (dir_ / "missing" / "x.rules").string(), [&](const std::string& c) {
    ran.push_back(c);
    return 0;
  }));
  EXPECT_TRUE(ran.empty());
}

}  // namespace
}  // namespace tolvane::platform
