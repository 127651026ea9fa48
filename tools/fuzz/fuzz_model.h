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

namespace tolvane::fuzz {

inline constexpr uint32_t kLibraryIds[2] = {0x111111, 0x222222};
inline constexpr uint32_t kStoreIds[4] = {0x10, 0x20, 0x30, 0x40};

inline DevCfg FuzzModel() {
  DevCfg m;
  m.nCid = 0x0a;
  m.nMid = 0x31;
  m.nSensor = 0x3395;
  m.bWideRange = 1;
  m.nDM = 6;
  for (int i = 0; i < 6; ++i) {
    m.dwDpi[i] = 400u * uint32_t(i + 1);
    m.dwDpiColor[i] = 0x000010u * uint32_t(i + 1);
  }
  m.nDefRate = 0x1000;
  m.nKeyCount = 10;
  for (int t = 0; t < kKeyModes; ++t)
    for (int b = 0; b < 10; ++b) {
      m.keys[t][b].dwFunID = kFunLeftClick;
      m.keys[t][b].nMatrix = uint32_t(b + 1);
    }
  m.bShowLOD = m.bShowDpi = m.bShowDebounce = m.bShowSleep = 1;
  m.dwDpiLEDMode = 0x030502;
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
