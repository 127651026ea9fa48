#include "app/paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/log.h"
#include "support/log_capture.h"
#include "support/temp_folder.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;

class SessionFolderTest : public ::testing::Test {
 protected:
  void TearDown() override {
    SetSessionFolderSource({});
    SetLogDirectory("");
    LogLevel = 0;
    SetupLogger();
    UserDataDir.clear();
  }
  TempFolder tmp{"paths"};
};

TEST_F(SessionFolderTest, TheSourceIsAskedEachTime) {
  int asked = 0;
  std::string home = tmp.Path("one");
  SetSessionFolderSource([&] {
    ++asked;
    SessionFolders f;
    f.dataHome = home;
    return f;
  });
  BuildUserDataDir("Tolvane", "");
  EXPECT_EQ(UserDataDir, home + "/Tolvane/");
  home = tmp.Path("two");
  BuildUserDataDir("Tolvane", "");
  EXPECT_EQ(UserDataDir, home + "/Tolvane/");
  EXPECT_TRUE(fs::is_directory(tmp.Path("two/Tolvane")));
  EXPECT_EQ(asked, 2);
}

// Without a source the folders are unknown: nothing is made at the root of
// the file system and the log has no file.
TEST_F(SessionFolderTest, WithoutASourceNothingLandsAtTheRoot) {
  test::LogCapture log;
  SetSessionFolderSource({});
  UserDataDir = "stale/";
  BuildUserDataDir("TolvaneNoSuchFolder", "");
  EXPECT_EQ(UserDataDir, "");
  EXPECT_FALSE(fs::exists("/TolvaneNoSuchFolder"));
  EXPECT_TRUE(log.Has("BuildUserDataDir: no data home"));

  LogLevel = 2;
  SetLogDirectory("");
  SetupLogger();
  EXPECT_EQ(LogFilePath(), "");
  LogPrint("still to the debugger output");
  EXPECT_TRUE(log.Has("still to the debugger output"));
}

TEST_F(SessionFolderTest, AnInstalledDataFolderBesideTheProgramIsFound) {
  tmp.Write("share/tolvane/cfg.ini", "[OPT]\n");
  fs::create_directories(tmp.Path("bin"));
  SetSessionFolderSource([&] {
    SessionFolders f;
    f.executableDir = tmp.Path("bin");
    return f;
  });
  if (getenv("TOLVANE_DATA_DIR")) GTEST_SKIP() << "TOLVANE_DATA_DIR chooses the folder";
  ResolveProgramDir("");
  EXPECT_EQ(ProgramDir, tmp.Path("bin") + "/../share/tolvane/");

  // A folder without cfg.ini is no installation.
  fs::remove(tmp.Path("share/tolvane/cfg.ini"));
  ResolveProgramDir("");
  EXPECT_NE(ProgramDir, tmp.Path("bin") + "/../share/tolvane/");
}

}  // namespace
}  // namespace tolvane
