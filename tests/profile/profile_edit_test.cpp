// The edit functions behind the pages and `tolvanectl set`, and the decoding
// of the mouse's own changes into the record.
#include "profile/profile_edit.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "config/catalogue.h"
#include "device/hid_dev.h"
#include "macro/macro_library.h"
#include "profile/device_behavior.h"
#include "profile/key_codes.h"
#include "profile/profile_device.h"
#include "profile_rig.h"
#include "store_rig.h"

namespace tolvane::test {
namespace {

class ProfileEditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = g_Catalogue();
    g_Catalogue().sensors.Build(false);
    model_ = ProfileModel(0);
    m_.model = &model_;
    f_.nDpiLevels = 4;
    for (int b = 0; b < 6; ++b) f_.Key[0][b] = model_.keys[0][b];
  }
  void TearDown() override { g_Catalogue() = saved_; }
  bool Unchanged(const ProfileFile& before) const {
    return std::memcmp(&before, &f_, sizeof f_) == 0;
  }
  // A macro library of the test's own holding one new macro; the edits use it.
  MacroResult NewLibraryMacro(const char* name) {
    dir_ = std::make_unique<TempDir>();
    library_ = std::make_unique<MacroLibrary>(dir_->Dir(), false);
    library_->Load();
    m_.library = library_.get();
    return library_->NewMacro(name);
  }

  Catalogue saved_;
  DevCfg model_;
  EditModel m_;
  ProfileFile f_;
  std::unique_ptr<TempDir> dir_;
  std::unique_ptr<MacroLibrary> library_;
};

TEST_F(ProfileEditTest, DpiKeepsWhatTheSensorRuleDefinesAndSnapsTheRest) {
  // 26100 is between the 0x3395 table entries, but its formula reaches it.
  EditResult r = EditDpi(f_, m_, 2, 26100, 3200);
  ASSERT_TRUE(r.ok) << r.text;
  EXPECT_EQ(r.flag, uint32_t(kApplyDpi));
  EXPECT_EQ(r.item, 2u);
  EXPECT_EQ(f_.Dpi[2].dwDpiX, 26100u);
  EXPECT_TRUE(r.note.empty()) << r.note;
  // 1234 is not reachable: it snaps to the nearest entry and says so once.
  r = EditDpi(f_, m_, 0, 1234, 1234);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(f_.Dpi[0].dwDpiX, 1250u);
  EXPECT_EQ(f_.Dpi[0].dwDpiY, 1250u);
  EXPECT_EQ(r.note, "dpi 1234 is not in the sensor's table; snapped to 1250");
  // Refusals leave the record alone.
  const ProfileFile before = f_;
  EXPECT_FALSE(EditDpi(f_, m_, 4, 800, 800).ok);  // the model has 4 levels
  EXPECT_FALSE(EditDpi(f_, m_, -1, 800, 800).ok);
  EXPECT_FALSE(EditDpiColor(f_, m_, 4, 0x123456).ok);
  EXPECT_FALSE(EditLevelCount(f_, m_, 5).ok);
  EXPECT_FALSE(EditLevelCount(f_, m_, 0).ok);
  EXPECT_TRUE(Unchanged(before));
  EditModel none;
  EXPECT_FALSE(EditRipple(f_, none, true).ok);
}

TEST_F(ProfileEditTest, CurrentLevelIsAmongTheLevelsInUseAndNamesItsOwner) {
  f_.nDpiLevels = 3;
  EXPECT_FALSE(EditCurrentLevel(f_, m_, 3).ok);
  const EditResult r = EditCurrentLevel(f_, m_, 2);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.flag, uint32_t(kApplyCurLevel));
  EXPECT_EQ(r.curDpiLevel, std::optional<int>(2));
}

TEST_F(ProfileEditTest, SeparationOffGivesEveryLevelItsXAndFewerLevelsMoveTheCurrentOne) {
  model_.bShowDpi = 1;
  model_.bShowXY = 1;
  for (int i = 0; i < model_.DpiLevels(); ++i) f_.Dpi[i] = {uint32_t(400 * (i + 1)), 50, 0, 0};
  EditResult r = EditDpiMode(f_, m_, true);
  ASSERT_TRUE(r.ok) << r.text;
  EXPECT_EQ(f_.nDpiMode, 1);
  EXPECT_EQ(f_.Dpi[1].dwDpiY, 50u);  // turning it on keeps the values
  r = EditDpiMode(f_, m_, false);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.flag, uint32_t(kApplyDpi));
  EXPECT_EQ(r.item, kAllItems);
  EXPECT_EQ(f_.nDpiMode, 0);
  for (int i = 0; i < model_.DpiLevels(); ++i) EXPECT_EQ(f_.Dpi[i].dwDpiY, f_.Dpi[i].dwDpiX) << i;
  model_.bShowXY = 0;
  EXPECT_FALSE(EditDpiMode(f_, m_, true).ok);
  EXPECT_EQ(f_.nDpiMode, 0);

  // Level 4 is current; two levels leave it outside: level 2 becomes current
  // and is written with the count. A current level inside changes nothing.
  r = EditLevelCount(f_, m_, 2, 3);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.flag, uint32_t(kApplyLevelCount | kApplyCurLevel));
  EXPECT_EQ(r.curDpiLevel, std::optional<int>(1));
  r = EditLevelCount(f_, m_, 3, 1);
  EXPECT_EQ(r.flag, uint32_t(kApplyLevelCount));
  EXPECT_FALSE(r.curDpiLevel);
}

TEST_F(ProfileEditTest, RatesOptionsAndLightsFollowTheModel) {
  EXPECT_FALSE(EditRate(f_, m_, 4000).ok);  // PRO has no 4000 Hz
  EXPECT_TRUE(EditRate(f_, m_, 500).ok);
  EXPECT_EQ(RateHz(f_.dwPollingRate), 500);
  EXPECT_FALSE(EditSleep(f_, m_, 125).ok);
  EXPECT_TRUE(EditSleep(f_, m_, 120).ok);
  EXPECT_FALSE(EditLiftOff(f_, m_, 3).ok);
  model_.bShowRipple = 0;
  EXPECT_FALSE(EditRipple(f_, m_, true).ok);
  LightEdit dpi;
  dpi.part = kLightDpi;
  dpi.color = 0xFF;
  EXPECT_FALSE(EditLight(f_, m_, dpi).ok);  // the DPI light has no colour
  LightEdit logo;
  logo.part = kLightLogo;
  logo.mode = 2;
  logo.speed = 6;  // the logo light has 5 speeds
  EXPECT_FALSE(EditLight(f_, m_, logo).ok);
  logo.speed = 5;
  f_.LogoLight.nBright = 0;  // read while off
  const EditResult r = EditLight(f_, m_, logo);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.item, uint32_t(kLightLogo));
  EXPECT_EQ(f_.LogoLight.nSpeed, 5);
  EXPECT_EQ(f_.LogoLight.nBright, 1);
  SysMouseSettings s;
  s.nPointerSpeed = 21;
  EXPECT_FALSE(EditPointer(f_, m_, s).ok);
  s.nPointerSpeed = 12;
  EXPECT_EQ(EditPointer(f_, m_, s).flag, uint32_t(kApplyPointer));
  EXPECT_EQ(f_.SysMouse.nPointerSpeed, 12);
  s.nScrollLines = -1;  // one page per notch
  EXPECT_TRUE(EditPointer(f_, m_, s).ok);
  EXPECT_EQ(f_.SysMouse.nScrollLines, -1);
  s.nScrollLines = -2;
  EXPECT_FALSE(EditPointer(f_, m_, s).ok);
  EXPECT_EQ(f_.SysMouse.nScrollLines, -1);
}

TEST_F(ProfileEditTest, ThePagesColourGoesToEveryLightTheModelHas) {
  model_.bShowMainEffect = 1;
  model_.bShowLogoEffect = 1;
  f_.MainLight.nMode = 1;
  f_.LogoLight.nMode = 2;
  f_.LogoLight.nSpeed = 0;  // read while off
  EditResult r = EditLightColor(f_, m_, 0xFF0000FF);
  ASSERT_TRUE(r.ok) << r.text;
  EXPECT_EQ(r.flag, uint32_t(kApplyLights));
  EXPECT_EQ(r.item, uint32_t(kLightMain | kLightLogo));
  EXPECT_EQ(f_.MainLight.dwColor, 0x0000FFu);
  EXPECT_EQ(f_.LogoLight.dwColor, 0x0000FFu);
  EXPECT_EQ(f_.MainLight.nMode, 1);
  EXPECT_EQ(f_.LogoLight.nMode, 2);
  EXPECT_EQ(f_.LogoLight.nSpeed, 1);
  // Only the lights the model has.
  model_.bShowLogoEffect = 0;
  r = EditLightColor(f_, m_, 0x00FF00);
  EXPECT_EQ(r.item, uint32_t(kLightMain));
  EXPECT_EQ(f_.LogoLight.dwColor, 0x0000FFu);
  // A light that refuses leaves both as they were.
  model_.bShowLogoEffect = 1;
  f_.LogoLight.nMode = 300;
  const ProfileFile before = f_;
  EXPECT_FALSE(EditLightColor(f_, m_, 0x123456).ok);
  EXPECT_TRUE(Unchanged(before));
  model_.bShowMainEffect = 0;
  model_.bShowLogoEffect = 0;
  EXPECT_FALSE(EditLightColor(f_, m_, 0x123456).ok);
}

TEST_F(ProfileEditTest, OneButtonStaysALeftClick) {
  KeyInfo off;
  off.dwFunID = kFunDisabled;
  const EditResult refused = EditButton(f_, m_, 0, off);
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.textId, "tc_msg1");
  KeyInfo left;
  left.dwFunID = kFunLeftClick;
  ASSERT_TRUE(EditButton(f_, m_, 4, left).ok);
  EXPECT_EQ(f_.Key[0][4].nMatrix, 6u);  // the model's matrix index
  const EditResult r = EditButton(f_, m_, 0, off);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.flag, uint32_t(kApplyButtons));
  EXPECT_EQ(r.item, 0u);
  EXPECT_FALSE(EditButton(f_, m_, 6, left).ok);  // no seventh button
}

TEST_F(ProfileEditTest, LeftClickBeyondTheModelsButtonsDoesNotCount) {
  // Button 1 is the only left click among the six; an entry past them (an
  // imported record) holds one too.
  f_.Key[0][4].dwFunID = kFunBack;
  f_.Key[0][9].dwFunID = kFunLeftClick;
  KeyInfo off;
  off.dwFunID = kFunDisabled;
  const ProfileFile before = f_;
  EXPECT_EQ(EditButton(f_, m_, 0, off).textId, "tc_msg1");
  EXPECT_TRUE(Unchanged(before));
  EXPECT_TRUE(KeepsLeftClick(f_.Key[0], 10, 0, kFunDisabled));
  EXPECT_FALSE(KeepsLeftClick(f_.Key[0], model_.KeyCount(), 0, kFunDisabled));
}

TEST_F(ProfileEditTest, SensorSwitchOnlyOnTheWideRangeSensor) {
  model_.nSensor = 0x3395;
  ASSERT_TRUE(EditButtonOption(f_, m_, false).ok);
  EXPECT_EQ(f_.bButtonOption, 0);
  EXPECT_EQ(EditButtonOption(f_, m_, true).flag, uint32_t(kApplyButtonOption));
  EXPECT_EQ(f_.bButtonOption, 1);
  model_.nSensor = 0x3370;
  EXPECT_FALSE(EditButtonOption(f_, m_, false).ok);
  EXPECT_EQ(f_.bButtonOption, 1);
}

TEST_F(ProfileEditTest, ButtonsWhoseMacroIsGoneGetTheirDefaultsAndAreWritten) {
  const MacroResult kept = NewLibraryMacro("kept");
  ASSERT_TRUE(kept.ok);
  f_.Key[0][2] = KeyInfo{kFunMacro, model_.keys[0][2].nMatrix, kept.id, {}, 0, 0};
  const ProfileFile before = f_;
  EXPECT_FALSE(EditDropMissingMacros(f_, m_).ok);  // every macro is still there
  EXPECT_TRUE(Unchanged(before));
  f_.Key[1][3] = KeyInfo{kFunMacro, model_.keys[1][3].nMatrix, 0x123456, {}, 0, 0};
  const EditResult r = EditDropMissingMacros(f_, m_);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.flag, uint32_t(kApplyButtons));
  EXPECT_EQ(r.item, 255u);
  EXPECT_EQ(f_.Key[1][3].dwFunID, model_.keys[1][3].dwFunID);
  EXPECT_EQ(f_.Key[0][2].dwMacroID, kept.id);  // a macro that exists stays
}

TEST_F(ProfileEditTest, ADamagedMacroGoesToNoButtonUntilItIsFixed) {
  const MacroResult made = NewLibraryMacro("burst");
  ASSERT_TRUE(made.ok);
  MacroLibrary& library = *library_;
  ASSERT_TRUE(library.Update(made.id, [](StMacro& m) {
    m.stEvents[0] = {0x41, 1, 70000};  // longer than the mouse can wait
    m.stEvents[1] = {0x41, 0, 0};
  }));
  const KeyInfo macro{kFunMacro, 0, made.id, {}, 0, 0};
  const ProfileFile before = f_;
  const EditResult r = EditButton(f_, m_, 2, macro);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.text, "the macro \"burst\" is damaged (it breaks the mouse's rules); fix it or "
                    "delete it first");
  EXPECT_TRUE(Unchanged(before));
  EXPECT_EQ(DamagedMacroRefusal(library, made.id), r.text);
  ASSERT_TRUE(library.Update(made.id, [](StMacro& m) { m.stEvents[0].dwDelay = 30; }));
  EXPECT_EQ(DamagedMacroRefusal(library, made.id), "");
  ASSERT_TRUE(EditButton(f_, m_, 2, macro).ok);
  EXPECT_EQ(f_.Key[0][2].dwMacroID, made.id);
}

TEST(DeviceBehaviorTest, ChangesLandInTheRecord) {
  EXPECT_EQ(RateFromBehaviorCode(1), 0x1000u);
  EXPECT_EQ(RateFromBehaviorCode(32), 0x4000u);
  EXPECT_EQ(RateFromBehaviorCode(3), 0u);
  ProfileFile f;
  f.nDpiLevels = 3;
  int level = -1;
  BehaviorChange c;
  c.kind = kBehaviorDpiLevel;
  c.level = 3;  // beyond the levels in use: ignored
  EXPECT_FALSE(ApplyBehavior(c, f, &level));
  EXPECT_EQ(level, -1);
  c.level = 2;
  EXPECT_TRUE(ApplyBehavior(c, f, &level));
  EXPECT_EQ(level, 2);
  c = {};
  c.kind = kBehaviorRate;
  c.rate = 0x250;
  EXPECT_TRUE(ApplyBehavior(c, f, nullptr));
  EXPECT_EQ(f.dwPollingRate, 0x250u);
  c.kind = kBehaviorLogoLight;
  c.light.nMode = 4;
  EXPECT_TRUE(ApplyBehavior(c, f, nullptr));
  EXPECT_EQ(f.LogoLight.nMode, 4);
  c.kind = kBehaviorReset;  // the session's
  EXPECT_FALSE(ApplyBehavior(c, f, nullptr));
}

}  // namespace
}  // namespace tolvane::test
