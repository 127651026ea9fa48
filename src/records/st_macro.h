// The editor form of a macro: kept in the library, written to .qxm files.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tolvane {

constexpr uint32_t kMacroMagic = 0xFACB99A0;
constexpr uint32_t kMacroDirtySettings = 0x40000000;  // auto delay, loop mode, repeat
constexpr uint32_t kMacroDirtyEvents = 0x80000000;    // the event list
constexpr int kMacroEventSlots = 91;
constexpr int kMaxMacroEvents = 70;
constexpr int kMacroNameUnits = 40;  // UTF-16 code units, terminator included

// Event flags.
constexpr uint16_t kEventRelease = 0;
constexpr uint16_t kEventPress = 1;
constexpr uint16_t kEventMove = 2;

// Mouse codes in MacroEvent::wCode.
constexpr uint16_t kMouseLeft = 0xF0, kMouseRight = 0xF1, kMouseMiddle = 0xF2,
                   kMouseForward = 0xF3, kMouseBack = 0xF4, kWheelUp = 0xF5, kWheelDown = 0xF6;

#pragma pack(push, 1)
struct MacroEvent {
  uint16_t wCode;    // virtual-key code, mouse code, or x (low) / y (high) of a move
  uint16_t wFlag;    // kEventRelease, kEventPress or kEventMove
  uint32_t dwDelay;  // milliseconds to wait after the event
};

// 834 bytes, little-endian, no padding.
struct StMacro {
  uint32_t dwMagicNumber;
  uint32_t dwID;       // 24 significant bits
  uint32_t dwDirty;    // kMacroDirtySettings | kMacroDirtyEvents
  uint32_t bAutoDelay;
  uint32_t nLoopMode;  // 0 repeat wRepeat times, 1 -> play byte 0xFF, 2 -> 0xFE
  uint16_t szName[kMacroNameUnits];  // UTF-16, zero-terminated
  uint32_t dwReserved;
  uint16_t wRepeat;
  MacroEvent stEvents[kMacroEventSlots];  // ends at the first all-zero event
};
#pragma pack(pop)

static_assert(sizeof(MacroEvent) == 8);
static_assert(sizeof(StMacro) == 834);
static_assert(offsetof(StMacro, dwID) == 4);
static_assert(offsetof(StMacro, dwDirty) == 8);
static_assert(offsetof(StMacro, bAutoDelay) == 12);
static_assert(offsetof(StMacro, nLoopMode) == 16);
static_assert(offsetof(StMacro, szName) == 20);
static_assert(offsetof(StMacro, dwReserved) == 100);
static_assert(offsetof(StMacro, wRepeat) == 104);
static_assert(offsetof(StMacro, stEvents) == 106);

}  // namespace tolvane
