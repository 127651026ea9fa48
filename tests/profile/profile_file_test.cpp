// The profile record layout and the EEPROM encodings, against byte vectors
// worked out by hand from the map.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "profile/profile_file.h"
#include "support/log_capture.h"

namespace tolvane {
namespace {

using Bytes = std::vector<uint8_t>;
template <size_t N>
Bytes B(const std::array<uint8_t, N>& a) {
  return Bytes(a.begin(), a.end());
}

TEST(ProfileFile, DefaultsAndRawLayout) {
  ProfileFile f;
  const auto* raw = reinterpret_cast<const uint8_t*>(&f);
  // Magic little-endian at 0, button option 1 at 0x77C, sensor sleep 6 at
  // 0x784, all levels absent, scroll lines 3 at 0x6C0.
  EXPECT_EQ(Bytes(raw, raw + 4), (Bytes{0x34, 0x12, 0xAA, 0xFC}));
  EXPECT_EQ(raw[0x77C], 1);
  EXPECT_EQ(raw[0x784], 6);
  EXPECT_EQ(raw[0x6C0], 3);
  EXPECT_EQ(raw[0x6D8 + 16 * 7 + 12], 1);
  f.Key[2][15].dwParameter = 0xA1B2C3D4;
  EXPECT_EQ(raw[0x23C + (2 * 16 + 15) * 24 + 16], 0xD4);
  EXPECT_EQ(raw[0x6BB], 0);  // the last byte of the key tables
}

TEST(ProfileEeprom, GuardedValuesAndRates) {
  EXPECT_EQ(B(GuardedPair(3)), (Bytes{0x03, 0x52}));
  EXPECT_EQ(B(GuardedPair(0x60)), (Bytes{0x60, 0xF5}));
  EXPECT_EQ(B(GuardedQuad(0x10, 0x20, 0x30)), (Bytes{0x10, 0x20, 0x30, 0xF5}));
  EXPECT_EQ(B(EncodeColorQuad(0x00302010)), (Bytes{0x10, 0x20, 0x30, 0xF5}));
  EXPECT_EQ(DecodeColor(0x10, 0x20, 0x30), 0x302010u);
  EXPECT_EQ(B(EncodeMatrixEntry(0xFE0206)), (Bytes{0x06, 0x02, 0xFE, 0x4F}));

  EXPECT_EQ(RateFromCode(8, false), 0x125u);
  EXPECT_EQ(RateFromCode(1, false), 0x1000u);
  EXPECT_EQ(RateFromCode(3, false), 0u);
  EXPECT_EQ(RateFromCode(0x20, false), 0u);
  EXPECT_EQ(RateFromCode(0x20, true), 0x4000u);
  EXPECT_EQ(RateFromCode(16, true), 0x2000u);
  EXPECT_EQ(RateToCode(0x500, false), 2);
  EXPECT_EQ(RateToCode(0x2000, false), -1);
  EXPECT_EQ(RateToCode(0x2000, true), 16);
  EXPECT_EQ(RateToCode(0x1001, true), -1);
  EXPECT_EQ(RateHz(0x1000), 1000);
  EXPECT_EQ(RateHz(0x125), 125);
  EXPECT_EQ(RateHz(0x12A), 0);
  EXPECT_EQ(RateFromHz(4000), 0x4000u);
  EXPECT_EQ(RateFromHz(250), 0x250u);
  EXPECT_EQ(RateFromHz(0), 0u);
}

TEST(ProfileEeprom, DpiEntry) {
  // 3F 3F 05: X code 0x13F in mode 1, Y code 0x3F in mode 0.
  const uint8_t in[4] = {0x3F, 0x3F, 0x05, 0xD2};
  const DpiCodes c = DecodeDpiEntry(std::span<const uint8_t, 4>(in, 4));
  EXPECT_EQ(c, (DpiCodes{0x13F, 1, 0x3F, 0}));
  EXPECT_EQ(B(EncodeDpiEntry(c)), Bytes(in, in + 4));
  // Code 260 in mode 1 on both axes (26100 on the wide-range sensor).
  EXPECT_EQ(B(EncodeDpiEntry({260, 1, 260, 1})), (Bytes{0x04, 0x04, 0x55, 0xF8}));
  // The two axes are built from their own values: Y high bits 3, Y mode 2.
  EXPECT_EQ(B(EncodeDpiEntry({0x001, 0, 0x3FF, 2})), (Bytes{0x01, 0xFF, 0xE0, 0x75}));
  const uint8_t all[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(DecodeDpiEntry(std::span<const uint8_t, 4>(all, 4)), (DpiCodes{0x3FF, 3, 0x3FF, 3}));
}

TEST(ProfileEeprom, MainLightPro) {
  LightSetting l;
  l.nMode = 3;
  l.nSpeed = 1;
  l.nBright = 10;
  l.dwColor = 0x302010;
  // UI mode 3 is hardware mode 0 with tables A: speed 10, brightness 252.
  EXPECT_EQ(B(EncodeMainLightPro(l)), (Bytes{0x00, 0x10, 0x20, 0x30, 10, 252, 0xEF}));
  l.nMode = 6;
  l.nSpeed = 2;
  l.nBright = 1;
  EXPECT_EQ(B(EncodeMainLightPro(l)), (Bytes{0x07, 0x10, 0x20, 0x30, 230, 45, 0xDB}));
  // Out-of-range values stay inside the tables.
  l.nSpeed = 0;
  l.nBright = 99;
  EXPECT_EQ(B(EncodeMainLightPro(l)), (Bytes{0x07, 0x10, 0x20, 0x30, 255, 255, 0xF0}));

  const uint8_t dev[7] = {0x01, 0xAA, 0xBB, 0xCC, 0x11, 0x22, 0x00};
  EXPECT_EQ(B(MainLightOffPro(std::span<const uint8_t, 7>(dev, 7))),
            (Bytes{0x04, 0xAA, 0xBB, 0xCC, 0x11, 0x22, 0xED}));

  test::LogCapture log;
  LightSetting out;
  out.nSpeed = 7;
  out.dwColor = 0x123456;
  const uint8_t off[8] = {0x04, 1, 2, 3, 4, 5, 6, 7};
  EEPROM_To_MainRGB(std::span<const uint8_t, 8>(off, 8), out, true, false);
  EXPECT_EQ(out.nMode, 0);
  EXPECT_EQ(out.nSpeed, 7);
  EXPECT_EQ(out.dwColor, 0x123456u);

  const uint8_t on[8] = {0x01, 0x10, 0x20, 0x30, 170, 100, 0, 0};
  EEPROM_To_MainRGB(std::span<const uint8_t, 8>(on, 8), out, true, false);
  EXPECT_EQ(out.nMode, 2);
  EXPECT_EQ(out.nSpeed, 5);
  EXPECT_EQ(out.nBright, 4);
  EXPECT_EQ(out.dwColor, 0x302010u);
  EXPECT_TRUE(log.Mentions("EEPROM_To_MainRGB: mode=1, speed=aa, light=64, color=10,20,30"));
  EXPECT_FALSE(log.Mentions("Unkown"));

  const uint8_t bad[8] = {0x03, 0, 0, 0, 11, 12, 0, 0};
  EEPROM_To_MainRGB(std::span<const uint8_t, 8>(bad, 8), out, false, false);
  EXPECT_EQ(out.nMode, 4);
  EXPECT_EQ(out.nSpeed, 1);
  EXPECT_EQ(out.nBright, 1);
  EXPECT_TRUE(log.Mentions("EEPROM_To_MainRGB: Unkown Speed"));
  EXPECT_TRUE(log.Mentions("EEPROM_To_MainRGB: Unkown Bri"));

  // Every UI mode survives the round trip through the encoder.
  for (int mode = 1; mode <= 6; ++mode) {
    LightSetting in;
    in.nMode = mode;
    in.nSpeed = mode == 1 ? 1 : 4;
    in.nBright = 6;
    in.dwColor = 0x0A0B0C;
    const auto e = EncodeMainLightPro(in);
    uint8_t b8[8] = {};
    std::copy(e.begin(), e.end(), b8);
    LightSetting back;
    EEPROM_To_MainRGB(std::span<const uint8_t, 8>(b8, 8), back, false, false);
    EXPECT_EQ(back.nMode, mode);
    EXPECT_EQ(back.nSpeed, in.nSpeed) << mode;
    EXPECT_EQ(back.nBright, 6) << mode;
    EXPECT_EQ(back.dwColor, 0x0A0B0Cu);
  }
}

TEST(ProfileEeprom, MainLightPlus) {
  test::LogCapture log;
  LightSetting out;
  const uint8_t on[8] = {0x01, 0x10, 0x20, 0x30, 0x02, 0x04, 0x00, 0x01};
  EEPROM_To_MainRGB(std::span<const uint8_t, 8>(on, 8), out, true, true);
  EXPECT_EQ(out.nMode, 3);
  EXPECT_EQ(out.nSpeed, 3);
  EXPECT_EQ(out.nBright, 5);
  EXPECT_EQ(out.dwColor, 0x302010u);
  EXPECT_TRUE(log.Mentions("off=1"));
  EXPECT_EQ(B(EncodeMainLightPlus(out)), (Bytes{0x01, 0x10, 0x20, 0x30, 0x02, 0x04, 0xEE}));

  const uint8_t off[8] = {0x05, 1, 2, 3, 4, 5, 6, 0};
  out.nSpeed = 9;
  EEPROM_To_MainRGB(std::span<const uint8_t, 8>(off, 8), out, false, true);
  EXPECT_EQ(out.nMode, 0);
  EXPECT_EQ(out.nSpeed, 9);
  EXPECT_EQ(MainUiModePlus(9), 9);
  EXPECT_EQ(MainHwModePlus(5), 6);
}

TEST(ProfileEeprom, LogoAndDpiLights) {
  test::LogCapture log;
  LightSetting logo;
  const uint8_t b[10] = {0x10, 0x20, 0x30, 0xF5, 2, 0x53, 125, 0xD8, 6, 0x4F};
  EEPROM_To_LogoRGB(std::span<const uint8_t, 10>(b, 10), logo);
  EXPECT_TRUE(log.Mentions("EEPROM_To_LogoRGB: Unkown Speed"));
  EXPECT_EQ(logo.nMode, 2);
  EXPECT_EQ(logo.nSpeed, 0);
  EXPECT_EQ(logo.nBright, 5);
  EXPECT_EQ(logo.dwColor, 0x302010u);
  logo.nSpeed = 3;
  EXPECT_EQ(B(EncodeLogoLight(logo)),
            (Bytes{0x10, 0x20, 0x30, 0xF5, 2, 0x53, 125, 0xD8, 3, 0x52}));

  DpiLightSetting d;
  d.nMode = 2;
  d.nSpeed = 1;
  d.nBright = 4;
  const auto e = EncodeDpiLight(d);
  EXPECT_EQ(B(e), (Bytes{2, 0x53, 128, 0xD5, 2, 0x53}));
  uint8_t b8[8] = {};
  std::copy(e.begin(), e.end(), b8);
  DpiLightSetting back;
  EEPROM_To_DpiLight(std::span<const uint8_t, 8>(b8, 8), back, false);
  EXPECT_EQ(back.nMode, 2);
  EXPECT_EQ(back.nSpeed, 1);
  EXPECT_EQ(back.nBright, 4);
  // PRO+: the on/off pair at 0x52 (byte 6) says off; the rest is kept.
  back.nSpeed = 3;
  EEPROM_To_DpiLight(std::span<const uint8_t, 8>(b8, 8), back, true);
  EXPECT_EQ(back.nMode, 0);
  EXPECT_EQ(back.nSpeed, 3);
  b8[2] = 77;  // not in the table
  b8[6] = 1;
  EEPROM_To_DpiLight(std::span<const uint8_t, 8>(b8, 8), back, true);
  EXPECT_EQ(back.nMode, 2);
  EXPECT_EQ(back.nBright, 0);
}

}  // namespace
}  // namespace tolvane
