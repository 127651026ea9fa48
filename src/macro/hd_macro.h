// The device form of a macro (one EEPROM slot per button), its conversion
// from and to the editor form, the play byte, the macro name in UTF-8 and the
// time-based id of macros and profiles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "records/st_macro.h"

namespace tolvane {

constexpr size_t kHdMacroSize = 384;       // one EEPROM macro slot
constexpr int kHdMacroSlots = 16;          // one per matrix index 0..15
constexpr uint16_t kHdMacroBase = 0x300;   // EEPROM address of slot 0
constexpr size_t kHdNameBytes = 30;        // 15 UTF-16 code units
constexpr size_t kHdNameUnits = kHdNameBytes / 2;
constexpr size_t kHdEventSize = 5;
constexpr size_t kHdEventsOffset = 32;     // first event, right after the count byte
constexpr uint32_t kMaxMacroDelay = 65535; // ms; larger delays keep their low 16 bits

// Flag byte of a device event: direction in bits 7..6, type in bits 2..0.
constexpr uint8_t kHdPress = 0x80;
constexpr uint8_t kHdRelease = 0x40;
constexpr uint8_t kHdTypeModifier = 0;
constexpr uint8_t kHdTypeKey = 1;
constexpr uint8_t kHdTypeMouse = 4;
constexpr uint8_t kHdTypeMove = 5;  // the whole flag byte, no direction bits

// One EEPROM macro record, 384 bytes. After the 32-byte head come n events of
// 5 bytes, a checksum byte and, where it fits, three 0 bytes.
#pragma pack(push, 1)
struct HdMacro {
  uint8_t bNameLen;                    // 2 x name code units, at most 30
  uint8_t szName[kHdNameBytes];        // UTF-16LE, unused bytes 0
  uint8_t bEventCount;                 // 0..70
  uint8_t bData[kHdMacroSize - kHdEventsOffset];

  uint8_t* Bytes() { return reinterpret_cast<uint8_t*>(this); }
  const uint8_t* Bytes() const { return reinterpret_cast<const uint8_t*>(this); }
};
#pragma pack(pop)

static_assert(sizeof(HdMacro) == kHdMacroSize);
static_assert(offsetof(HdMacro, szName) == 1);
static_assert(offsetof(HdMacro, bEventCount) == 31);
static_assert(offsetof(HdMacro, bData) == kHdEventsOffset);
static_assert(kHdEventsOffset + kHdEventSize * kMaxMacroEvents + 1 <= kHdMacroSize);

// EEPROM address of the record of matrix position m (0..15).
constexpr uint16_t HdMacroAddress(int m) { return uint16_t(kHdMacroBase + kHdMacroSize * m); }

// Editor form -> device form: fills `out` with zeros, then the count byte and
// the events (at most 70; the list ends at the first event with code and delay
// both 0). The name length and name stay 0. Returns the bytes produced,
// 32 + 5 x events.
size_t StMacro_To_HdMacro(const StMacro& macro, HdMacro& out);

// True when a press or release code (virtual key or mouse code 0xF0..0xF4)
// has a device form; the wheel codes and unknown keys have none.
bool MacroCodeHasKey(uint16_t code);

// The complete EEPROM record of a button's macro: events, checksum, the three
// terminator bytes where they fit, and the name (first 15 code units, not
// covered by the checksum). Returns the number of bytes to write from record
// offset 0: events + 1, plus 3 when the terminator fits. `keyIndex` (the
// button's index in the profile) and `matrixIndex` are only logged.
size_t BuildHdMacroRecord(const StMacro& macro, HdMacro& out, int keyIndex, int matrixIndex);

// Device form -> editor form. `events` starts at the event count byte of a
// record (record offset 31) and holds what was read; nothing beyond it is
// read: the count is limited to 70 and to the whole events that `events`
// holds. `out` is overwritten: magic, the given id, auto delay 1, loop mode 0,
// no name, the events; the last event's delay reads as 0. Conversion errors
// are logged and leave a 0 code or flag. Returns false, leaving `out`
// untouched, only when `events` is empty.
bool HdMacro_To_StMacro(StMacro& out, std::span<const uint8_t> events, uint32_t id);
// The same with a new id from MakeTimeId (which waits 20 ms).
bool HdMacro_To_StMacro(StMacro& out, std::span<const uint8_t> events);

// szName from the name bytes of a record (UTF-16LE, up to 15 units, ending at
// the first 0 unit; a record's length byte is not consulted). Reads at most
// `nameBytes.size()` bytes.
void SetMacroNameFromRecord(StMacro& macro, std::span<const uint8_t> nameBytes);

// Play byte of a macro button's function code (bits 16..23): 0xFF for loop
// mode 1, 0xFE for loop mode 2, else the low 8 bits of wRepeat.
uint8_t MacroPlayByte(const StMacro& macro);
// The reverse, when a profile is read: 0xFE -> loop mode 2, 0xFF -> 1, any
// other value -> loop mode 0 with wRepeat = the value.
void SetMacroPlayByte(StMacro& macro, uint8_t play);

// Macro name as UTF-8 (szName up to its terminator or 40 units; unpaired
// surrogates become U+FFFD).
std::string GetMacroName(const StMacro& macro);
// Stores a UTF-8 name in szName, zero-terminated, at most 39 code units, never
// splitting a surrogate pair; invalid UTF-8 bytes become U+FFFD. Returns false
// when the name had to be shortened.
bool SetMacroName(StMacro& macro, std::string_view utf8);

// The time-based id of macros and profiles (24 significant bits) from a local
// time: ((hour & 0x0F) << 12 | minute << 6 | second) << 8 | (ms & 0xFF).
constexpr uint32_t TimeId(int hour, int minute, int second, int millisecond) {
  return ((uint32_t(hour & 0x0F) << 12 | uint32_t(minute) << 6 | uint32_t(second)) << 8) |
         (uint32_t(millisecond) & 0xFF);
}
// Waits 20 ms and returns TimeId of the local time; waits again while the
// result equals the id this process handed out last, so two ids made one
// after the other always differ.
uint32_t MakeTimeId();

}  // namespace tolvane
