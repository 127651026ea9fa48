// The rules of the button page without pixels: the function menu built from
// the model and the catalogue, what a menu choice becomes, the names and
// icons of assignments, where the menu opens, and the value tables of the
// debounce and sensor-sleep controls.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "config/dev_cfg.h"
#include "profile/key_codes.h"

namespace tolvane {
struct SensorCfg;
}

namespace tolvane::ui {

constexpr uint32_t kTopLevel = 255;  // group of a top-level item

struct KeyMenuEntry {
  uint32_t group = kTopLevel;  // kTopLevel, or the index of the item that owns it
  uint32_t value = 0;          // what a choice of it returns
  std::string textId;          // empty for the sniper values ("%d")
  std::string text;
};

// What the menu depends on besides the model.
struct KeyMenuFacts {
  bool showProfileSwitch = true;    // cfg.ini ShowProSw
  const SensorCfg* sensor = nullptr;  // the DPI table of the model's sensor
};

// The function menu of a button: top-level items in their order, then the
// items of each sub-menu with `group` pointing at their parent. A parent
// whose sub-menu would be empty is left out.
std::vector<KeyMenuEntry> BuildKeyMenu(const DevCfg& model, const KeyMenuFacts& facts,
                                       const TextLookup& texts);

// The sniper sub-menu: each of 100, 200, ..., 1100 that the table holds, with
// value kFunSniper + index * 0x100 (the index in bits 8-23).
std::vector<KeyMenuEntry> SniperMenu(const SensorCfg* sensor);
// The table index a sniper menu value carries.
uint32_t SniperIndexOf(uint32_t menuValue);

// What a choice asks for next.
enum class ChoiceKind { Macro, Combination, Assignment };
struct MenuChoice {
  ChoiceKind kind = ChoiceKind::Assignment;
  KeyInfo key;  // the assignment (kind Assignment)
};
MenuChoice DecideChoice(uint32_t menuValue);

// A captured key combination as an assignment; none for an empty one.
std::optional<KeyInfo> ComboAssignment(const KeyCombo& combo);

// The name a hot-spot shows; an assignment without a name is called unknown
// with its function code.
std::string AssignmentName(const KeyInfo& key, const KeyCodeEnv& env, const TextLookup& texts);
bool IsUnknownAssignment(const KeyInfo& key, const KeyCodeEnv& env, const TextLookup& texts);

// The icon file (in the skins' Icon folder) of a function; empty for none.
std::string IconName(uint32_t funId);

// Whether cfg.ini KeyMask disables the hot-spot of key `index`.
constexpr bool KeyMasked(uint32_t keyMask, int index) {
  return index >= 0 && index < 32 && (keyMask >> index) & 1u;
}

// Where the function menu opens for a hot-spot at `hot` (screen coordinates).
struct MenuPlace {
  int x = 0, y = 0, width = 0;
};
MenuPlace PlaceKeyMenu(const Rect& hot, int menuW, int menuItems, int screenBottom);

// The sensor-sleep control: 13 positions and their values.
const std::vector<int>& SensorSleepValues();
// "%d sec" of v x 10 below 6, else "%d min" of v x 10 / 60.
std::string SensorSleepLabel(int value);

// "name.qxa" for a name without that suffix (letter case aside).
std::string WithQxaSuffix(const std::string& path);

}  // namespace tolvane::ui
