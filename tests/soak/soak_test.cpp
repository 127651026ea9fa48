// The soak's short run in the suite (TOLVANE_SOAK_RUNS runs, default 3) and
// the checks it relies on: each must catch the damage it is there for.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "macro/hd_macro.h"
#include "macro/macro_file.h"
#include "macro/macro_library.h"
#include "profile/key_codes.h"
#include "profile/profile_device.h"
#include "profile/profile_store.h"
#include "soak.h"
#include "soak_checks.h"
#include "soak_rig.h"

namespace tolvane::soak {
namespace {

// Sanitized builds run several times slower: fewer operations, longer bounds.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int kScale = 4, kRuns = 2, kOps = 8;
#else
constexpr int kScale = 1, kRuns = 3, kOps = 12;
#endif

int EnvInt(const char* name, int fallback) {
  const char* v = std::getenv(name);
  int n = v ? std::atoi(v) : 0;
  return n > 0 ? n : fallback;
}

bool Has(const std::vector<std::string>& v, const std::string& needle) {
  for (const auto& s : v)
    if (s.find(needle) != std::string::npos) return true;
  return false;
}

TEST(SoakTest, ShortRun) {
  SoakOptions o;
  o.runs = EnvInt("TOLVANE_SOAK_RUNS", kRuns);
  o.ops = EnvInt("TOLVANE_SOAK_OPS", kOps);
  o.seed = uint32_t(EnvInt("TOLVANE_SOAK_SEED", 7));
  o.boundScale = kScale;
  std::vector<std::string> lines;
  o.out = [&](const std::string& s) {
    lines.push_back(s);
    std::printf("%s\n", s.c_str());
  };
  SoakCounts c = RunSoak(o);
  EXPECT_EQ(c.runs, o.runs);
  EXPECT_GE(c.ops, o.runs * o.ops);  // some operations count twice (a switch reads)
  int faults = 0;
  for (const auto& [k, v] : c.faults) faults += v;
  EXPECT_GT(faults, 0);
  EXPECT_TRUE(c.violations.empty()) << c.violations.size() << " violations, first: "
                                    << (c.violations.empty() ? "" : c.violations[0]);
  RecordProperty("operations", c.ops);
  RecordProperty("faults", faults);
}

// ---- the EEPROM checks

class SoakApplyCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    model = SoakCatalogue().models[0];
    ZeroProfile(p);
    p.dwMagic = kProfileMagic;
    p.dwID = 1;
    p.nLOD = 2;
    p.Dpi[1].dwColor = 0x0030201;
    before.fill(0);
    for (const GuardedUnit& u : GuardedUnits(false)) before[u.addr + u.len - 1] = 0x55;
    before[0x0A] = 1;
    before[0x0B] = 0x54;
  }
  std::vector<std::string> Check(const Eeprom& after, const std::vector<SentWrite>& sent,
                                 uint32_t flag, uint32_t data, bool success) {
    std::vector<std::string> out;
    CheckApply(before, after, sent, ExpectedWrites(p, model, false, flag, data, 0, library), success,
               flag, false, out);
    return out;
  }
  DevCfg model;
  ProfileFile p;
  Eeprom before{};
  MacroLibrary library{"/nonexistent/", false};
};

TEST_F(SoakApplyCheck, GoodWritesPassAndHalfWrittenOrFalseSuccessIsCaught) {
  // The LOD pair written whole: fine as success and as failure.
  Eeprom after = before;
  after[0x0A] = 2;
  after[0x0B] = 0x53;
  std::vector<SentWrite> sent = {{0x0A, {2, 0x53}}};
  EXPECT_TRUE(Check(after, sent, kApplyLod, 0, true).empty());
  EXPECT_TRUE(Check(after, sent, kApplyLod, 0, false).empty());
  // Nothing written: fine as a failure, a lie as a success.
  EXPECT_TRUE(Check(before, {}, kApplyLod, 0, false).empty());
  EXPECT_TRUE(Has(Check(before, {}, kApplyLod, 0, true), "reported written"));
  // Value new, check byte old.
  Eeprom half = before;
  half[0x0A] = 2;
  auto bad = Check(half, {{0x0A, {2}}}, kApplyLod, 0, false);
  EXPECT_TRUE(Has(bad, "half written"));
  EXPECT_TRUE(Has(bad, "neither old nor new"));
  // A colour quad of a level, and a write the request did not ask for.
  Eeprom colour = before;
  const uint8_t q[4] = {0x01, 0x02, 0x03, 0x4F};
  std::memcpy(&colour[0x30], q, 4);
  EXPECT_TRUE(Check(colour, {{0x30, {1, 2, 3, 0x4F}}}, kApplyDpiColor, 1, true).empty());
  EXPECT_TRUE(Has(Check(colour, {{0x30, {1, 2, 3, 0x4F}}}, kApplyLod, 0, false), "outside the groups"));
}

TEST_F(SoakApplyCheck, WholeButtonMatrixExpectsUnusedEntriesCleared) {
  for (int b = 0; b < 6; ++b) p.Key[0][b] = model.keys[0][b];
  std::vector<Expected> e = ExpectedWrites(p, model, false, kApplyButtons, kAllItems, 0, library);
  ASSERT_EQ(e.size(), 16u);
  int cleared = 0;
  for (const Expected& x : e) {
    ASSERT_EQ(x.bytes.size(), 4u);
    EXPECT_EQ(uint8_t(x.bytes[0] + x.bytes[1] + x.bytes[2] + x.bytes[3]), 0x55);
    cleared += x.what == "unused matrix entry";
  }
  EXPECT_EQ(cleared, 10);  // matrix 4 and 8-16 have no button
}

TEST(SoakReadCheck, ReadProfileMustMatchTheEeprom) {
  const DevCfg model = SoakCatalogue().models[1];
  Eeprom e{};
  e[0x00] = 2;  // 500 Hz
  e[0x02] = 2;
  e[0x04] = 1;
  e[0x0A] = 3;
  e[0xAD] = 12;
  e[0xA9] = 8;
  e[0x2C] = 0x10, e[0x2D] = 0x20, e[0x2E] = 0x30;
  ProfileFile p;
  ZeroProfile(p);
  p.dwPollingRate = 0x500;
  p.nDpiLevels = 2;
  p.nLOD = 3;
  p.nSleepTime = 120;
  p.nDebounce = 8;
  p.Dpi[0].dwColor = 0x302010;
  std::vector<std::string> out;
  CheckReadMatches(p, e, model, true, 1, out);
  EXPECT_TRUE(out.empty()) << out[0];
  p.Dpi[0].dwColor = 0x302011;  // a piece read from the wrong address
  p.nLOD = 1;
  CheckReadMatches(p, e, model, true, 1, out);
  EXPECT_EQ(out.size(), 2u);
  EXPECT_TRUE(Has(out, "lift-off distance"));
  EXPECT_TRUE(Has(out, "colour of level 0"));
}

// ---- the file checks

TEST(SoakFileCheck, DamagedStoresExportsAndMacrosAreFound) {
  const std::string dir = ::testing::TempDir() + "soak-files-" + std::to_string(getpid()) + "/";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir + "Mac");
  const DevCfg model = SoakCatalogue().models[0];
  {
    ProfileStore store(dir, {}, [] { return PointerReadings{}; });
    store.LoadPro(model, {});
    ASSERT_EQ(store.SavePro(model), 1);
    ASSERT_EQ(SaveGlobalSettings(dir, {1, 0}), 1);
    MacroLibrary lib(dir, false);
    ASSERT_TRUE(lib.NewMacro("keep").ok);
    lib.FlushAll();
    ASSERT_EQ(lib.SaveSnapshot(), 1);
    std::vector<uint8_t> image = BuildExportImage(*store.Current(), lib);
    std::ofstream(dir + "good.qxa", std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
  }
  std::vector<std::string> out;
  CheckUserFiles(dir, out);
  EXPECT_TRUE(out.empty()) << out[0];

  std::filesystem::resize_file(dir + ProfileStoreName(model.nCid, model.nMid), 8000);
  std::ofstream(dir + "Mac/broken.qxm", std::ios::binary) << std::string(834, 'x');
  std::ofstream(dir + ".~4242.gSetting.dct") << "partial";
  std::filesystem::resize_file(dir + "good.qxa", 2120);
  CheckUserFiles(dir, out);
  EXPECT_EQ(out.size(), 4u);
  EXPECT_TRUE(Has(out, "profile store of 8000 bytes"));
  EXPECT_TRUE(Has(out, "broken.qxm: macro file does not load"));
  EXPECT_TRUE(Has(out, "temporary file"));
  EXPECT_TRUE(Has(out, "export of 2120 bytes"));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tolvane::soak
