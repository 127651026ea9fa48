// GetProfile against virtual mice whose EEPROM holds the case at hand.
#include <gtest/gtest.h>

#include "../macro/temp_library.h"
#include "app/notifier.h"
#include "device/link_options.h"
#include "macro/macro_library.h"
#include "profile/key_codes.h"
#include "profile_rig.h"
#include "support/log_capture.h"

namespace tolvane::test {
namespace {

using V = std::vector<uint8_t>;

V Pair(uint8_t v) { return {v, uint8_t(0x55 - v)}; }

struct Warnings {
  Warnings() { SetNotifier(&rec); }
  ~Warnings() { SetNotifier(nullptr); }
  RecordingNotifier rec;
};

TEST(GetProfile, RateCodes) {
  NoPacing np;
  {
    ProfileRig pro(0);
    pro.Poke(0x00, Pair(3));
    int r = -1;
    pro.Read(nullptr, &r);
    EXPECT_EQ(r, 0);
    pro.Poke(0x00, Pair(0x20));  // a PRO+ code only
    pro.Read(nullptr, &r);
    EXPECT_EQ(r, 0);
    pro.Poke(0x00, Pair(4));
    EXPECT_EQ(pro.Read().dwPollingRate, 0x250u);
  }
  ProfileRig plus(1);
  plus.Poke(0x00, Pair(0x20));
  EXPECT_EQ(plus.Read().dwPollingRate, 0x4000u);
  plus.Poke(0x00, Pair(16));
  EXPECT_EQ(plus.Read().dwPollingRate, 0x2000u);
}

TEST(GetProfile, DpiLevels) {
  NoPacing np;
  Warnings w;
  ProfileRig rig(0);
  rig.Poke(0x02, Pair(3));
  rig.Poke(0x04, Pair(2));
  rig.Poke(0x0C, {0x3F, 0x3F, 0x05, 0xD2});
  rig.Poke(0x2C, {0x10, 0x20, 0x30, 0xF5});
  ProfileFile f;
  f.dwID = 1;
  f.Dpi[5] = {1234, 5678, 0xABCDEF, 0};
  f.Dpi[3] = {1, 2, 3, 0};
  ASSERT_EQ(GetProfile(*rig.dev, &f, nullptr), 1);
  EXPECT_EQ(f.nDpiLevels, 3);
  EXPECT_EQ(f.Dpi[0].dwDpiX, 32000u);
  EXPECT_EQ(f.Dpi[0].dwDpiY, 3200u);
  EXPECT_EQ(f.Dpi[0].dwColor, 0x302010u);
  EXPECT_EQ(f.Dpi[0].bAbsent, 0u);
  EXPECT_EQ(f.Dpi[2].bAbsent, 0u);
  // Levels 3-7 are absent and keep what they held.
  EXPECT_EQ(f.Dpi[3].bAbsent, 1u);
  EXPECT_EQ(f.Dpi[3].dwDpiX, 1u);
  EXPECT_EQ(f.Dpi[5].bAbsent, 1u);
  EXPECT_EQ(f.Dpi[5].dwDpiY, 5678u);
  EXPECT_EQ(f.Dpi[5].dwColor, 0xABCDEFu);
  EXPECT_EQ(rig.dev->nCurDpiLevel.load(), 2);
  EXPECT_TRUE(w.rec.Entries().empty());
}

TEST(GetProfile, WrongDpiWarnsAndGoesOn) {
  NoPacing np;
  Warnings w;
  DevCfg m = ProfileModel(0, 0x3325);
  ProfileRig rig(0, m);
  rig.Poke(0x02, Pair(2));
  rig.Poke(0x04, Pair(0));
  rig.Poke(0x0C, {0x05, 0x05, 0x00, 0x4B});
  const ProfileFile f = rig.Read();
  EXPECT_EQ(f.Dpi[0].dwDpiX, 0u);
  EXPECT_EQ(f.nDpiLevels, 2);
  ASSERT_EQ(w.rec.Entries().size(), 1u);
  EXPECT_EQ(w.rec.Entries()[0].caption, Caption::Warning);
  EXPECT_EQ(w.rec.Entries()[0].text, "Get wrong dpi from device");
}

TEST(GetProfile, UndecodableSettingsFailTheRead) {
  NoPacing np;
  ProfileRig rig(0);
  for (const V& levels : {Pair(0), Pair(9), V{0xFF, 0xFF}}) {
    rig.Poke(0x02, levels);
    ProfileFile f;
    f.dwID = 1;
    f.nDpiLevels = 4;
    EXPECT_EQ(GetProfile(*rig.dev, &f, nullptr), 0);
    EXPECT_EQ(f.nDpiLevels, 4);
  }
  rig.Poke(0x02, Pair(4));
  rig.Poke(0x04, Pair(4));  // current level outside the levels
  int r = -1;
  rig.Read(nullptr, &r);
  EXPECT_EQ(r, 0);
  rig.Poke(0x04, Pair(3));
  rig.Read(nullptr, &r);
  EXPECT_EQ(r, 1);
}

// An option the model does not show is not read: the record keeps what it
// held. With profile dumps on, the dump names each option that was read.
TEST(GetProfile, OptionsTheModelLacksKeepTheRecordsValues) {
  NoPacing np;
  DevCfg m = ProfileModel(0);
  m.bShowRipple = 0;
  m.bShowDebounce = 0;
  ProfileRig rig(0, m);
  rig.Poke(0x0A, Pair(2));   // lift-off
  rig.Poke(0xA9, Pair(12));  // debounce
  rig.Poke(0xAF, Pair(1));   // angle snapping
  rig.Poke(0xB1, Pair(1));   // ripple
  const LinkOptions saved = GetLinkOptions();
  LinkOptions dumps = saved;
  dumps.nSubDebug = 1;
  SetLinkOptions(dumps);
  LogCapture log;
  ProfileFile f;
  f.dwID = 1;
  f.nRipple = 7;
  f.nDebounce = 9;
  const int r = GetProfile(*rig.dev, &f, nullptr);
  SetLinkOptions(saved);
  ASSERT_EQ(r, 1);
  EXPECT_EQ(f.nLOD, 2);
  EXPECT_EQ(f.nFixLine, 1);
  EXPECT_EQ(f.nRipple, 7);
  EXPECT_EQ(f.nDebounce, 9);
  EXPECT_TRUE(log.Has("LOD=2"));
  EXPECT_TRUE(log.Has("FixLine=1"));
  EXPECT_FALSE(log.Has("Ripple="));
  EXPECT_FALSE(log.Has("Debounce="));
}

TEST(GetProfile, OptionsAndButtons) {
  NoPacing np;
  ProfileRig rig(0);
  rig.Poke(0x0A, Pair(2));
  rig.Poke(0xA9, Pair(12));  // debounce
  rig.Poke(0xAB, Pair(0));   // button option
  rig.Poke(0xAD, Pair(30));  // sleep time / 10
  rig.Poke(0xAF, Pair(1));
  rig.Poke(0xB1, Pair(1));
  rig.Poke(0xB3, Pair(1));
  rig.Poke(0xB5, Pair(7));  // PRO: sensor sleep
  rig.Poke(0xB7, Pair(5));  // PRO: option 2
  // Button 1 (matrix 2): fire 3 clicks interval 10; button 3 (matrix 5):
  // Ctrl+Shift+A in combination block 4.
  rig.Poke(0x64, {0x04, 0x0A, 0x03, 0x3A});
  rig.Poke(0x70, {0x05, 0x00, 0x00, 0x50});
  rig.Poke(0x180, {6, 0x80, 1, 0, 0x80, 2, 0, 0x81, 4, 0, 0x40, 1, 0, 0x40, 2, 0, 0x41, 4, 0});
  const ProfileFile f = rig.Read();
  EXPECT_EQ(f.nLOD, 2);
  EXPECT_EQ(f.nDebounce, 12);
  EXPECT_EQ(f.bButtonOption, 0);
  EXPECT_EQ(f.nSleepTime, 300);
  EXPECT_EQ(f.nFixLine, 1);
  EXPECT_EQ(f.nRipple, 1);
  EXPECT_EQ(f.bLightOffOnMove, 1);
  EXPECT_EQ(f.nSensorSleep, 7);
  EXPECT_EQ(f.nOption2, 5);
  EXPECT_EQ(f.Key[0][0].dwFunID, kFunLeftClick);
  EXPECT_EQ(f.Key[0][0].nMatrix, 1u);
  EXPECT_EQ(f.Key[0][1].dwFunID, kFunFire);
  EXPECT_EQ(f.Key[0][1].dwParameter, 0x0A03u);
  EXPECT_EQ(f.Key[0][3].dwFunID, 0x02000000u);
  EXPECT_EQ(f.Key[0][3].stCombo.bModifiers, 0x03);
  EXPECT_EQ(f.Key[0][3].stCombo.bKeys[0], 0x41);
  EXPECT_EQ(f.Key[0][5].dwFunID, kFunDpiCycle);

  // PRO+ reads sensor sleep at 0xB7 and option 2 at 0xB9.
  ProfileRig plus(1);
  plus.Poke(0xB5, Pair(9));
  plus.Poke(0xB7, Pair(3));
  plus.Poke(0xB9, Pair(4));
  const ProfileFile g = plus.Read();
  EXPECT_EQ(g.nSensorSleep, 3);
  EXPECT_EQ(g.nOption2, 4);
  EXPECT_EQ(g.nOption3, 0);
}

TEST(GetProfile, Lights) {
  NoPacing np;
  ProfileRig pro(0);
  pro.Poke(0xA0, {0x04, 0x10, 0x20, 0x30, 0x0A, 0x48, 0x00});
  pro.Poke(0x54, {0x01, 0x02, 0x03, 0x4F, 0x01, 0x54, 45, 0x28, 6, 0x4F});
  pro.Poke(0x4C, {2, 0x53, 128, 0xD5, 3, 0x52});
  ProfileFile f;
  f.dwID = 1;
  f.MainLight.nSpeed = 9;
  f.MainLight.dwColor = 0x777777;
  ASSERT_EQ(GetProfile(*pro.dev, &f, nullptr), 1);
  EXPECT_EQ(f.MainLight.nMode, 0);
  EXPECT_EQ(f.MainLight.nSpeed, 9);
  EXPECT_EQ(f.MainLight.dwColor, 0x777777u);
  EXPECT_EQ(f.LogoLight.nMode, 1);
  EXPECT_EQ(f.LogoLight.nSpeed, 0);  // speed byte 6 is unknown
  EXPECT_EQ(f.LogoLight.nBright, 1);
  EXPECT_EQ(f.LogoLight.dwColor, 0x030201u);
  EXPECT_EQ(f.DpiLight.nMode, 2);
  EXPECT_EQ(f.DpiLight.nSpeed, 2);
  EXPECT_EQ(f.DpiLight.nBright, 4);

  ProfileRig plus(1);
  plus.Poke(0xA0, {0x01, 0x10, 0x20, 0x30, 0x02, 0x04, 0x00, 0x01});
  plus.Poke(0x4C, {2, 0x53, 128, 0xD5, 3, 0x52, 0, 0x55});
  ProfileFile g;
  g.dwID = 1;
  g.DpiLight.nSpeed = 4;
  ASSERT_EQ(GetProfile(*plus.dev, &g, nullptr), 1);
  EXPECT_EQ(g.MainLight.nMode, 3);
  EXPECT_EQ(g.MainLight.nSpeed, 3);
  EXPECT_EQ(g.MainLight.nBright, 5);
  EXPECT_EQ(g.MainLight.dwColor, 0x302010u);
  EXPECT_EQ(g.DpiLight.nMode, 0);  // the on/off pair at 0x52 says off
  EXPECT_EQ(g.DpiLight.nSpeed, 4);
  plus.Poke(0xA7, Pair(0));
  EXPECT_EQ(plus.Read().MainLight.nMode, 0);
}

// Slot 0: name "Burst", two events (A down, 10 ms, A up).
void PokeMacro(ProfileRig& rig, int slot, const V& name) {
  const uint16_t base = uint16_t(0x300 + 0x180 * slot);
  V rec(32, 0);
  rec[0] = uint8_t(name.size());
  std::copy(name.begin(), name.end(), rec.begin() + 1);
  rec[31] = 2;
  const V ev = {0x81, 0x04, 0, 0, 10, 0x41, 0x04, 0, 0, 0};
  rec.insert(rec.end(), ev.begin(), ev.end());
  rec.push_back(0);  // check (not verified on reading)
  rec.insert(rec.end(), {0, 0, 0});
  rig.Poke(base, rec);
}

TEST(GetProfile, MacroButtonsMergeIntoTheLibrary) {
  NoPacing np;
  TempUserDir dir;
  MacroLibrary lib(dir.Dir(), false);
  lib.Load();
  ProfileRig rig(0);
  rig.Poke(0x60, {0x06, 0x00, 0xFE, 0x4F});  // matrix 1: macro, repeat mode 2
  PokeMacro(rig, 0, {'B', 0, 'u', 0, 'r', 0, 's', 0, 't', 0});
  rig.Poke(0x68, {0x06, 0x02, 0x05, 0x48});  // matrix 3: macro played 5 times
  PokeMacro(rig, 2, {});                      // empty name
  rig.Poke(0x301 + 0x180 * 2, {0, 0, 'X', 0});
  const ProfileFile f = rig.Read(&lib);
  ASSERT_EQ(lib.Count(), 2u);
  const auto burst = lib.FindByName("Burst");
  ASSERT_TRUE(burst);
  EXPECT_EQ(burst->nLoopMode, 2u);
  EXPECT_EQ(burst->stEvents[0].wCode, 0x41);
  EXPECT_EQ(burst->stEvents[0].wFlag, 1);
  EXPECT_EQ(uint32_t(burst->stEvents[0].dwDelay), 10u);
  EXPECT_EQ(burst->stEvents[1].wFlag, 0);
  EXPECT_EQ(f.Key[0][0].dwFunID, kFunMacro);
  EXPECT_EQ(f.Key[0][0].dwMacroID, burst->dwID);
  // The unnamed macro was added as a macro of its own and the button plays it.
  EXPECT_EQ(f.Key[0][2].dwFunID, kFunMacro);
  const auto other = lib.FindById(f.Key[0][2].dwMacroID);
  ASSERT_TRUE(other);
  EXPECT_EQ(other->nLoopMode, 0u);
  EXPECT_EQ(other->wRepeat, 5);
  // Read again: the named one is matched, the unnamed one added once more.
  rig.Read(&lib);
  EXPECT_EQ(lib.Count(), 3u);
}

TEST(GetProfile, ErasedAndHostileContentStaysInBounds) {
  NoPacing np;
  TempUserDir dir;
  MacroLibrary lib(dir.Dir(), false);
  lib.Load();
  DevCfg m = ProfileModel(0);
  m.keys[0][6] = {0x01000011, 17, 0, {}, 0, 0};   // no such matrix position
  m.keys[0][7] = {0x01000011, 200, 0, {}, 0, 0};
  ProfileRig rig(0, m);
  // Matrix 2 is a macro whose slot is erased (count 255, name FF FF).
  rig.Poke(0x64, {0x06, 0x01, 0x00, 0x4E});
  const ProfileFile f = rig.Read(&lib);
  ASSERT_EQ(lib.Count(), 1u);
  const StMacro got = lib.Records()[0];
  // 353 bytes hold 70 whole events, all of them 0xFF garbage but no more.
  int n = 0;
  while (n < kMacroEventSlots && (got.stEvents[n].wCode || got.stEvents[n].dwDelay)) ++n;
  EXPECT_LE(n, kMaxMacroEvents);
  EXPECT_EQ(f.Key[0][6].dwFunID, 0u);  // skipped
  EXPECT_EQ(f.Key[0][1].dwFunID, kFunMacro);
}

}  // namespace
}  // namespace tolvane::test
