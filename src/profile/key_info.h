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

}  // namespace tolvane
