// tolvanectl show and set on virtual mice whose EEPROM image persists between
// runs of the built program.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "macro/hd_macro.h"
#include "macro/macro_file.h"
#include "macro/macro_library.h"
#include "profile/profile_file.h"
#include "cli/ctl_fixture.h"

namespace {

namespace fs = std::filesystem;

using Outcome = tolvane::test::CtlOutcome;

using Bytes = std::vector<uint8_t>;

// The device's guarded forms: {v, 0x55 - v} and {b0, b1, b2, 0x55 - b0 - b1 - b2}.
Bytes Pair(uint8_t v) { return {v, uint8_t(0x55 - v)}; }
Bytes Quad(uint8_t a, uint8_t b, uint8_t c) { return {a, b, c, uint8_t(0x55 - a - b - c)}; }
// A record followed by the check byte that makes it sum to 0x55.
Bytes Checked(Bytes b) {
  uint8_t sum = 0;
  for (uint8_t x : b) sum = uint8_t(sum + x);
  b.push_back(uint8_t(0x55 - sum));
  return b;
}
Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// One `set`: its arguments, what its JSON shows, and the EEPROM bytes it
// leaves at their addresses.
struct Step {
  std::string args;
  std::vector<std::string> json;
  std::vector<std::pair<size_t, Bytes>> eeprom;
};

class ProfileCli : public tolvane::test::CtlFixture {
 protected:
  std::string Sim(const std::string& family) {
    return "--simulate " + family + ":eeprom=" + (dir_ / (family + ".bin")).string() + " ";
  }

  // The image a virtual mouse keeps of its EEPROM (rewritten after every change).
  std::vector<uint8_t> Image(const std::string& family) {
    const std::string b = Slurp(dir_ / (family + ".bin"));
    return std::vector<uint8_t>(b.begin(), b.end());
  }

  // Each setting through `set --json` (whose output is a fresh read of the
  // device), then all of them again from a separate `show --json`. After each
  // `set` the EEPROM holds the expected bytes at their addresses, and nothing
  // outside them changed.
  void RoundTrip(const std::string& family, const std::vector<Step>& steps) {
    const std::string sim = Sim(family);
    ASSERT_EQ(Exec(sim + "show").status, 0);  // creates the image
    for (const Step& st : steps) {
      const std::vector<uint8_t> before = Image(family);
      Outcome r = Exec(sim + "set " + st.args + " --json");
      ASSERT_EQ(r.status, 0) << st.args << ": " << r.err;
      for (const std::string& e : st.json)
        EXPECT_NE(r.out.find(e), std::string::npos) << st.args << ": " << e << "\n" << r.out;
      const std::vector<uint8_t> after = Image(family);
      ASSERT_EQ(after.size(), 6912u);
      ASSERT_EQ(before.size(), 6912u);
      for (const auto& [addr, bytes] : st.eeprom)
        EXPECT_EQ(std::vector<uint8_t>(after.begin() + addr, after.begin() + addr + long(bytes.size())),
                  bytes)
            << st.args << " at 0x" << std::hex << addr;
      for (size_t a = 0; a < after.size(); ++a) {
        if (after[a] == before[a]) continue;
        bool expected = false;
        for (const auto& [addr, bytes] : st.eeprom) expected |= a >= addr && a < addr + bytes.size();
        EXPECT_TRUE(expected) << st.args << " changed 0x" << std::hex << a;
      }
    }
    Outcome show = Exec(sim + "show --json");
    ASSERT_EQ(show.status, 0) << show.err;
    for (const Step& st : steps)
      for (const std::string& e : st.json)
        EXPECT_NE(show.out.find(e), std::string::npos) << st.args << ": " << e << "\n" << show.out;
  }
};

TEST_F(ProfileCli, EverySettingRoundTripsOnPro) {
  // Kestrel, sensor 0x3395: X and Y codes of 26000 and 1800 are 0x207 and
  // 0x23 in mode 0, so the multiplier byte carries X code bit 9 (2 << 2).
  RoundTrip("pro",
            {
                {"rate 250", {"\"pollingRateHz\":250"}, {{0x00, Pair(4)}}},
                {"dpi 3 26000,1800", {"{\"x\":26000,\"y\":1800,\"color\":"}, {{0x14, Quad(0x07, 0x23, 0x08)}}},
                {"dpi-color 2 '#12a0fe'", {"\"color\":\"#12a0fe\""}, {{0x30, Quad(0x12, 0xa0, 0xfe)}}},
                {"dpi-count 4", {"\"dpiLevels\":4", "\"color\":\"#12a0fe\",\"absent\":false"}, {{0x02, Pair(4)}}},
                {"dpi-level 3", {"\"currentDpiLevel\":3"}, {{0x04, Pair(2)}}},
                {"lod 2", {"\"lod\":2"}, {{0x0A, Pair(2)}}},
                {"ripple on", {"\"ripple\":true"}, {{0xB1, Pair(1)}}},
                {"angle-snapping on", {"\"angleSnapping\":true"}, {{0xAF, Pair(1)}}},
                {"debounce 12", {"\"debounce\":12"}, {{0xA9, Pair(12)}}},
                {"sleep 120", {"\"sleepTime\":120"}, {{0xAD, Pair(12)}}},
                {"light-off-on-move on", {"\"lightOffOnMove\":true"}, {{0xB3, Pair(1)}}},
                {"sensor-sleep 9", {"\"sensorSleep\":9"}, {{0xB5, Pair(9)}}},
                // Mode 2 is hardware mode 1; speed 4 and brightness 7 are
                // 190 and 175 of the second speed and brightness tables.
                {"light main 2 --color '#102030' --speed 4 --brightness 7",
                 {"\"mainLight\":{\"mode\":2,\"speed\":4,\"brightness\":7,\"color\":\"#102030\"}"},
                 {{0xA0, Checked({1, 0x10, 0x20, 0x30, 190, 175})}}},
                {"light logo 3 --color '#a0b0c0' --speed 5 --brightness 2",
                 {"\"logoLight\":{\"mode\":3,\"speed\":5,\"brightness\":2,\"color\":\"#a0b0c0\"}"},
                 {{0x54, Join({Quad(0xa0, 0xb0, 0xc0), Pair(3), Pair(50), Pair(5)})}}},
                {"light dpi 1 --speed 3 --brightness 8",
                 {"\"dpiLight\":{\"mode\":1,\"speed\":3,\"brightness\":8}"},
                 {{0x4C, Join({Pair(1), Pair(230), Pair(4)})}}},
                // Keyboard and media functions: type 5 in the matrix, the
                // keys in the button's combination record.
                {"button 2 volume-up", {"{\"index\":2,\"matrix\":2,\"funId\":\"0x04000026\""},
                 {{0x64, Quad(5, 0, 0)}, {0x120, Checked({2, 0x82, 0xE9, 0x00, 0x42, 0xE9, 0x00})}}},
                {"button 3 keys:Ctrl+Shift+A", {"{\"index\":3,\"matrix\":3,\"funId\":\"0x02"},
                 {{0x68, Quad(5, 0, 0)},
                  {0x140, Checked({6, 0x80, 0x01, 0, 0x80, 0x02, 0, 0x81, 0x04, 0, 0x40, 0x01, 0,
                                   0x40, 0x02, 0, 0x41, 0x04, 0})}}},
                {"button 4 fire:3,20", {"{\"index\":4,\"matrix\":4,\"funId\":\"0x080000a4\""},
                 {{0x6C, Quad(4, 20, 3)}}},
            });
}

TEST_F(ProfileCli, PlusRatesLightsAndSensorSleepRoundTrip) {
  // Heron, sensor 0x3370: 1000 is code 0x13 in mode 0.
  RoundTrip("pro+",
            {
                {"rate 4000", {"\"pollingRateHz\":4000"}, {{0x00, Pair(32)}}},
                {"sensor-sleep 7", {"\"sensorSleep\":7"}, {{0xB7, Pair(7)}}},
                {"dpi 2 1000", {"{\"x\":1000,\"y\":1000,"}, {{0x10, Quad(0x13, 0x13, 0)}}},
                // Mode 4 is hardware mode 4; speed and brightness are stored
                // 0-based; the on/off pair follows at 0xA7.
                {"light main 4 --color '#ff0001' --speed 2 --brightness 9",
                 {"\"mainLight\":{\"mode\":4,\"speed\":2,\"brightness\":9,\"color\":\"#ff0001\"}"},
                 {{0xA0, Join({Checked({4, 0xff, 0x00, 0x01, 1, 8}), Pair(1)})}}},
                {"light dpi 2 --speed 1 --brightness 4",
                 {"\"dpiLight\":{\"mode\":2,\"speed\":1,\"brightness\":4}"},
                 {{0x4C, Join({Pair(2), Pair(128), Pair(2)})}, {0x52, Pair(1)}}},
                {"light logo 1 --color '#00ff00' --speed 1 --brightness 3",
                 {"\"logoLight\":{\"mode\":1,\"speed\":1,\"brightness\":3,\"color\":\"#00ff00\"}"},
                 {{0x54, Join({Quad(0x00, 0xff, 0x00), Pair(1), Pair(75), Pair(1)})}}},
                {"button 6 dpi-cycle", {"{\"index\":6,\"matrix\":6,\"funId\":\"0x080000aa\""},
                 {{0x74, Quad(2, 1, 0)}}},
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

TEST_F(ProfileCli, LibraryMacroOnAButton) {
  const std::string sim = Sim("pro");
  ASSERT_EQ(Exec("macro new burst").status, 0);
  Outcome r = Exec("macro add burst down:a delay:30 up:a delay:10 down:0xF0 delay:5 up:0xF0");
  ASSERT_EQ(r.status, 0) << r.err;
  {
    // Played while the button is held (loop mode 2), as the editor sets it.
    tolvane::MacroLibrary lib((dir_ / "user").string() + "/", true);
    ASSERT_TRUE(lib.Load());
    const auto m = lib.FindByName("burst");
    ASSERT_TRUE(m);
    ASSERT_TRUE(lib.Update(m->dwID, [](tolvane::StMacro& s) {
      s.nLoopMode = 2;
      s.dwDirty |= 0x40000000;
    }));
    lib.FlushAll();
  }
  ASSERT_EQ(Exec(sim + "show").status, 0);  // creates the image
  const std::vector<uint8_t> before = Image("pro");
  r = Exec(sim + "set button 4 macro:burst --json");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string onButton = "{\"index\":4,\"matrix\":4,\"funId\":\"0x05000000\",\"label\":";
  const size_t at = r.out.find(onButton);
  ASSERT_NE(at, std::string::npos) << r.out;
  EXPECT_NE(r.out.find("burst\"}", at), std::string::npos) << r.out;
  Outcome show = Exec(sim + "show --json");
  ASSERT_EQ(show.status, 0) << show.err;
  EXPECT_EQ(show.out.substr(show.out.find(onButton), 80), r.out.substr(at, 80));

  // Matrix position 4 (slot 3): type 6, the slot, the play byte 0xFE.
  r = Exec(sim + "eeprom read 6c 4");
  ASSERT_EQ(r.status, 0) << r.err;
  const Bytes entry = Quad(6, 3, 0xFE);
  char text[16];
  std::snprintf(text, sizeof text, "%02x %02x %02x %02x\n", entry[0], entry[1], entry[2], entry[3]);
  EXPECT_EQ(r.out, text);

  // The record at 0x300 + 3 * 0x180: name length and UTF-16 name, event
  // count, five bytes per event (flag, code, 0, delay high, delay low; the
  // last event's delay is not kept), the check byte over count and events,
  // three zero bytes.
  const std::vector<uint8_t> img = Image("pro");
  ASSERT_EQ(img.size(), 6912u);
  const size_t rec = 0x300 + 3 * 0x180;
  Bytes name = {10, 'b', 0, 'u', 0, 'r', 0, 's', 0, 't', 0};
  name.resize(31, 0);
  EXPECT_EQ(Bytes(img.begin() + rec, img.begin() + rec + 31), name);
  const Bytes events = Join({Checked({4, 0x81, 0x04, 0, 0, 30, 0x41, 0x04, 0, 0, 10, 0x84, 0x01, 0, 0, 5,
                                      0x44, 0x01, 0, 0, 0}),
                             Bytes{0, 0, 0}});
  EXPECT_EQ(Bytes(img.begin() + rec + 31, img.begin() + rec + 31 + long(events.size())), events);
  // Nothing but the matrix entry and the slot changed.
  ASSERT_EQ(before.size(), img.size());
  for (size_t a = 0; a < img.size(); ++a) {
    if (img[a] == before[a]) continue;
    EXPECT_TRUE((a >= 0x6C && a < 0x70) || (a >= rec && a < rec + 0x180)) << std::hex << a;
  }
}

// A macro file that breaks the mouse's rules stays in the library (so that
// it can be fixed) but goes to no button: refused in one line, exit 1, the
// EEPROM and the model's store untouched.
TEST_F(ProfileCli, DamagedLibraryMacroIsRefusedForAButton) {
  const std::string sim = Sim("pro");
  tolvane::StMacro m{};
  m.dwMagicNumber = tolvane::kMacroMagic;
  m.dwID = 0x2468AC;
  m.bAutoDelay = 1;
  m.wRepeat = 1;
  tolvane::SetMacroName(m, "broken");
  m.stEvents[0] = {0x41, 1, 2729445774u};
  m.stEvents[1] = {0x41, 0, 0};
  fs::create_directories(dir_ / "user" / "Mac");
  ASSERT_EQ(tolvane::WriteMacroFile((dir_ / "user" / "Mac" / "broken.qxm").string(), m), 0);
  ASSERT_EQ(Exec(sim + "show").status, 0);  // creates the image and the store
  const std::string image = Slurp(dir_ / "pro.bin");
  const std::string store = Slurp(dir_ / "user" / "PRO_1001.dct");
  Outcome r = Exec(sim + "set button 4 macro:broken");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "tolvanectl: the macro \"broken\" is damaged (it breaks the mouse's rules); fix "
                   "it or delete it first\n");
  EXPECT_EQ(Slurp(dir_ / "pro.bin"), image);
  EXPECT_EQ(Slurp(dir_ / "user" / "PRO_1001.dct"), store);
  EXPECT_NE(Exec("macro list").out.find("broken"), std::string::npos);  // still listed
}

}  // namespace

namespace {

// After a `set`, the model's local store holds what the device holds: the
// record at the device's profile position is the profile the set read back,
// so a later read of the device (`show`) finds nothing to change in it.
TEST_F(ProfileCli, SetLeavesTheStoreEqualToTheProfileReadBack) {
  const std::string sim = Sim("pro");
  ASSERT_EQ(Exec(sim + "show").status, 0);
  const fs::path store = dir_ / "user" / "PRO_1001.dct";
  const std::string before = Slurp(store);
  ASSERT_EQ(before.size(), 8484u);
  Outcome r = Exec(sim + "set dpi 2 1250 --json");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string afterSet = Slurp(store);
  ASSERT_EQ(afterSet.size(), 8484u);
  EXPECT_NE(afterSet, before);  // the new value reached the store
  // Profile 0 is current; its level 2 X value sits at Dpi[1].
  tolvane::ProfileFile p;
  std::memcpy(&p, afterSet.data() + 4, sizeof p);
  EXPECT_EQ(p.Dpi[1].dwDpiX, 1250u);
  EXPECT_EQ(p.Dpi[1].dwDpiY, 1250u);
  ASSERT_EQ(Exec(sim + "show").status, 0);
  EXPECT_EQ(Slurp(store), afterSet);
}

}  // namespace
