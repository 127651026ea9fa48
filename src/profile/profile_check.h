// The rules a profile must keep before it may be written to a mouse of a
// given model: DPI values the sensor offers, level count and current level in
// range, a rate the model's protocol has, every single setting within what
// the pages offer, light modes, speeds and brightness in range, and every
// button a function the program knows (its macro, when it has one, playable).
//
// A profile from outside (an export file) is checked before anything of it
// reaches the mouse, the local store or the macro library. A finding is
// either fatal (the file is refused) or mendable: the field gets the value
// the model's defaults give it, and the mend is logged.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "config/dev_cfg.h"
#include "records/st_macro.h"
#include "profile/profile_file.h"

namespace tolvane {

class SensorTables;

struct ProfileFinding {
  std::string field;  // "Dpi[2].dwDpiX", "Key[0][5].dwFunID", ...
  std::string what;   // the value and why it is refused or mended
  bool mendable = false;
};

struct ProfileCheck {
  std::vector<ProfileFinding> findings;
  // No fatal finding.
  bool Ok() const;
  // The first fatal finding as "field: what", empty when there is none.
  std::string FirstFatal() const;
  bool HasMends() const;
};

// The macro a macro button plays, when the caller knows it (the export file's
// slots, the library); null when it does not. Macros found are checked too.
using MacroSource = std::function<const StMacro*(uint32_t id)>;

// Checks `p` against `model`. DPI values are looked up in `sensors` (the
// catalogue's tables when null); a sensor without a table takes multiples of
// 50 from 50 to 26000.
ProfileCheck CheckProfileForModel(const ProfileFile& p, const DevCfg& model,
                                  const MacroSource& macros = {},
                                  const SensorTables* sensors = nullptr);

// Applies the mendable findings of CheckProfileForModel to `p` and logs each
// ("CheckProfile: nCurDpiLevel=9 mended to 0"): the level count and current
// level into range, levels the profile does not have to the model's default
// DPI and colour, the model's sensor, matrix positions that do not exist to
// none. Returns true when something changed.
bool MendProfileForModel(ProfileFile& p, const DevCfg& model, const SensorTables* sensors = nullptr);

// True when a single DPI value is one the model's sensor takes.
bool DpiInSensorRange(uint32_t sensor, uint32_t dpi, const SensorTables* sensors = nullptr);

}  // namespace tolvane
