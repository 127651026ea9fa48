// The factory image: the EEPROM a new virtual mouse of a catalogue model holds.
#pragma once

#include <cstdint>
#include <functional>

#include "config/dev_cfg.h"
#include "sim/sim_state.h"

namespace tolvane::sim {

// DPI value -> register code of a sensor; `*mode` (never null) gets the
// resolution mode. 0 when the value has no code.
using DpiCodeFn = std::function<uint32_t(uint32_t sensor, uint32_t dpi, uint32_t* mode)>;

// The firmware's own code table for the built-in sensors (the catalogue's
// DPISET/DPIHW overrides are not known here; pass a DpiCodeFn for those).
uint32_t BuiltinDpiToCode(uint32_t sensor, uint32_t dpi, uint32_t* mode);

struct FactoryOptions {
  // Main light of a new device: UI mode, brightness, speed (1-based), r, g, b.
  uint8_t ledParam[6] = {3, 10, 8, 255, 0, 255};
  uint8_t debounce = 4;  // for models without their own debounce
  DpiCodeFn dpiToCode;   // empty: BuiltinDpiToCode
};

// Hardware key code of a catalogue default assignment; 0 (disabled) for
// functions a factory image cannot hold (macros, labels, oversized combos).
uint32_t DefaultKeyCode(const KeyInfo& key);
// Combination record (count byte and 3-byte events) of a keyboard or media
// assignment into `out` (32 bytes, zero-filled, one byte left for the check
// byte); returns its length, 0 for other functions.
size_t DefaultComboRecord(const KeyInfo& key, uint8_t* out);

// The 4-byte DPI entry of one level.
void PutDpiEntry(Eeprom& e, uint16_t addr, uint32_t xCode, uint32_t xMode, uint32_t yCode,
                 uint32_t yMode);

// Every setting of the map from the catalogue entry, guarded values with their
// check bytes; unused bytes, the combination blocks of non-keyboard buttons
// and the macro area hold the erased value 0xFF.
Eeprom BuildFactoryImage(const DevCfg& model, Family family, const FactoryOptions& opt = {});

}  // namespace tolvane::sim
