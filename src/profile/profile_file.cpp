#include "profile/profile_file.h"

#include <algorithm>

#include "app/log.h"

namespace tolvane {

const uint8_t kLightSpeedA[10] = {10, 9, 8, 7, 6, 5, 4, 3, 2, 1};
const uint8_t kLightSpeedB[10] = {255, 230, 210, 190, 170, 150, 130, 110, 70, 40};
const uint8_t kLightBrightA[10] = {72, 92, 112, 132, 152, 172, 192, 212, 232, 252};
const uint8_t kLightBrightB[10] = {45, 50, 75, 100, 125, 150, 175, 200, 225, 255};
const uint8_t kDpiLightBright[10] = {16, 30, 60, 90, 128, 150, 180, 210, 230, 255};

namespace {

// Index of a 1-based record value into a 10-entry table, kept inside it.
int TableSlot(int oneBased) { return std::clamp(oneBased - 1, 0, 9); }

struct RateCode {
  uint8_t code;
  uint32_t rate;
  bool plusOnly;
};
constexpr RateCode kRates[] = {{1, 0x1000, false}, {2, 0x500, false},  {4, 0x250, false},
                               {8, 0x125, false},  {16, 0x2000, true}, {32, 0x4000, true}};

}  // namespace

uint8_t GuardCheck(std::span<const uint8_t> bytes) {
  unsigned s = 0;
  for (uint8_t b : bytes) s += b;
  return uint8_t(0x55 - s);
}

std::array<uint8_t, 2> GuardedPair(uint8_t v) { return {v, uint8_t(0x55 - v)}; }

std::array<uint8_t, 4> GuardedQuad(uint8_t b0, uint8_t b1, uint8_t b2) {
  return {b0, b1, b2, uint8_t(0x55 - b0 - b1 - b2)};
}

uint32_t RateFromCode(uint8_t code, bool plus) {
  for (const RateCode& r : kRates)
    if (r.code == code && (plus || !r.plusOnly)) return r.rate;
  return 0;
}

int RateToCode(uint32_t rate, bool plus) {
  for (const RateCode& r : kRates)
    if (r.rate == rate && (plus || !r.plusOnly)) return r.code;
  return -1;
}

int RateHz(uint32_t rate) {
  if (rate == 0) return 0;
  int hz = 0;
  for (int shift = 28; shift >= 0; shift -= 4) {
    const uint32_t d = (rate >> shift) & 0xF;
    if (d > 9) return 0;
    hz = hz * 10 + int(d);
  }
  return hz;
}

uint32_t RateFromHz(int hz) {
  if (hz <= 0 || hz > 99999999) return 0;
  uint32_t r = 0;
  for (int shift = 0; hz > 0; shift += 4, hz /= 10) r |= uint32_t(hz % 10) << shift;
  return r;
}

std::array<uint8_t, 4> EncodeDpiEntry(const DpiCodes& c) {
  const uint8_t x = uint8_t(c.xCode & 0xFF), y = uint8_t(c.yCode & 0xFF);
  const uint8_t m = uint8_t((c.xMode & 3) + 4 * ((c.xCode >> 8) & 3) +
                            16 * ((c.yMode & 3) + 4 * ((c.yCode >> 8) & 3)));
  return GuardedQuad(x, y, m);
}

DpiCodes DecodeDpiEntry(std::span<const uint8_t, 4> b) {
  const uint8_t m = b[2];
  DpiCodes c;
  c.xCode = b[0] + 256u * ((m >> 2) & 3);
  c.yCode = b[1] + 256u * ((m >> 6) & 3);
  c.xMode = m & 3;
  c.yMode = (m >> 4) & 3;
  return c;
}

std::array<uint8_t, 4> EncodeColorQuad(uint32_t color) {
  return GuardedQuad(uint8_t(color), uint8_t(color >> 8), uint8_t(color >> 16));
}

uint32_t DecodeColor(uint8_t r, uint8_t g, uint8_t b) {
  return uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16;
}

std::array<uint8_t, 4> EncodeMatrixEntry(uint32_t code) {
  return GuardedQuad(uint8_t(code), uint8_t(code >> 8), uint8_t(code >> 16));
}

int LightTableIndex(const uint8_t (&table)[10], uint8_t code) {
  for (int i = 0; i < 10; ++i)
    if (table[i] == code) return i;
  return -1;
}

// ---- Main light modes.

namespace {
constexpr int kProHwOfUi[7] = {4, 2, 1, 0, 3, 5, 7};
constexpr int kPlusHwOfUi[7] = {0, 3, 2, 1, 4, 6, 5};
}  // namespace

int MainHwModePro(int uiMode) { return uiMode >= 0 && uiMode <= 6 ? kProHwOfUi[uiMode] : 4; }

int MainUiModePro(int hwMode) {
  for (int ui = 1; ui <= 6; ++ui)
    if (kProHwOfUi[ui] == hwMode) return ui;
  return 0;
}

int MainHwModePlus(int uiMode) {
  return uiMode >= 0 && uiMode <= 6 ? kPlusHwOfUi[uiMode] : uiMode;
}

int MainUiModePlus(int hwMode) {
  for (int ui = 1; ui <= 6; ++ui)
    if (kPlusHwOfUi[ui] == hwMode) return ui;
  return hwMode;
}

std::array<uint8_t, 7> EncodeMainLightPro(const LightSetting& light) {
  const bool tablesA = light.nMode == 3;
  const uint8_t speed = (tablesA ? kLightSpeedA : kLightSpeedB)[TableSlot(light.nSpeed)];
  const uint8_t bright = (tablesA ? kLightBrightA : kLightBrightB)[TableSlot(light.nBright)];
  std::array<uint8_t, 7> b = {uint8_t(MainHwModePro(light.nMode)), uint8_t(light.dwColor),
                              uint8_t(light.dwColor >> 8),          uint8_t(light.dwColor >> 16),
                              speed,                                bright,
                              0};
  b[6] = GuardCheck(std::span(b).first(6));
  return b;
}

std::array<uint8_t, 7> EncodeMainLightPlus(const LightSetting& light) {
  std::array<uint8_t, 7> b = {uint8_t(MainHwModePlus(light.nMode)),
                              uint8_t(light.dwColor),
                              uint8_t(light.dwColor >> 8),
                              uint8_t(light.dwColor >> 16),
                              uint8_t(light.nSpeed - 1),
                              uint8_t(light.nBright - 1),
                              0};
  b[6] = GuardCheck(std::span(b).first(6));
  return b;
}

std::array<uint8_t, 7> MainLightOffPro(std::span<const uint8_t, 7> device) {
  std::array<uint8_t, 7> b;
  std::copy(device.begin(), device.end(), b.begin());
  b[0] = 4;
  b[6] = GuardCheck(std::span(b).first(6));
  return b;
}

void EEPROM_To_MainRGB(std::span<const uint8_t, 8> b, LightSetting& light, bool log, bool plus) {
  if (log) {
    LogHex(b.data(), b.size(), 0, "EEPROM_To_MainRGB: ");
    if (plus)
      LogPrint("EEPROM_To_MainRGB: mode=%x, speed=%x, light=%x, color=%x,%x,%x, off=%x", b[0],
               b[4], b[5], b[1], b[2], b[3], b[7]);
    else
      LogPrint("EEPROM_To_MainRGB: mode=%x, speed=%x, light=%x, color=%x,%x,%x", b[0], b[4],
               b[5], b[1], b[2], b[3]);
  }
  const uint32_t color = DecodeColor(b[1], b[2], b[3]);
  if (plus) {
    if (b[7] == 0) {
      light.nMode = 0;
      return;
    }
    light.nMode = MainUiModePlus(b[0]);
    light.dwColor = color;
    light.nSpeed = b[4] + 1;
    light.nBright = b[5] + 1;
    return;
  }
  const int ui = MainUiModePro(b[0]);
  int speed = 0, bright = 0;
  if (ui != 0) {
    const bool tablesA = ui == 3;
    if (ui != 1) {
      speed = LightTableIndex(tablesA ? kLightSpeedA : kLightSpeedB, b[4]);
      if (speed < 0) {
        LogPrint("EEPROM_To_MainRGB: Unkown Speed");
        speed = 0;
      }
    }
    bright = LightTableIndex(tablesA ? kLightBrightA : kLightBrightB, b[5]);
    if (bright < 0) {
      LogPrint("EEPROM_To_MainRGB: Unkown Bri");
      bright = 0;
    }
  }
  light.nMode = ui;
  if (ui == 0) return;
  light.nSpeed = speed + 1;
  light.nBright = bright + 1;
  light.dwColor = color;
}

void EEPROM_To_LogoRGB(std::span<const uint8_t, 10> b, LightSetting& light) {
  LogHex(b.data(), b.size(), 0, "EEPROM_To_LogoRGB: ");
  LogPrint("EEPROM_To_LogoRGB: mode=%x, speed=%x, light=%x, color=%x,%x,%x", b[4], b[8], b[6],
           b[0], b[1], b[2]);
  const int mode = b[4];
  int bright = 0;
  if (mode >= 1 && mode <= 3) {
    bright = LightTableIndex(kLightBrightB, b[6]);
    if (bright < 0) {
      LogPrint("EEPROM_To_LogoRGB: Unkown Bri");
      bright = 0;
    }
  }
  int speed = b[8];
  if (speed < 1 || speed > 5) {
    LogPrint("EEPROM_To_LogoRGB: Unkown Speed");
    speed = 0;
  }
  light.nMode = mode;
  if (mode == 0) return;
  light.nSpeed = speed;
  light.nBright = bright + 1;
  light.dwColor = DecodeColor(b[0], b[1], b[2]);
}

void EEPROM_To_DpiLight(std::span<const uint8_t, 8> b, DpiLightSetting& light, bool plus) {
  if (plus && b[6] == 0) {
    light.nMode = 0;
    return;
  }
  light.nMode = b[0];
  light.nSpeed = b[4] - 1;
  const int bright = LightTableIndex(kDpiLightBright, b[2]);
  light.nBright = bright < 0 ? 0 : bright;
}

std::array<uint8_t, 10> EncodeLogoLight(const LightSetting& light) {
  const auto rgb = EncodeColorQuad(light.dwColor);
  const uint8_t mode = uint8_t(light.nMode);
  const uint8_t bright = kLightBrightB[TableSlot(light.nBright)];
  const uint8_t speed = uint8_t(light.nSpeed);
  return {rgb[0], rgb[1], rgb[2], rgb[3], mode, uint8_t(0x55 - mode), bright,
          uint8_t(0x55 - bright), speed, uint8_t(0x55 - speed)};
}

std::array<uint8_t, 6> EncodeDpiLight(const DpiLightSetting& light) {
  const uint8_t mode = uint8_t(light.nMode);
  const uint8_t bright = kDpiLightBright[std::clamp(light.nBright, 0, 9)];
  const uint8_t speed = uint8_t(light.nSpeed + 1);
  return {mode, uint8_t(0x55 - mode), bright, uint8_t(0x55 - bright), speed,
          uint8_t(0x55 - speed)};
}

}  // namespace tolvane
