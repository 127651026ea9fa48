// What the soak checks after an operation: the device's EEPROM against what
// the program wrote and reported, a profile read against the EEPROM, and the
// files of the user folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/dev_cfg.h"
#include "profile/profile_file.h"
#include "sim/sim_state.h"

namespace tolvane {
class MacroLibrary;
}

namespace tolvane::soak {

using sim::Eeprom;

// One EEPROM write command the device took (command 7 sent without error).
struct SentWrite {
  uint16_t addr = 0;
  std::vector<uint8_t> bytes;
};

// A guarded unit of the settings map: a pair {v, 0x55 - v}, a quad
// {b0, b1, b2, 0x55 - b0 - b1 - b2}, or the main light's seven bytes whose
// last byte checks the six before it.
struct GuardedUnit {
  uint16_t addr = 0;
  uint8_t len = 0;  // 2, 4 or 7
};
std::vector<GuardedUnit> GuardedUnits(bool plus);
bool UnitOk(const Eeprom& e, const GuardedUnit& u);

// Bytes an apply of `flag`/`data` must leave at an address when it reports
// success, computed from the profile on the device map's own terms.
struct Expected {
  uint16_t addr = 0;
  std::vector<uint8_t> bytes;
  std::string what;
};
std::vector<Expected> ExpectedWrites(const ProfileFile& p, const DevCfg& model, bool plus,
                                     uint32_t flag, uint32_t data, int curLevel,
                                     const MacroLibrary& library);

// True when a write of `len` bytes at `addr` belongs to one of the groups in
// `flag` (a write anywhere else is a fault).
bool WriteInGroups(uint16_t addr, size_t len, uint32_t flag, bool plus);

// Checks one apply; appends what is wrong to `out`.
void CheckApply(const Eeprom& before, const Eeprom& after, const std::vector<SentWrite>& sent,
                const std::vector<Expected>& expected, bool success, uint32_t flag, bool plus,
                std::vector<std::string>& out);

// Checks a profile the program read successfully against the EEPROM it came
// from (`curLevel`: the DPI level the program took from the device).
void CheckReadMatches(const ProfileFile& p, const Eeprom& e, const DevCfg& model, bool plus,
                      int curLevel, std::vector<std::string>& out);

// Every profile store, global settings file, export, macro file and macro
// snapshot below `dir` loads; no temporary file of a replacing write is left.
void CheckUserFiles(const std::string& dir, std::vector<std::string>& out);

}  // namespace tolvane::soak
