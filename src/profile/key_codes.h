// Button function codes: the names of the function codes, the device's
// hardware key codes and combination records, and the display names of
// assignments. The function-code space itself is in records/key_info.h, the
// virtual-key table and key names in records/key_usage.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "records/st_macro.h"
#include "records/key_info.h"
#include "records/key_usage.h"

namespace tolvane {

// A function code and the text id naming it (empty when it has none).
struct FunctionInfo {
  uint32_t dwFunID;
  std::string_view textId;
};
// Every function code above except the headings, in table order.
std::span<const FunctionInfo> FunctionTable();

// ---- Hardware key codes and combination records -----------------------------

// Hardware key code: byte 0 is the type.
constexpr uint32_t kHwDisabled = 0x00, kHwMouse = 0x01, kHwDpi = 0x02, kHwFire = 0x04,
                   kHwCombo = 0x05, kHwMacro = 0x06, kHwRate = 0x07, kHwLight = 0x08,
                   kHwProfile = 0x09, kHwSniper = 0x0A;
constexpr uint32_t kHwDoubleClick = 0x23204;  // fire: 2 clicks, interval 0x32
constexpr uint32_t kHwTripleClick = 0x33204;  // fire: 3 clicks, interval 0x32

// Combination record: a count byte, then 3-byte events (type, code, third
// byte). 32 bytes per matrix position; with the checksum byte it holds at
// most 10 events.
constexpr size_t kComboRecordSize = 32;
constexpr int kMaxComboEvents = 10;
constexpr int kComboRecords = 16;
constexpr uint8_t kComboModDown = 0x80, kComboModUp = 0x40, kComboKeyDown = 0x81,
                  kComboKeyUp = 0x41, kComboConsumerDown = 0x82, kComboConsumerUp = 0x42;

// What the conversions need from the device's model and the macro library.
// The defaults answer "none": no sensor table, an empty library.
class KeyCodeEnv {
 public:
  virtual ~KeyCodeEnv() = default;
  // Register code (low 8 bits) of the DPI at `position` of the model's sensor
  // table; -1 when there is no table or the position is outside it.
  virtual int SniperCode(uint32_t position) const;
  // Table position of the DPI that a sniper register code (mode 0) stands
  // for; -1 when there is none.
  virtual int SniperPosition(uint8_t code) const;
  // DPI value at `position`; -1 when there is none.
  virtual int DpiAt(uint32_t position) const;
  // A copy of the library macro with this id.
  virtual std::optional<StMacro> FindMacro(uint32_t id) const;
  // Id of the library macro with this name (UTF-8).
  virtual std::optional<uint32_t> FindMacroId(std::string_view name) const;
};

// Events a keyboard assignment needs in its combination record: a press and a
// release for each modifier and each key. Right-hand modifier bits count as
// their left-hand keys.
int ComboEventCount(const KeyCombo& combo);

// Hardware code of an assignment; -1 when the function has no hardware form,
// when its macro is not in the library, or when its key combination does not
// fit a combination record (more than 10 events). For a macro the code is
// play byte x 0x10000 + 6; the writer puts the matrix position into byte 1.
int64_t keyinfo_to_hardware_code(const KeyCodeEnv& env, const KeyInfo& key);

// Fills `key` (all fields but the matrix index) from a hardware code read from
// the device. `comboArea` holds the combination records of the matrix
// positions, 32 bytes each, as far as they were read; a keyboard code decodes
// the record of position nMatrix - 1. `macroName` is the name the device
// stores with the macro of this position. Returns false for a code that has
// no meaning or a combination record that does not decode.
bool HardwareCodeToKeyInfo(std::span<const uint8_t> comboArea, uint32_t code, KeyInfo& key,
                           const KeyCodeEnv& env, std::string_view macroName = {});

// Combination record of a keyboard, application-key or media assignment.
// Returns the bytes written (count byte included), 0 for a function without a
// combination record, and -1, writing nothing, when the record does not fit
// `out` or a key combination needs more than 10 events.
int KeyInfoToComboData(std::span<uint8_t> out, const KeyInfo& key);

// Decodes a combination record of `record.size()` bytes (never reads past
// them) into dwFunID and stCombo; keys after the third are dropped. Returns
// false for an empty record, an unknown consumer usage or another event type.
bool ComboDataToKeyInfo(std::span<const uint8_t> record, KeyInfo& key);

// ---- Display names --------------------------------------------------------------

// "Ctrl + Alt + Shift + Win + <keys>", the parts that are present.
std::string ComboLabel(const KeyCombo& combo, const TextLookup& texts);
// The label of an assignment on the button page.
std::string KeyInfoLabel(const KeyInfo& key, const KeyCodeEnv& env, const TextLookup& texts);

}  // namespace tolvane
