// tolvanectl show and set on virtual mice whose EEPROM image persists between
// runs of the built program.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::string out, err;
};

class ProfileCli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tolvane-cli-profile-" + std::to_string(::getpid()) + "-" +
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
  Outcome Exec(const std::string& args) {
    const fs::path out = dir_ / "out", err = dir_ / "err";
    std::string cmd = std::string(TOLVANE_BINARY_DIR) + "bin/tolvanectl --data-dir '" +
                      TOLVANE_SOURCE_DATA_DIR + "' --user-dir '" + (dir_ / "user").string() +
                      "' " + args + " >'" + out.string() + "' 2>'" + err.string() + "'";
    Outcome r;
    int raw = std::system(cmd.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = Slurp(out);
    r.err = Slurp(err);
    return r;
  }
  std::string Sim(const std::string& family) {
    return "--simulate " + family + ":eeprom=" + (dir_ / (family + ".bin")).string() + " ";
  }

  // Each setting through `set --json` (whose output is a fresh read of the
  // device), then all of them again from a separate `show --json`.
  void RoundTrip(const std::string& family,
                 const std::vector<std::pair<std::string, std::vector<std::string>>>& steps) {
    const std::string sim = Sim(family);
    for (const auto& [args, expect] : steps) {
      Outcome r = Exec(sim + "set " + args + " --json");
      ASSERT_EQ(r.status, 0) << args << ": " << r.err;
      for (const std::string& e : expect) EXPECT_NE(r.out.find(e), std::string::npos) << args << ": " << e << "\n" << r.out;
    }
    Outcome show = Exec(sim + "show --json");
    ASSERT_EQ(show.status, 0) << show.err;
    for (const auto& [args, expect] : steps)
      for (const std::string& e : expect)
        EXPECT_NE(show.out.find(e), std::string::npos) << args << ": " << e << "\n" << show.out;
  }

  fs::path dir_;
};

TEST_F(ProfileCli, EverySettingRoundTripsOnPro) {
  RoundTrip("pro",
            {
                {"rate 250", {"\"pollingRateHz\":250"}},
                {"dpi 3 26000,1800", {"{\"x\":26000,\"y\":1800,\"color\":"}},
                {"dpi-color 2 '#12a0fe'", {"\"color\":\"#12a0fe\""}},
                {"dpi-count 4", {"\"dpiLevels\":4", "\"color\":\"#12a0fe\",\"absent\":false"}},
                {"dpi-level 3", {"\"currentDpiLevel\":3"}},
                {"lod 2", {"\"lod\":2"}},
                {"ripple on", {"\"ripple\":true"}},
                {"angle-snapping on", {"\"angleSnapping\":true"}},
                {"debounce 12", {"\"debounce\":12"}},
                {"sleep 120", {"\"sleepTime\":120"}},
                {"light-off-on-move on", {"\"lightOffOnMove\":true"}},
                {"sensor-sleep 9", {"\"sensorSleep\":9"}},
                {"light main 2 --color '#102030' --speed 4 --brightness 7",
                 {"\"mainLight\":{\"mode\":2,\"speed\":4,\"brightness\":7,\"color\":\"#102030\"}"}},
                {"light logo 3 --color '#a0b0c0' --speed 5 --brightness 2",
                 {"\"logoLight\":{\"mode\":3,\"speed\":5,\"brightness\":2,\"color\":\"#a0b0c0\"}"}},
                {"light dpi 1 --speed 3 --brightness 8",
                 {"\"dpiLight\":{\"mode\":1,\"speed\":3,\"brightness\":8}"}},
                {"button 2 volume-up", {"{\"index\":2,\"matrix\":2,\"funId\":\"0x04000026\""}},
                {"button 3 keys:Ctrl+Shift+A", {"{\"index\":3,\"matrix\":3,\"funId\":\"0x02"}},
                {"button 4 fire:3,20", {"{\"index\":4,\"matrix\":4,\"funId\":\"0x080000a4\""}},
            });
}

TEST_F(ProfileCli, PlusRatesLightsAndSensorSleepRoundTrip) {
  RoundTrip("pro+",
            {
                {"rate 4000", {"\"pollingRateHz\":4000"}},
                {"sensor-sleep 7", {"\"sensorSleep\":7"}},
                {"dpi 2 1000", {"{\"x\":1000,\"y\":1000,"}},
                {"light main 4 --color '#ff0001' --speed 2 --brightness 9",
                 {"\"mainLight\":{\"mode\":4,\"speed\":2,\"brightness\":9,\"color\":\"#ff0001\"}"}},
                {"light dpi 2 --speed 1 --brightness 4",
                 {"\"dpiLight\":{\"mode\":2,\"speed\":1,\"brightness\":4}"}},
                {"light logo 1 --color '#00ff00' --speed 1 --brightness 3",
                 {"\"logoLight\":{\"mode\":1,\"speed\":1,\"brightness\":3,\"color\":\"#00ff00\"}"}},
                {"button 6 dpi-cycle", {"{\"index\":6,\"matrix\":6,\"funId\":\"0x080000aa\""}},
            });
  // Off keeps the logo light as it was.
  Outcome r = Exec(Sim("pro+") + "set light main 0 --json");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\"mainLight\":{\"mode\":0,"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"logoLight\":{\"mode\":1,\"speed\":1,\"brightness\":3,"), std::string::npos)
      << r.out;
}

TEST_F(ProfileCli, SnapReportLeftClickRuleAndRefusals) {
  const std::string sim = Sim("pro");
  // Kestrel's sensor steps by 50 up to its wide range: 1234 is not an entry.
  Outcome r = Exec(sim + "set dpi 1 1234 --json");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("dpi 1234 is not in the sensor's table; snapped to 1250"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\"dpi\":[{\"x\":1250,\"y\":1250,"), std::string::npos) << r.out;

  // Button 1 is the only left click: taking it away is refused and nothing
  // is written; after another button becomes a left click it is allowed.
  r = Exec(sim + "set button 1 disable");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("tolvanectl: "), std::string::npos);
  EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
  r = Exec(sim + "show --json");
  EXPECT_NE(r.out.find("{\"index\":1,\"matrix\":1,\"funId\":\"0x01000011\""), std::string::npos)
      << r.out;
  ASSERT_EQ(Exec(sim + "set button 5 left").status, 0);
  r = Exec(sim + "set button 1 disable --json");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("{\"index\":1,\"matrix\":1,\"funId\":\"0x080000a2\""), std::string::npos)
      << r.out;

  // Malformed settings are usage errors; values the device cannot hold fail.
  EXPECT_EQ(Exec(sim + "set dpi 0 800").status, 2);
  EXPECT_EQ(Exec(sim + "set dpi-color 1 '#12345'").status, 2);
  EXPECT_EQ(Exec(sim + "set ripple maybe").status, 2);
  EXPECT_EQ(Exec(sim + "set sleep 125").status, 2);
  EXPECT_EQ(Exec(sim + "set button 2 warp-drive").status, 2);
  EXPECT_EQ(Exec(sim + "set button 2 macro:nothing-here").status, 1);
  EXPECT_EQ(Exec(sim + "set rate 4000").status, 1);  // a PRO device has no 4000 Hz
  EXPECT_EQ(Exec(sim + "set dpi 7 800").status, 1);  // the model has 6 levels
  EXPECT_EQ(Exec(sim + "set button 13 left").status, 1);

  r = Exec(sim + "profile set 2");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "profile 2\n");
  r = Exec("--simulate pro:power=57,charging battery");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "battery 57% charging\n");
  // A quiet device: watch ends when its time is up.
  r = Exec(sim + "watch --seconds 0.2");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
}

}  // namespace
