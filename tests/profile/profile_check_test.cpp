// The rules an imported profile must keep for the model it goes to. (The
// import's refusals with the mouse, the store and the library unchanged are
// tested end to end in tests/cli/cmd_profiles_test.cpp.)
#include <gtest/gtest.h>

#include <functional>

#include "config/sensor.h"
#include "profile/profile_check.h"
#include "store_rig.h"

namespace tolvane::test {
namespace {

class ProfileCheckTest : public ::testing::Test {
 protected:
  TempDir tmp;
  DevCfg model = TestModel();
  ProfileStore store{tmp.Dir(), TestTexts(), [] { return PointerReadings{}; }};
  ProfileFile Valid() {
    ProfileFile p = store.DefaultProfile(model, {});
    p.dwID = 0x4242;
    return p;
  }
};

TEST_F(ProfileCheckTest, DefaultProfilesPassAndEachBadFieldIsFatal) {
  EXPECT_TRUE(CheckProfileForModel(Valid(), model).findings.empty())
      << CheckProfileForModel(Valid(), model).FirstFatal();

  struct Case {
    const char* field;
    std::function<void(ProfileFile&)> spoil;
  };
  const Case cases[] = {
      {"Dpi[0].dwDpiX", [](ProfileFile& p) { p.Dpi[0].dwDpiX = 123457; }},
      {"Dpi[5].dwDpiY", [](ProfileFile& p) { p.Dpi[5].dwDpiY = 425; }},  // not a 50 step
      {"dwPollingRate", [](ProfileFile& p) { p.dwPollingRate = 0x4000; }},  // 4000 Hz on PRO
      {"nLOD", [](ProfileFile& p) { p.nLOD = 164; }},
      {"nDebounce", [](ProfileFile& p) { p.nDebounce = 80; }},
      {"nRipple", [](ProfileFile& p) { p.nRipple = 2; }},
      {"nSleepTime", [](ProfileFile& p) { p.nSleepTime = -10; }},
      {"nSensorSleep", [](ProfileFile& p) { p.nSensorSleep = 7; }},
      {"MainLight.nMode", [](ProfileFile& p) { p.MainLight.nMode = 9; }},
      {"LogoLight.nBright", [](ProfileFile& p) { p.LogoLight.nBright = 200; }},
      {"DpiLight.nSpeed", [](ProfileFile& p) { p.DpiLight.nSpeed = 5; }},
      {"SysMouse.nPointerSpeed", [](ProfileFile& p) { p.SysMouse.nPointerSpeed = 0; }},
      {"Key[2][4].dwFunID", [](ProfileFile& p) { p.Key[2][4].dwFunID = 0x0900FFFF; }},
      {"Key[0][0].dwFunID", [](ProfileFile& p) { p.Key[0][0].dwFunID = 0; }},
      {"Key[0][1].stCombo",
       [](ProfileFile& p) {
         p.Key[0][1].dwFunID = kFunComboKey;
         p.Key[0][1].stCombo.bKeys[0] = 0xFF;  // no key has it
       }},
      {"Key[0][2].dwParameter",
       [](ProfileFile& p) {
         p.Key[0][2].dwFunID = kFunRaw;
         p.Key[0][2].dwParameter = 0x77;  // no hardware function
       }},
  };
  for (const Case& c : cases) {
    ProfileFile p = Valid();
    c.spoil(p);
    ProfileCheck r = CheckProfileForModel(p, model);
    EXPECT_FALSE(r.Ok()) << c.field;
    EXPECT_EQ(r.FirstFatal().rfind(c.field, 0), 0u) << c.field << " / " << r.FirstFatal();
  }

  // A macro button whose macro the mouse cannot play.
  ProfileFile p = Valid();
  p.Key[0][3].dwFunID = kFunMacro;
  p.Key[0][3].dwMacroID = 0x31;
  StMacro bad = TestMacro("m", 0x31);
  bad.stEvents[0].dwDelay = 2729445774u;
  EXPECT_FALSE(CheckProfileForModel(p, model, [&](uint32_t id) {
                 return id == 0x31 ? &bad : nullptr;
               }).Ok());
  StMacro good = TestMacro("m", 0x31);
  EXPECT_TRUE(CheckProfileForModel(p, model, [&](uint32_t id) {
                return id == 0x31 ? &good : nullptr;
              }).Ok());
}

TEST_F(ProfileCheckTest, TablesDecideTheDpiAndMendsAreApplied) {
  SensorTables tables;
  tables.Build(false);
  ASSERT_NE(tables.Find(0x3395), nullptr);
  const int first = tables.IndexToDpi(0x3395, 0);
  EXPECT_TRUE(DpiInSensorRange(0x3395, uint32_t(first), &tables));
  EXPECT_FALSE(DpiInSensorRange(0x3395, uint32_t(first) + 1, &tables));
  EXPECT_FALSE(DpiInSensorRange(0x3395, 0xFFFFFFFFu, &tables));

  ProfileFile p = Valid();
  p.nDpiLevels = 8;      // more than the model's six
  p.nCurDpiLevel = 7;    // beyond the count
  p.dwSensor = 0x1234;   // another model's sensor
  p.nKeyTable = 9;
  p.Key[1][2].nMatrix = 1000;
  ProfileCheck r = CheckProfileForModel(p, model);
  EXPECT_TRUE(r.Ok()) << r.FirstFatal();
  EXPECT_TRUE(r.HasMends());
  EXPECT_TRUE(MendProfileForModel(p, model));
  EXPECT_EQ(p.nDpiLevels, 6);
  EXPECT_EQ(p.nCurDpiLevel, 0);
  EXPECT_EQ(p.dwSensor, model.nSensor);
  EXPECT_EQ(p.nKeyTable, 0);
  EXPECT_EQ(p.Key[1][2].nMatrix, 0u);
  EXPECT_TRUE(CheckProfileForModel(p, model).findings.empty());
  EXPECT_FALSE(MendProfileForModel(p, model));
}

}  // namespace
}  // namespace tolvane::test
