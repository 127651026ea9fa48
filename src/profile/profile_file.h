// The profile record and the device's EEPROM settings map.
//
// ProfileFile is the 2120-byte settings record of one profile, stored byte for
// byte in profile files, so every offset below is part of the file format.
// The EEPROM functions are pure: they turn record values into the guarded
// bytes the device keeps and back, and never read outside the spans given.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "records/key_info.h"

namespace tolvane {

constexpr uint32_t kProfileMagic = 0xFCAA1234;
constexpr int kProfileNameUnits = 20;  // UTF-16 code units, terminator included
constexpr int kProfileDpiLevels = 8;

// Windows pointer settings kept with a profile.
struct SysMouseSettings {
  int32_t nScrollLines = 3;
  int32_t nDoubleClickTime = 550;  // ms
  int32_t nPointerSpeed = 10;      // 1-20
  int32_t bEnhancePrecision = 1;
  int32_t nTrails = 0;
};
static_assert(sizeof(SysMouseSettings) == 20);

// One DPI level.
struct DpiLevel {
  uint32_t dwDpiX = 0;
  uint32_t dwDpiY = 0;
  uint32_t dwColor = 0;  // 0x00BBGGRR
  uint32_t bAbsent = 1;  // 1 = level not in use
};
static_assert(sizeof(DpiLevel) == 16);

struct DpiLightSetting {
  int32_t nMode = 0;    // 0 = off
  int32_t nSpeed = 0;   // index 0-4
  int32_t nBright = 0;  // index 0-9
};
static_assert(sizeof(DpiLightSetting) == 12);

// Main or logo light: 16 bytes of settings, 40 kept by the lighting page.
struct LightSetting {
  int32_t nMode = 0;     // UI mode 0-6, 0 = off
  int32_t nSpeed = 0;    // 1-based
  int32_t nBright = 0;   // 1-based
  uint32_t dwColor = 0;  // 0x00BBGGRR
  uint8_t bPage[40] = {};
};
static_assert(sizeof(LightSetting) == 56);

struct ProfileFile {
  uint32_t dwMagic = kProfileMagic;
  uint32_t dwID = 0;
  uint8_t bReserved0[520] = {};
  uint16_t szName[kProfileNameUnits] = {};  // UTF-16LE
  int32_t nKeyTable = 0;                    // key table ApplySetting writes, 0-2
  KeyInfo Key[kKeyModes][kMaxKeys] = {};
  uint32_t dwPollingRate = 0x1000;          // hex that reads as Hz
  SysMouseSettings SysMouse;
  int32_t nDpiMode = 0;
  DpiLevel Dpi[kProfileDpiLevels] = {};
  int32_t nCurDpiLevel = 0;
  uint32_t dwSensor = 0;
  int32_t nDpiLevels = 0;
  int32_t nLOD = 0;
  int32_t nRipple = 0;
  int32_t nFixLine = 0;
  int32_t nSleepTime = 0;
  int32_t nDebounce = 0;
  int32_t bLightOffOnMove = 0;
  int32_t bButtonOption = 1;
  int32_t nOption2 = 0;
  int32_t nSensorSleep = 6;
  int32_t nOption3 = 0;
  DpiLightSetting DpiLight;
  uint8_t bReserved1[44] = {};
  LightSetting MainLight;
  LightSetting LogoLight;
  uint8_t bReserved2[20] = {};
};

static_assert(sizeof(ProfileFile) == 2120);
static_assert(offsetof(ProfileFile, dwID) == 0x004);
static_assert(offsetof(ProfileFile, bReserved0) == 0x008);
static_assert(offsetof(ProfileFile, szName) == 0x210);
static_assert(offsetof(ProfileFile, nKeyTable) == 0x238);
static_assert(offsetof(ProfileFile, Key) == 0x23C);
static_assert(offsetof(ProfileFile, dwPollingRate) == 0x6BC);
static_assert(offsetof(ProfileFile, SysMouse) == 0x6C0);
static_assert(offsetof(ProfileFile, nDpiMode) == 0x6D4);
static_assert(offsetof(ProfileFile, Dpi) == 0x6D8);
static_assert(offsetof(ProfileFile, nCurDpiLevel) == 0x758);
static_assert(offsetof(ProfileFile, dwSensor) == 0x75C);
static_assert(offsetof(ProfileFile, nDpiLevels) == 0x760);
static_assert(offsetof(ProfileFile, nLOD) == 0x764);
static_assert(offsetof(ProfileFile, nRipple) == 0x768);
static_assert(offsetof(ProfileFile, nFixLine) == 0x76C);
static_assert(offsetof(ProfileFile, nSleepTime) == 0x770);
static_assert(offsetof(ProfileFile, nDebounce) == 0x774);
static_assert(offsetof(ProfileFile, bLightOffOnMove) == 0x778);
static_assert(offsetof(ProfileFile, bButtonOption) == 0x77C);
static_assert(offsetof(ProfileFile, nOption2) == 0x780);
static_assert(offsetof(ProfileFile, nSensorSleep) == 0x784);
static_assert(offsetof(ProfileFile, nOption3) == 0x788);
static_assert(offsetof(ProfileFile, DpiLight) == 0x78C);
static_assert(offsetof(ProfileFile, bReserved1) == 0x798);
static_assert(offsetof(ProfileFile, MainLight) == 0x7C4);
static_assert(offsetof(ProfileFile, LogoLight) == 0x7FC);
static_assert(offsetof(ProfileFile, bReserved2) == 0x834);

// ---- EEPROM map -------------------------------------------------------------

namespace eeprom {
constexpr uint16_t kRate = 0x00;
constexpr uint16_t kLevels = 0x02;
constexpr uint16_t kCurLevel = 0x04;
constexpr uint16_t kLod = 0x0A;
constexpr uint16_t kDpi = 0x0C;       // + 4 i
constexpr uint16_t kDpiColor = 0x2C;  // + 4 i
constexpr uint16_t kDpiLight = 0x4C;
constexpr uint16_t kDpiLightOn = 0x52;  // PRO+
constexpr uint16_t kLogo = 0x54;
constexpr uint16_t kLogoMode = 0x58;
constexpr uint16_t kMatrix = 0x60;    // + 4 i
constexpr uint16_t kMainLight = 0xA0;
constexpr uint16_t kMainLightOn = 0xA7;  // PRO+
constexpr uint16_t kDebounce = 0xA9;
constexpr uint16_t kButtonOption = 0xAB;
constexpr uint16_t kSleepTime = 0xAD;
constexpr uint16_t kFixLine = 0xAF;
constexpr uint16_t kRipple = 0xB1;
constexpr uint16_t kLightOffOnMove = 0xB3;
constexpr uint16_t kOptB5 = 0xB5;  // PRO: sensor sleep; PRO+: option 3
constexpr uint16_t kOptB7 = 0xB7;  // PRO: option 2; PRO+: sensor sleep
constexpr uint16_t kOptB9 = 0xB9;  // PRO+: option 2
constexpr uint16_t kCombo = 0x100;  // + 32 j
constexpr uint16_t kComboStride = 32;
constexpr int kComboReadBytes = 20;  // of each block, what a profile read takes
constexpr uint16_t kMacro = 0x300;  // + 0x180 j
constexpr uint16_t kMacroStride = 0x180;
constexpr int kSettingsBytes = 190;  // 0x00-0xBD, read in 19 pieces of 10
constexpr int kMatrixEntries = 16;
}  // namespace eeprom

// Guarded values: {v, 0x55 - v} and {b0, b1, b2, 0x55 - b0 - b1 - b2}.
uint8_t GuardCheck(std::span<const uint8_t> bytes);  // 0x55 minus the sum
std::array<uint8_t, 2> GuardedPair(uint8_t v);
std::array<uint8_t, 4> GuardedQuad(uint8_t b0, uint8_t b1, uint8_t b2);

// Polling-rate code (EEPROM 0x00) <-> dwPollingRate. `plus` adds the 2000 and
// 4000 Hz codes. 0 / -1 when there is none.
uint32_t RateFromCode(uint8_t code, bool plus);
int RateToCode(uint32_t rate, bool plus);
// dwPollingRate <-> Hz (0x500 <-> 500); 0 when the value is not a rate.
int RateHz(uint32_t rate);
uint32_t RateFromHz(int hz);

// One DPI entry: register codes (10 bits) and resolution modes (2 bits).
struct DpiCodes {
  uint32_t xCode = 0, xMode = 0, yCode = 0, yMode = 0;
  bool operator==(const DpiCodes&) const = default;
};
std::array<uint8_t, 4> EncodeDpiEntry(const DpiCodes& c);
DpiCodes DecodeDpiEntry(std::span<const uint8_t, 4> b);

// Colours: 0x00BBGGRR <-> guarded quad R, G, B.
std::array<uint8_t, 4> EncodeColorQuad(uint32_t color);
uint32_t DecodeColor(uint8_t r, uint8_t g, uint8_t b);

// Key matrix entry: 24-bit hardware code, check byte.
std::array<uint8_t, 4> EncodeMatrixEntry(uint32_t code);

// ---- Lights -----------------------------------------------------------------

// The five fixed code tables, index 0-9.
extern const uint8_t kLightSpeedA[10];
extern const uint8_t kLightSpeedB[10];
extern const uint8_t kLightBrightA[10];
extern const uint8_t kLightBrightB[10];
extern const uint8_t kDpiLightBright[10];
// Position of `code` in a 10-entry table, -1 when absent.
int LightTableIndex(const uint8_t (&table)[10], uint8_t code);

// Main light UI mode <-> hardware mode.
int MainHwModePro(int uiMode);       // 0 -> 4 (off), other unknown modes -> 4
int MainUiModePro(int hwMode);       // unknown hardware modes -> 0
int MainHwModePlus(int uiMode);      // 0 -> 0; values outside the table as they are
int MainUiModePlus(int hwMode);

// The 7 bytes at 0xA0 for a main light that is on (PRO: table codes for speed
// and brightness; PRO+: 0-based indices). Out-of-range speed and brightness
// are clamped to the table.
std::array<uint8_t, 7> EncodeMainLightPro(const LightSetting& light);
std::array<uint8_t, 7> EncodeMainLightPlus(const LightSetting& light);
// PRO main light off: the device's 7 bytes with mode 4 and a new check byte.
std::array<uint8_t, 7> MainLightOffPro(std::span<const uint8_t, 7> device);

// Decoders of the blocks as read (main light: the 8 bytes at 0xA0, byte 7 is
// the PRO+ on/off byte; logo: the 10 bytes at 0x54; DPI light: the 8 bytes at
// 0x4C, byte 6 is the PRO+ on/off byte). `log` adds the dump and the value line.
void EEPROM_To_MainRGB(std::span<const uint8_t, 8> b, LightSetting& light, bool log, bool plus);
void EEPROM_To_LogoRGB(std::span<const uint8_t, 10> b, LightSetting& light);
void EEPROM_To_DpiLight(std::span<const uint8_t, 8> b, DpiLightSetting& light, bool plus);

// Logo light: the 10 bytes at 0x54 when it is on; off writes {0, 0x55} at 0x58.
std::array<uint8_t, 10> EncodeLogoLight(const LightSetting& light);
// DPI light: the 6 bytes at 0x4C (mode 0 writes {0, 0x55} at 0x4C).
std::array<uint8_t, 6> EncodeDpiLight(const DpiLightSetting& light);

}  // namespace tolvane
