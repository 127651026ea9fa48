// One button assignment as the program describes it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tolvane {

// Keyboard part of an assignment: byte 0 holds the modifier bits in the HID
// layout (0x01 left Ctrl, 0x02 left Shift, 0x04 left Alt, 0x08 left Windows,
// 0x10..0x80 the right-hand keys), bytes 1-3 up to three keys as virtual-key
// codes (0 = none).
struct KeyCombo {
  uint8_t bModifiers = 0;
  uint8_t bKeys[3] = {0, 0, 0};
};
static_assert(sizeof(KeyCombo) == 4);

// 24 bytes, stored byte for byte in profile records and files.
struct KeyInfo {
  uint32_t dwFunID = 0;      // bits 24-31 group, bits 0-23 function
  uint32_t nMatrix = 0;      // 1-based position in the device's key matrix, 0 = none
  uint32_t dwMacroID = 0;    // macro group: id of the library macro
  KeyCombo stCombo;          // keyboard group
  uint32_t dwParameter = 0;  // fire settings, DPI table position, raw code
  uint32_t dwReserved = 0;
};
static_assert(sizeof(KeyInfo) == 24);
static_assert(offsetof(KeyInfo, dwFunID) == 0);
static_assert(offsetof(KeyInfo, nMatrix) == 4);
static_assert(offsetof(KeyInfo, dwMacroID) == 8);
static_assert(offsetof(KeyInfo, stCombo) == 12);
static_assert(offsetof(KeyInfo, dwParameter) == 16);
static_assert(offsetof(KeyInfo, dwReserved) == 20);

constexpr int kKeyModes = 3;    // a profile and a catalogue model hold 3 tables
constexpr int kMaxKeys = 16;    // of 16 assignments each

// ---- Function codes (KeyInfo::dwFunID) -------------------------------------
// Bits 24..31 are the group, bits 0..23 the function within it.

constexpr uint32_t FunGroup(uint32_t fun) { return fun >> 24; }
constexpr uint32_t FunLow(uint32_t fun) { return fun & 0xFFFFFF; }

constexpr uint32_t kGroupMouse = 0x01, kGroupKeyboard = 0x02, kGroupAppKey = 0x03,
                   kGroupMedia = 0x04, kGroupMacro = 0x05, kGroupSpecial = 0x08,
                   kGroupRaw = 0x0B;

// Mouse buttons.
constexpr uint32_t kFunLeftClick = 0x01000011;
constexpr uint32_t kFunMiddleClick = 0x01000012;
constexpr uint32_t kFunRightClick = 0x01000013;
constexpr uint32_t kFunForward = 0x01000014;
constexpr uint32_t kFunBack = 0x01000015;
constexpr uint32_t kFunDoubleClick = 0x01000016;
constexpr uint32_t kFunTripleClick = 0x01000017;
constexpr uint32_t kFunRightDoubleClick = 0x01000018;  // label only, no hardware code
// Keyboard: the keys of stCombo, with a modifier (the catalogue always uses it)
// or without.
constexpr uint32_t kFunComboKey = 0x020000A1;
constexpr uint32_t kFunPlainKey = 0x020000A0;
// Application keys.
constexpr uint32_t kFunAppMail = 0x03000030;
constexpr uint32_t kFunAppCalculator = 0x03000031;
constexpr uint32_t kFunAppMyComputer = 0x03000032;
constexpr uint32_t kFunAppSearch = 0x03000033;
constexpr uint32_t kFunAppHomePage = 0x03000034;
constexpr uint32_t kFunAppBrowserBack = 0x03000035;
constexpr uint32_t kFunAppBrowserForward = 0x03000036;
constexpr uint32_t kFunAppBrowserStop = 0x03000037;
constexpr uint32_t kFunAppBrowserRefresh = 0x03000038;
constexpr uint32_t kFunAppFavourites = 0x03000039;
// Media keys.
constexpr uint32_t kFunMediaSelect = 0x04000021;
constexpr uint32_t kFunPlayPause = 0x04000022;
constexpr uint32_t kFunMediaStop = 0x04000023;
constexpr uint32_t kFunPrevTrack = 0x04000024;
constexpr uint32_t kFunNextTrack = 0x04000025;
constexpr uint32_t kFunVolumeUp = 0x04000026;
constexpr uint32_t kFunVolumeDown = 0x04000027;
constexpr uint32_t kFunMute = 0x04000028;
// Macro: plays the library macro dwMacroID.
constexpr uint32_t kFunMacro = 0x05000000;
// Special functions.
constexpr uint32_t kFunDisabled = 0x080000A2;
constexpr uint32_t kFunShift = 0x080000A3;       // label only, no hardware code
constexpr uint32_t kFunFire = 0x080000A4;        // dwParameter: clicks (byte 0), interval (byte 1)
constexpr uint32_t kFunSniper = 0x080000A6;      // dwParameter: position in the DPI table
constexpr uint32_t kFunLightOnOff = 0x080000A7;
constexpr uint32_t kFunDpiUp = 0x080000A8;
constexpr uint32_t kFunDpiDown = 0x080000A9;
constexpr uint32_t kFunDpiCycle = 0x080000AA;
constexpr uint32_t kFunRateSwitch = 0x080000AC;
constexpr uint32_t kFunCustom = 0x080000AD;      // dwParameter is the hardware code
constexpr uint32_t kFunLightEffectSwitch = 0x080000AE;
constexpr uint32_t kFunProfileSwitch = 0x080000B0;
// Raw: dwParameter is the hardware code.
constexpr uint32_t kFunRaw = 0x0B000000;
// Menu headings, never stored.
constexpr uint32_t kFunHeadingDpi = 0x08000000;
constexpr uint32_t kFunHeadingMedia = 0x04000000;

}  // namespace tolvane
