// The virtual mouse's state: its EEPROM and what its firmware keeps in RAM.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tolvane::sim {

constexpr size_t kEepromSize = 0x1B00;
using Eeprom = std::array<uint8_t, kEepromSize>;

enum class Family { Pro, ProPlus };
enum class Link { Wired, Wireless };

const char* FamilyName(Family f);  // "pro" / "pro+"
const char* LinkName(Link l);      // "wired" / "wireless"

// Addresses of the settings map.
namespace ee {
constexpr uint16_t kRate = 0x00;
constexpr uint16_t kLevels = 0x02;
constexpr uint16_t kCurLevel = 0x04;
constexpr uint16_t kLod = 0x0A;
constexpr uint16_t kDpi = 0x0C;        // + 4 i
constexpr uint16_t kDpiColor = 0x2C;   // + 4 i
constexpr uint16_t kDpiLight = 0x4C;
constexpr uint16_t kDpiLightOn = 0x52; // PRO+ only
constexpr uint16_t kLogo = 0x54;
constexpr uint16_t kMatrix = 0x60;     // + 4 i
constexpr uint16_t kMainLight = 0xA0;
constexpr uint16_t kMainLightOn = 0xA7;  // PRO+ only
constexpr uint16_t kDebounce = 0xA9;
constexpr uint16_t kButtonOption = 0xAB;
constexpr uint16_t kSleepTime = 0xAD;
constexpr uint16_t kFixLine = 0xAF;
constexpr uint16_t kRipple = 0xB1;
constexpr uint16_t kLightOffOnMove = 0xB3;
constexpr uint16_t kOptB5 = 0xB5;  // PRO: sensor sleep; PRO+: option 3
constexpr uint16_t kOptB7 = 0xB7;  // PRO: option 2; PRO+: sensor sleep
constexpr uint16_t kOptB9 = 0xB9;  // PRO+: option 2
constexpr uint16_t kCombo = 0x100;     // + 32 j
constexpr uint16_t kComboSize = 32;
constexpr uint16_t kMacro = 0x300;     // + 0x180 j
constexpr uint16_t kMacroSize = 0x180;
}  // namespace ee

// Guarded values: {v, 0x55 - v} and {b0, b1, b2, 0x55 - b0 - b1 - b2}.
void PutPair(Eeprom& e, uint16_t addr, uint8_t v);
void PutQuad(Eeprom& e, uint16_t addr, uint8_t b0, uint8_t b1, uint8_t b2);
bool PairOk(const Eeprom& e, uint16_t addr);
bool QuadOk(const Eeprom& e, uint16_t addr);
// Check byte that makes `n` bytes plus itself sum to 0x55.
uint8_t CheckByte(const uint8_t* bytes, size_t n);

// Polling-rate codes of the rate byte at 0x00.
constexpr uint8_t kRateCodes[] = {8, 4, 2, 1, 16, 32};  // 125 ... 4000 Hz
// Code for a rate written as hex-that-reads-as-Hz (0x1000 = 1000 Hz); 0 if none.
uint8_t RateToCode(uint32_t rate);

// Everything the firmware keeps besides the EEPROM.
struct MouseState {
  Family family = Family::Pro;
  Link link = Link::Wired;
  uint16_t vid = 0;
  uint16_t pid = 0;
  uint16_t version = 0x0100;  // bcdDevice
  uint8_t cid = 0;
  uint8_t mid = 0;
  uint8_t code4k = 0;       // PRO+: identification byte 11 (1 or 3 = 4K capable)
  uint8_t power = 100;      // battery level in percent
  bool charging = false;
  bool asleep = false;      // wireless: the mouse behind the receiver is off
  uint8_t profile = 0;      // active profile number, 0-3
  uint8_t drvStatus = 1;    // last TellDrvStatus value
  uint8_t cmd06 = 0;        // answer of command 6
  uint8_t cmd0F = 1;        // answer of command 0x0F (0 = lighting locked)
  Eeprom eeprom{};
  Eeprom factory{};         // image a reset restores
};

// Raw image files: exactly kEepromSize bytes.
bool LoadEepromFile(const std::string& path, Eeprom& out, std::string* err);
// Replaces the file through a temporary file in the same folder.
bool SaveEepromFile(const std::string& path, const Eeprom& e, std::string* err);

}  // namespace tolvane::sim
