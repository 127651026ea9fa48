// The virtual mouse's state: its EEPROM and what its firmware keeps in RAM.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "profile/profile_file.h"

namespace tolvane::sim {

constexpr size_t kEepromSize = 0x1B00;
using Eeprom = std::array<uint8_t, kEepromSize>;

enum class Family { Pro, ProPlus };
enum class Link { Wired, Wireless };

const char* FamilyName(Family f);  // "pro" / "pro+"
const char* LinkName(Link l);      // "wired" / "wireless"

// Addresses of the settings map: the host's map.
namespace ee = tolvane::eeprom;

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
