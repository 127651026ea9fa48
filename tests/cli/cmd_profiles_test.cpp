// tolvanectl profiles, export, import and restore, run as the built program
// on a virtual mouse whose EEPROM lives in an image file.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "profile/profile_file.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::string out, err;
};

class ProfilesCli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tolvane-cli-profiles-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "user");
  }
  void TearDown() override { fs::remove_all(dir_); }

  static std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  Outcome Exec(const std::string& args, const std::string& input = "") {
    const fs::path out = dir_ / "out", err = dir_ / "err";
    std::string cmd = (input.empty() ? "" : "echo '" + input + "' | ") +
                      std::string(TOLVANE_BINARY_DIR) + "bin/tolvanectl --data-dir '" +
                      TOLVANE_SOURCE_DATA_DIR + "' --user-dir '" + (dir_ / "user").string() +
                      "' " + args + " >'" + out.string() + "' 2>'" + err.string() + "'" +
                      (input.empty() ? " </dev/null" : "");
    Outcome r;
    int raw = std::system(cmd.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = Slurp(out);
    r.err = Slurp(err);
    return r;
  }
  std::string Mouse() { return "--simulate pro:cid=10,mid=01,eeprom=" + (dir_ / "m.bin").string() + " "; }
  fs::path dir_;
};

TEST_F(ProfilesCli, OfflineListAndExport) {
  Outcome r = Exec("--offline profiles --json");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("{\"model\":\"Tolvane Kestrel\",\"cid\":\"10\",\"mid\":\"01\",\"profiles\":[", 0),
            0u)
      << r.out;
  size_t current = 0, entries = 0;
  for (size_t at = 0; (at = r.out.find("\"position\":", at)) != std::string::npos; ++at) ++entries;
  for (size_t at = 0; (at = r.out.find("\"current\":true", at)) != std::string::npos; ++at) ++current;
  EXPECT_EQ(entries, 4u);
  EXPECT_EQ(current, 1u);
  EXPECT_EQ(fs::file_size(dir_ / "user" / "PRO_1001.dct"), 8484u);

  r = Exec("--offline export '" + (dir_ / "p").string() + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(fs::file_size(dir_ / "p.qxa"), 10460u);
  r = Exec("--offline import '" + (dir_ / "missing.qxa").string() + "'");
  EXPECT_EQ(r.status, 1);
  r = Exec("--offline --device 99 profiles");
  EXPECT_EQ(r.status, 1);
}

TEST_F(ProfilesCli, ImportWritesTheDeviceAndRestoreBringsBackItsDefaults) {
  Outcome r = Exec(Mouse() + "profiles");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string factory = Slurp(dir_ / "m.bin");
  ASSERT_FALSE(factory.empty());

  const std::string qxa = (dir_ / "p.qxa").string();
  r = Exec(Mouse() + "export '" + qxa + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  std::string image = Slurp(qxa);
  ASSERT_EQ(image.size(), 10460u);
  tolvane::ProfileFile p;
  std::memcpy(static_cast<void*>(&p), image.data(), sizeof(p));
  ASSERT_NE(p.Dpi[1].dwDpiX, p.Dpi[2].dwDpiX);
  std::swap(p.Dpi[1], p.Dpi[2]);
  std::memcpy(image.data(), &p, sizeof(p));
  std::ofstream(qxa, std::ios::binary | std::ios::trunc).write(image.data(), std::streamsize(image.size()));

  r = Exec(Mouse() + "import '" + qxa + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("written to the device"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find('%'), std::string::npos) << "no progress bar off a terminal";
  const std::string written = Slurp(dir_ / "m.bin");
  ASSERT_EQ(written.size(), factory.size());
  // DPI levels 1 and 2 (0x10, 0x14) changed places on the device.
  EXPECT_EQ(written.substr(0x10, 4), factory.substr(0x14, 4));
  EXPECT_EQ(written.substr(0x14, 4), factory.substr(0x10, 4));

  r = Exec(Mouse() + "restore", "n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Slurp(dir_ / "m.bin"), written);
  r = Exec(Mouse() + "restore --yes");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Slurp(dir_ / "m.bin"), factory);
  EXPECT_EQ(fs::file_size(dir_ / "user" / "PRO_1001.dct"), 8484u);
  EXPECT_EQ(fs::file_size(dir_ / "user" / "gSetting.dct"), 8u);
}

}  // namespace
