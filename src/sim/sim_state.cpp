#include "sim/sim_state.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "app/atomic_file.h"

namespace tolvane::sim {

const char* FamilyName(Family f) { return f == Family::Pro ? "pro" : "pro+"; }
const char* LinkName(Link l) { return l == Link::Wired ? "wired" : "wireless"; }

void PutPair(Eeprom& e, uint16_t addr, uint8_t v) {
  e[addr] = v;
  e[addr + 1] = uint8_t(0x55 - v);
}

void PutQuad(Eeprom& e, uint16_t addr, uint8_t b0, uint8_t b1, uint8_t b2) {
  e[addr] = b0;
  e[addr + 1] = b1;
  e[addr + 2] = b2;
  e[addr + 3] = uint8_t(0x55 - b0 - b1 - b2);
}

bool PairOk(const Eeprom& e, uint16_t addr) {
  return uint8_t(e[addr] + e[addr + 1]) == 0x55;
}

bool QuadOk(const Eeprom& e, uint16_t addr) {
  return uint8_t(e[addr] + e[addr + 1] + e[addr + 2] + e[addr + 3]) == 0x55;
}

uint8_t CheckByte(const uint8_t* bytes, size_t n) {
  uint8_t sum = 0;
  for (size_t i = 0; i < n; ++i) sum = uint8_t(sum + bytes[i]);
  return uint8_t(0x55 - sum);
}

uint8_t RateToCode(uint32_t rate) {
  switch (rate) {
    case 0x125: return 8;
    case 0x250: return 4;
    case 0x500: return 2;
    case 0x1000: return 1;
    case 0x2000: return 16;
    case 0x4000: return 32;
  }
  return 0;
}

bool LoadEepromFile(const std::string& path, Eeprom& out, std::string* err) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (err) *err = "cannot open EEPROM image " + path;
    return false;
  }
  Eeprom tmp{};
  in.read(reinterpret_cast<char*>(tmp.data()), tmp.size());
  if (size_t(in.gcount()) != tmp.size() || in.peek() != std::char_traits<char>::eof()) {
    if (err) *err = "EEPROM image " + path + " is not " + std::to_string(kEepromSize) + " bytes";
    return false;
  }
  out = tmp;
  return true;
}

bool SaveEepromFile(const std::string& path, const Eeprom& e, std::string* err) {
  // An image goes only into an existing folder: a mistyped path is refused,
  // not created.
  bool createFailed = false;
  if (int code = WriteFileReplacing(path, e.data(), e.size(), &createFailed, false); code != 0) {
    if (err) {
      *err = (createFailed ? "cannot create a temporary file beside " : "cannot replace ") + path +
             ": " + std::strerror(code);
    }
    return false;
  }
  return true;
}

}  // namespace tolvane::sim
