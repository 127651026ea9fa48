// ApplySetting against virtual mice: which EEPROM bytes each group writes.
#include <gtest/gtest.h>

#include <chrono>

#include "../macro/temp_library.h"
#include "macro/macro_library.h"
#include "profile/key_codes.h"
#include "profile_rig.h"

namespace tolvane::test {
namespace {

using V = std::vector<uint8_t>;

ProfileFile Base(ProfileRig& rig) {
  ProfileFile f = rig.Read();
  rig.ClearWrites();
  return f;
}

int Apply(ProfileRig& rig, ProfileFile& f, uint32_t flag, uint32_t data,
          EventSink* progress = nullptr, MacroLibrary* lib = nullptr) {
  return ApplySetting(*rig.dev, &f, progress, WM_PROGRESS, flag, data, lib);
}

TEST(ApplySetting, SingleDpiLevelAndSettings) {
  NoPacing np;
  ProfileRig rig(0);
  ProfileFile f = Base(rig);
  f.Dpi[2].dwDpiX = 26100;
  f.Dpi[2].dwDpiY = 800;
  ASSERT_EQ(Apply(rig, f, kApplyDpi, 2), 1);
  EXPECT_EQ(rig.Writes(), (std::vector<Write>{{0x14, 4}}));
  // X: code 260 in mode 1; Y: code 15 in mode 0.
  EXPECT_EQ(rig.Bytes(0x14, 4), (V{0x04, 0x0F, 0x05, 0x3D}));

  rig.ClearWrites();
  f.nSleepTime = 125;
  f.nDebounce = 9;
  ASSERT_EQ(Apply(rig, f, kApplySleepTime | kApplyDebounce, 0), 1);
  EXPECT_EQ(rig.Writes(), (std::vector<Write>{{0xA9, 2}, {0xAD, 2}}));
  EXPECT_EQ(rig.Bytes(0xAD, 2), (V{12, 0x49}));
  EXPECT_EQ(rig.Bytes(0xA9, 2), (V{9, 0x4C}));

  // A rate outside the table fails the run; nothing is written.
  rig.ClearWrites();
  f.dwPollingRate = 0x2000;
  EXPECT_EQ(Apply(rig, f, kApplyRate, 0), 0);
  EXPECT_TRUE(rig.Writes().empty());
  // No id: refused at once.
  f.dwID = 0;
  EXPECT_EQ(Apply(rig, f, kApplyDebounce, 0), 0);
}

TEST(ApplySetting, PlainButtonsWriteOnlyTheMatrix) {
  NoPacing np;
  ProfileRig rig(0);
  ProfileFile f = Base(rig);
  f.Key[0][1].dwFunID = kFunBack;
  ASSERT_EQ(Apply(rig, f, kApplyButtons, kAllItems), 1);
  std::vector<Write> want;
  for (int k = 0; k < 8; ++k) want.push_back({uint16_t(0x60 + 8 * k), 8});
  EXPECT_EQ(rig.Writes(), want);
  EXPECT_EQ(rig.Bytes(0x64, 4), (V{0x01, 0x08, 0x00, 0x4C}));
  EXPECT_EQ(rig.Bytes(0x6C, 4), (V{0x00, 0x00, 0x00, 0x55}));  // matrix 4: no button

  // One button: one entry. A combination also writes its record.
  rig.ClearWrites();
  f.Key[0][4] = {kFunVolumeUp, 6, 0, {}, 0, 0};
  ASSERT_EQ(Apply(rig, f, kApplyButtons, 4), 1);
  EXPECT_EQ(rig.Writes(), (std::vector<Write>{{0x1A0, 8}, {0x74, 4}}));
  EXPECT_EQ(rig.Bytes(0x1A0, 8), (V{2, 0x82, 0xE9, 0, 0x42, 0xE9, 0, 0xBD}));
  EXPECT_EQ(rig.Bytes(0x74, 4), (V{0x05, 0, 0, 0x50}));
  EXPECT_EQ(rig.Read().Key[0][4].dwFunID, kFunVolumeUp);
}

TEST(ApplySetting, MacroButton) {
  NoPacing np;
  TempUserDir dir;
  MacroLibrary lib(dir.Dir(), false);
  lib.Load();
  const auto added = lib.Add_Macro(MakeMacro("Spin", 0x2222));
  ASSERT_TRUE(added);
  ProfileRig rig(0);
  ProfileFile f = Base(rig);
  f.Key[0][2] = {kFunMacro, 3, added->dwID, {}, 0, 0};  // matrix index 3
  ASSERT_EQ(Apply(rig, f, kApplyButtons, 2, nullptr, &lib), 1);
  const auto w = rig.Writes();
  ASSERT_GE(w.size(), 2u);
  EXPECT_EQ(w.front().addr, 0x600);
  EXPECT_EQ(w.back(), (Write{0x68, 4}));
  // Matrix entry: type 6, slot 2, play byte 1 (repeat once).
  EXPECT_EQ(rig.Bytes(0x68, 4), (V{0x06, 0x02, 0x01, 0x4C}));
  const V head = rig.Bytes(0x600, 10);
  EXPECT_EQ(head[0], 8);  // "Spin": 4 units
  EXPECT_EQ(head[1], 'S');
  EXPECT_EQ(rig.Bytes(0x61F, 1)[0], 2);  // two events

  // A macro that is gone: the button is written as disabled, no block.
  rig.ClearWrites();
  f.Key[0][2].dwMacroID = 0x999999;
  ASSERT_EQ(Apply(rig, f, kApplyButtons, 2, nullptr, &lib), 1);
  EXPECT_EQ(rig.Writes(), (std::vector<Write>{{0x68, 4}}));
  EXPECT_EQ(rig.Bytes(0x68, 4), (V{0, 0, 0, 0x55}));
}

TEST(ApplySetting, MainLightOff) {
  NoPacing np;
  ProfileRig pro(0);
  pro.Poke(0xA0, {0x01, 0x11, 0x22, 0x33, 170, 100, 0x00});
  ProfileFile f = Base(pro);
  f.MainLight.nMode = 0;
  ASSERT_EQ(Apply(pro, f, kApplyLights, kLightMain), 1);
  EXPECT_EQ(pro.Writes(), (std::vector<Write>{{0xA0, 7}}));
  EXPECT_EQ(pro.Bytes(0xA0, 7), (V{0x04, 0x11, 0x22, 0x33, 170, 100, 0xDD}));

  ProfileRig plus(1);
  const V before = plus.Bytes(0xA0, 7);
  ProfileFile g = Base(plus);
  g.MainLight.nMode = 0;
  ASSERT_EQ(Apply(plus, g, kApplyLights, kLightMain), 1);
  EXPECT_EQ(plus.Writes(), (std::vector<Write>{{0xA7, 2}}));
  EXPECT_EQ(plus.Bytes(0xA7, 2), (V{0, 0x55}));
  EXPECT_EQ(plus.Bytes(0xA0, 7), before);
  // On again: the pair, then the six bytes with 0-based speed and brightness.
  plus.ClearWrites();
  g.MainLight = {};
  g.MainLight.nMode = 1;
  g.MainLight.nSpeed = 2;
  g.MainLight.nBright = 7;
  g.MainLight.dwColor = 0x0000FF;
  g.DpiLight.nMode = 0;
  ASSERT_EQ(Apply(plus, g, kApplyLights, kLightMain | kLightDpi), 1);
  EXPECT_EQ(plus.Writes(), (std::vector<Write>{{0xA7, 2}, {0xA0, 7}, {0x52, 2}}));
  EXPECT_EQ(plus.Bytes(0xA0, 7), (V{3, 0xFF, 0, 0, 1, 6, 0x4C}));
}

TEST(ApplySetting, ProgressAndFinalPause) {
  ProfileRig rig(0);
  ProfileFile f;
  {
    NoPacing np;
    f = Base(rig);
  }
  using Clock = std::chrono::steady_clock;
  auto t0 = Clock::now();
  ASSERT_EQ(Apply(rig, f, kApplyDebounce, 0), 1);
  EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(400));

  EventRecorder p;
  t0 = Clock::now();
  ASSERT_EQ(Apply(rig, f, kApplyButtons | kApplyDpiColor | kApplyPointer | kApplyCommit,
                  kAllItems, &p),
            1);
  EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(500));
  EXPECT_EQ(p.Params(WM_PROGRESS), (std::vector<uintptr_t>{20, 60, 70, 80, 90, 100}));
  EXPECT_EQ(rig.commits, 1);
}

TEST(ApplySetting, UnplugMidwayFails) {
  NoPacing np;
  ProfileRig rig(0);
  ProfileFile f = Base(rig);
  rig.mouse->UnplugAfterReports(6);
  EventRecorder p;
  EXPECT_EQ(Apply(rig, f, 0xFFFFF, kAllItems, &p), 0);
  EXPECT_EQ(p.Params(WM_PROGRESS), (std::vector<uintptr_t>{20}));
  using Clock = std::chrono::steady_clock;
  const auto t0 = Clock::now();
  rig.dev->ClearHandle();  // joins the service thread
  EXPECT_FALSE(rig.dev->ServiceRunning());
  EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(1500));
}

// Everything written and read back, on both families.
TEST(ApplySetting, FullRoundTrip) {
  NoPacing np;
  for (uint32_t fw : {0u, 1u}) {
    ProfileRig rig(fw);
    ProfileFile f = Base(rig);
    f.dwPollingRate = fw ? 0x4000 : 0x250;
    f.nDpiLevels = 3;
    for (int i = 0; i < 4; ++i) {
      f.Dpi[i].dwDpiX = 1000 + 100 * uint32_t(i);
      f.Dpi[i].dwDpiY = 2000;
      f.Dpi[i].dwColor = 0x010203u * uint32_t(i + 1);
    }
    rig.dev->nCurDpiLevel = 2;
    f.nLOD = 2;
    f.nFixLine = 1;
    f.nRipple = 1;
    f.nDebounce = 6;
    f.nSleepTime = 90;
    f.bLightOffOnMove = 1;
    f.bButtonOption = 0;
    f.nOption2 = 3;
    f.nSensorSleep = 4;
    f.Key[0][5] = {kFunDpiDown, 7, 0, {}, 0, 0};
    f.Key[0][3] = {kFunComboKey, 5, 0, {0x04, {0x44, 0, 0}}, 0, 0};
    f.MainLight = {};
    f.MainLight.nMode = 5;
    f.MainLight.nSpeed = 3;
    f.MainLight.nBright = 8;
    f.MainLight.dwColor = 0x102030;
    f.LogoLight = {};
    f.LogoLight.nMode = 2;
    f.LogoLight.nSpeed = 4;
    f.LogoLight.nBright = 3;
    f.LogoLight.dwColor = 0x405060;
    f.DpiLight = {3, 2, 6};
    // Without command 9: the virtual mouse answers it with a factory reset.
    ASSERT_EQ(Apply(rig, f, 0xFFFFF & ~(kApplyOption3 | kApplyCommit), kAllItems), 1) << fw;
    rig.dev->nCurDpiLevel = 0;
    ProfileFile g = rig.Read();
    EXPECT_EQ(g.dwPollingRate, f.dwPollingRate);
    EXPECT_EQ(g.nDpiLevels, 3);
    EXPECT_EQ(rig.dev->nCurDpiLevel.load(), 2);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(g.Dpi[i].dwDpiX, f.Dpi[i].dwDpiX);
      EXPECT_EQ(g.Dpi[i].dwDpiY, 2000u);
      EXPECT_EQ(g.Dpi[i].dwColor, f.Dpi[i].dwColor);
    }
    EXPECT_EQ(g.nLOD, 2);
    EXPECT_EQ(g.nFixLine, 1);
    EXPECT_EQ(g.nRipple, 1);
    EXPECT_EQ(g.nDebounce, 6);
    EXPECT_EQ(g.nSleepTime, 90);
    EXPECT_EQ(g.bLightOffOnMove, 1);
    EXPECT_EQ(g.bButtonOption, 0);
    EXPECT_EQ(g.nOption2, 3);
    EXPECT_EQ(g.nSensorSleep, 4);
    EXPECT_EQ(g.Key[0][5].dwFunID, kFunDpiDown);
    EXPECT_EQ(g.Key[0][3].stCombo.bModifiers, 0x04);
    EXPECT_EQ(g.Key[0][3].stCombo.bKeys[0], 0x44);
    EXPECT_EQ(g.MainLight.nMode, 5);
    EXPECT_EQ(g.MainLight.nSpeed, 3);
    EXPECT_EQ(g.MainLight.nBright, 8);
    EXPECT_EQ(g.MainLight.dwColor, 0x102030u);
    EXPECT_EQ(g.LogoLight.nMode, 2);
    EXPECT_EQ(g.LogoLight.nSpeed, 4);
    EXPECT_EQ(g.LogoLight.nBright, 3);
    EXPECT_EQ(g.LogoLight.dwColor, 0x405060u);
    EXPECT_EQ(g.DpiLight.nMode, 3);
    EXPECT_EQ(g.DpiLight.nSpeed, 2);
    EXPECT_EQ(g.DpiLight.nBright, 6);
  }
}

}  // namespace
}  // namespace tolvane::test
