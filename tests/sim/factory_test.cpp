#include <gtest/gtest.h>

#include <span>

#include "profile/key_codes.h"
#include "sim/sim_factory.h"
#include "sim_rig.h"

namespace tolvane::sim::test {
namespace {

uint32_t Entry(const Eeprom& e, uint16_t a) { return e[a] | e[a + 1] << 8 | e[a + 2] << 16; }

void ExpectGuarded(const Eeprom& e, Family f) {
  for (uint16_t a : {ee::kRate, ee::kLevels, ee::kCurLevel, ee::kLod, ee::kDpiLight,
                     uint16_t(ee::kDpiLight + 2), uint16_t(ee::kDpiLight + 4), uint16_t(ee::kLogo + 4),
                     uint16_t(ee::kLogo + 6), uint16_t(ee::kLogo + 8), ee::kDebounce,
                     ee::kButtonOption, ee::kSleepTime, ee::kFixLine, ee::kRipple,
                     ee::kLightOffOnMove, ee::kOptB5, ee::kOptB7})
    EXPECT_TRUE(PairOk(e, a)) << std::hex << "pair at 0x" << a;
  if (f == Family::ProPlus) {
    for (uint16_t a : {ee::kDpiLightOn, ee::kMainLightOn, ee::kOptB9})
      EXPECT_TRUE(PairOk(e, a)) << std::hex << "pair at 0x" << a;
  }
  for (int i = 0; i < 8; ++i) {
    EXPECT_TRUE(QuadOk(e, uint16_t(ee::kDpi + 4 * i))) << "dpi " << i;
    EXPECT_TRUE(QuadOk(e, uint16_t(ee::kDpiColor + 4 * i))) << "colour " << i;
  }
  for (int j = 0; j < 16; ++j) EXPECT_TRUE(QuadOk(e, uint16_t(ee::kMatrix + 4 * j))) << "key " << j;
  EXPECT_TRUE(QuadOk(e, ee::kLogo));
  uint8_t sum = 0;
  for (int i = 0; i < 7; ++i) sum = uint8_t(sum + e[ee::kMainLight + i]);
  EXPECT_EQ(sum, 0x55);
}

TEST(SimFactory, ImageMatchesTheCatalogueEntryWithGuardedValues) {
  const DevCfg m = TestModel(0x11, 0x01, 0);
  for (Family f : {Family::Pro, Family::ProPlus}) {
    SCOPED_TRACE(FamilyName(f));
    const Eeprom e = BuildFactoryImage(m, f);
    ExpectGuarded(e, f);
    EXPECT_EQ(e[ee::kRate], 2);      // DR 0x500
    EXPECT_EQ(e[ee::kLevels], 4);
    EXPECT_EQ(e[ee::kCurLevel], 1);  // DEFLEVEL
    EXPECT_EQ(e[ee::kSleepTime], 12);
    EXPECT_EQ(e[ee::kDebounce], 8);
    // 0x3395: 400 -> code 7; 1600 -> 31; 26200 -> code 261 (0x105), mode 1 on
    // both axes: multiplier byte 1 + 4 * 1 + 16 * (1 + 4 * 1).
    EXPECT_EQ(e[0x0C], 7);
    EXPECT_EQ(e[0x0D], 7);
    EXPECT_EQ(e[0x0E], 0);
    EXPECT_EQ(e[0x14], 31);
    EXPECT_EQ(e[0x18], 0x05);
    EXPECT_EQ(e[0x19], 0x05);
    EXPECT_EQ(e[0x1A], 0x55);
    // Levels beyond DM repeat the last one.
    EXPECT_EQ(Entry(e, 0x1C), Entry(e, 0x18));
    // Colour of level 2 (0x00BBGGRR = 0x306090): R, G, B.
    EXPECT_EQ(e[0x34], 0x90);
    EXPECT_EQ(e[0x35], 0x60);
    EXPECT_EQ(e[0x36], 0x30);
    // DPI light 0x030502: mode 2, brightness 5 -> code 128, speed 3.
    EXPECT_EQ(e[0x4C], 2);
    EXPECT_EQ(e[0x4E], 128);
    EXPECT_EQ(e[0x50], 3);
    // Main light from the default LED parameters (UI mode 3, brightness 10, speed 8).
    if (f == Family::Pro) {
      EXPECT_EQ(e[0xA0], 0);
      EXPECT_EQ(e[0xA4], kLightSpeedA[7]);
      EXPECT_EQ(e[0xA5], kLightBrightA[9]);
    } else {
      EXPECT_EQ(e[0xA0], 1);
      EXPECT_EQ(e[0xA4], 7);
      EXPECT_EQ(e[0xA5], 9);
      EXPECT_EQ(e[0xA7], 1);
      EXPECT_EQ(e[0x52], 1);
      EXPECT_EQ(e[0xB7], 6);  // sensor sleep moves on PRO+
    }
    EXPECT_EQ(e[f == Family::Pro ? 0xB5 : 0xB7], 6);
    // Erased areas.
    EXPECT_EQ(e[0x06], 0xFF);
    EXPECT_EQ(e[ee::kMacro + 1], 0xFF);
    EXPECT_EQ(e[kEepromSize - 1], 0xFF);
  }
}

TEST(SimFactory, KeyMatrixDecodesToTheCatalogueDefaults) {
  const DevCfg m = TestModel(0x11, 0x01, 0);
  const Eeprom e = BuildFactoryImage(m, Family::Pro);
  EXPECT_EQ(Entry(e, 0x60), 0x101u);
  EXPECT_EQ(Entry(e, 0x64), 0x201u);
  EXPECT_EQ(Entry(e, 0x68), 0x102u);
  EXPECT_EQ(Entry(e, 0x6C), 0u);        // matrix position 4 unused
  EXPECT_EQ(Entry(e, 0x78), 0x030A04u);  // fire 0x0A03
  // Ctrl+Shift+A in the combination block of matrix position 5, check byte after it.
  const uint8_t* rec = &e[ee::kCombo + 32 * 4];
  const uint8_t want[19] = {6, 0x80, 1, 0, 0x80, 2, 0, 0x81, 4, 0, 0x40, 1, 0, 0x40, 2, 0, 0x41, 4, 0};
  EXPECT_TRUE(std::equal(want, want + 19, rec));
  uint8_t sum = 0;
  for (int i = 0; i < 20; ++i) sum = uint8_t(sum + rec[i]);
  EXPECT_EQ(sum, 0x55);

  KeyCodeEnv env;
  std::span<const uint8_t> combos(&e[ee::kCombo], 32 * 16);
  for (int b = 0; b < 6; ++b) {
    const KeyInfo& want = m.keys[0][b];
    KeyInfo got;
    got.nMatrix = want.nMatrix;
    ASSERT_TRUE(HardwareCodeToKeyInfo(combos, Entry(e, uint16_t(0x60 + 4 * (want.nMatrix - 1))), got, env))
        << "button " << b;
    // A keyboard record reads back as the keyboard group.
    EXPECT_EQ(got.dwFunID, b == 3 ? 0x02000000u : want.dwFunID) << "button " << b;
    if (b == 3) {
      EXPECT_EQ(got.stCombo.bModifiers, 3);
      EXPECT_EQ(got.stCombo.bKeys[0], 0x41);
    }
  }
}

TEST(SimFactory, BuiltinDpiCodes) {
  struct Case { uint32_t sensor, dpi, code, mode; };
  const Case cases[] = {
      {0x3395, 26000, 519, 0}, {0x3395, 26200, 261, 1}, {0x3330, 7200, 143, 0},
      {0x3330, 7300, 72, 1},   {0x3370, 12000, 119, 2}, {0x3370, 20000, 199, 1},
      {0x3370, 38000, 189, 3}, {0x3370, 38200, 0, 0},   {0x3325, 8000, 92, 1},
      {0x3325, 200, 4, 0},     {0x3050, 4000, 11, 0},   {0x3335, 16000, 189, 0},
      {0x3212, 2400, 63, 0},   {0x3212, 2500, 0, 0},    {0x1234, 800, 0, 0},
  };
  for (const Case& c : cases) {
    uint32_t mode = 99;
    EXPECT_EQ(BuiltinDpiToCode(c.sensor, c.dpi, &mode), c.code) << std::hex << c.sensor << " " << std::dec << c.dpi;
    EXPECT_EQ(mode, c.mode) << std::hex << c.sensor << " " << std::dec << c.dpi;
  }
}

}  // namespace
}  // namespace tolvane::sim::test
