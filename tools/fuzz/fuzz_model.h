// The model, macros and store the profile-file fuzz targets work on: a
// six-level PRO model with ten buttons and a library of two macros with fixed
// ids, so that seeds can refer to them.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "config/dev_cfg.h"
#include "macro/hd_macro.h"
#include "records/st_macro.h"
#include "profile/key_codes.h"
#include "profile/profile_store.h"
#include "support/test_models.h"

namespace tolvane::fuzz {

inline constexpr uint32_t kLibraryIds[2] = {0x111111, 0x222222};
inline constexpr uint32_t kStoreIds[4] = {0x10, 0x20, 0x30, 0x40};

// The store tests' ten-button model with the debounce and sleep pages and
// no sleep default.
inline DevCfg FuzzModel() {
  DevCfg m = test::TenButtonModel();
  m.nSleepTime = 0;
  m.bSleepTimeCheck = 0;
  m.bShowDebounce = m.bShowSleep = 1;
  return m;
}

// Texts without a language file; no pointer settings of the machine.
inline TextFn FuzzTexts() {
  return [](std::string_view id) { return std::string(id); };
}
inline PointerQuery NoPointer() {
  return [] { return PointerReadings{}; };
}

}  // namespace tolvane::fuzz
