#include "program/app_core.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/event_sink.h"
#include "app/log.h"
#include "app/paths.h"
#include "config/catalogue.h"
#include "config/texts.h"
#include "support/temp_folder.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;

class AppCoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(root_ / "data");
    fs::create_directories(root_ / "run");
    SetDebugOutput([this](std::string_view t) { log_.emplace_back(t); });
  }
  void TearDown() override {
    SetDebugOutput({});
    LogLevel = 0;
    SetupLogger();
  }
  void WriteCfg(const std::string& body) {
    std::ofstream(root_ / "data" / "cfg.ini") << body;
  }
  StartupOptions Options(std::vector<std::string> args = {"tolvane"}) {
    StartupOptions o;
    o.dataDir = (root_ / "data").string();
    o.userDir = (root_ / "user").string();
    o.args = std::move(args);
    o.instanceDir = (root_ / "run").string();
    return o;
  }
  bool Logged(const std::string& text) const {
    for (const auto& l : log_)
      if (l.find(text) != std::string::npos) return true;
    return false;
  }

  test::TempFolder tmp_{"app"};
  fs::path root_{tmp_.Root()};
  std::vector<std::string> log_;
  RecordingNotifier notes_;
};

constexpr const char* kGoodCfg =
    "[OPT]\nDebug=1\nappdir=TolvaneTest\nTitle=Tolvane Test\nFontName=Sans\n"
    "[DEV_1]\nSensor=13168\nName=M1\nCID=1\nMID=2\n";

TEST_F(AppCoreTest, StartupSetsFoldersLogsLaunchAndCountsArguments) {
  WriteCfg(kGoodCfg);
  std::ofstream(root_ / "data" / "text.xml")
      << "<?xml version=\"1.0\"?><config><tc_exit>Quit</tc_exit></config>";
  AppCore app;
  ASSERT_EQ(app.Startup(Options({"tolvane", "-s"}), notes_), StartResult::Ok);
  EXPECT_EQ(ProgramDir, (root_ / "data").string() + "/");
  EXPECT_EQ(UserDataDir, (root_ / "user").string() + "/");
  EXPECT_TRUE(fs::is_directory(root_ / "user"));
  EXPECT_EQ(Tx("tc_exit"), "Quit");
  EXPECT_TRUE(app.startedWithArgs());
  EXPECT_TRUE(Logged("BY: --------------------------------------------------"));
  EXPECT_TRUE(Logged("AppTitle=Tolvane Test"));
  EXPECT_TRUE(Logged("BY: nArgs=2"));
  EXPECT_TRUE(Logged("Mk AppData=" + UserDataDir));
  // FontName is set but there is no appfont.ttf: no application font.
  EXPECT_TRUE(app.appFontPath().empty());
  EXPECT_TRUE(notes_.Entries().empty());
  app.Shutdown();
  EXPECT_TRUE(Logged("BY: Driver exit"));
}

TEST_F(AppCoreTest, OneArgumentIsNotStartedWithArgumentsAndFontIsFound) {
  WriteCfg(kGoodCfg);
  std::ofstream(root_ / "data" / "appfont.ttf") << "x";
  AppCore app;
  ASSERT_EQ(app.Startup(Options(), notes_), StartResult::Ok);
  EXPECT_FALSE(app.startedWithArgs());
  EXPECT_EQ(app.appFontPath(), (root_ / "data" / "appfont.ttf").string());
  app.SetDialogStarted();
  app.Shutdown();
  EXPECT_TRUE(app.fontUnregistered());
}

TEST_F(AppCoreTest, BrokenCatalogueFailsWithTheMessageAndStillLogsExit) {
  WriteCfg("[OPT]\nDebug=1\nappdir=X\n[DEV_1]\nSensor=13168\nMDNUM=4\n");
  AppCore app;
  EXPECT_EQ(app.Startup(Options(), notes_), StartResult::DataInitFailed);
  ASSERT_FALSE(notes_.Entries().empty());
  EXPECT_EQ(notes_.Entries().back().caption, Caption::Error);
  EXPECT_EQ(notes_.Entries().back().text, "     Data Init failed.     ");
  app.Shutdown();
  EXPECT_TRUE(Logged("BY: Driver exit"));
  EXPECT_FALSE(app.fontUnregistered());
}

TEST_F(AppCoreTest, SecondCopyAsksTheFirstToShowItself) {
  WriteCfg(kGoodCfg);
  std::vector<platform::InstanceMessage> got;
  std::mutex m;
  AppCore first;
  ASSERT_EQ(first.Startup(Options(), notes_,
                          [&](const platform::InstanceMessage& msg) {
                            std::lock_guard<std::mutex> lock(m);
                            got.push_back(msg);
                          }),
            StartResult::Ok);
  AppCore second;
  EXPECT_EQ(second.Startup(Options(), notes_), StartResult::AlreadyRunning);
  EXPECT_TRUE(Logged("BY: ALREADY_EXISTS, hWnd=1"));
  for (int i = 0; i < 100; ++i) {
    {
      std::lock_guard<std::mutex> lock(m);
      if (!got.empty()) break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::lock_guard<std::mutex> lock(m);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].msg, WM_TRAY_NOTIFY);
  EXPECT_EQ(got[0].wParam, 0u);
  EXPECT_EQ(got[0].lParam, 514);
}

TEST_F(AppCoreTest, MissingCatalogueLoadsDefaultsAndReportsEmptyAppdir) {
  AppCore app;
  StartupOptions o = Options();
  o.userDir.clear();
  o.singleInstance = false;
  // With no cfg.ini there is no appdir: the user folder is the XDG data home.
  std::string home = (root_ / "xdg").string();
  fs::create_directories(home);
  setenv("XDG_DATA_HOME", home.c_str(), 1);
  EXPECT_EQ(app.Startup(o, notes_), StartResult::Ok);
  unsetenv("XDG_DATA_HOME");
  EXPECT_TRUE(notes_.Has("APPDATA=NULL"));
  EXPECT_EQ(UserDataDir, home + "/");
}

// A fresh account has no data home yet: the user folder is made with its parents.
TEST_F(AppCoreTest, UserFolderIsMadeWhenTheDataHomeIsMissing) {
  const fs::path home = root_ / "fresh" / ".local" / "share";
  setenv("XDG_DATA_HOME", home.c_str(), 1);
  UsePlatformFolders();
  BuildUserDataDir("Tolvane", "");
  unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(UserDataDir, (home / "Tolvane").string() + "/");
  EXPECT_TRUE(fs::is_directory(home / "Tolvane"));
  EXPECT_EQ(fs::status(home).permissions() & fs::perms::all, fs::perms::owner_all);
}

TEST(OsVersionTest, IsAnythingElse) { EXPECT_EQ(GetOsVersionCode(), 0); }

}  // namespace
}  // namespace tolvane
