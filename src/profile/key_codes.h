// Button function codes: the function-code space of KeyInfo, the device's
// hardware key codes and combination records, the table between virtual-key
// codes and HID keyboard usages, and the display names of keys and functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "macro/st_macro.h"
#include "profile/key_info.h"

namespace tolvane {

// ---- Virtual-key <-> HID keyboard usage --------------------------------------

struct KeyUsagePair {
  uint8_t hid;  // USB HID keyboard usage (page 7)
  uint8_t vk;   // virtual-key code
};

// The 104 pairs in their search order. Keypad Enter and Enter both map to
// virtual key 0x0D; looking up 0x0D yields Enter (0x28), which comes first.
std::span<const KeyUsagePair> KeyUsageTable();

// First match in table order; 0 when the key is not in the table.
uint8_t VkToHid(uint32_t vk);
uint8_t HidToVk(uint32_t hid);

// ---- Function codes (KeyInfo::dwFunID) -------------------------------------
// Bits 24..31 are the group, bits 0..23 the function within it.

constexpr uint32_t FunGroup(uint32_t fun) { return fun >> 24; }
constexpr uint32_t FunLow(uint32_t fun) { return fun & 0xFFFFFF; }

constexpr uint32_t kGroupMouse = 0x01, kGroupKeyboard = 0x02, kGroupAppKey = 0x03,
                   kGroupMedia = 0x04, kGroupMacro = 0x05, kGroupSpecial = 0x08,
                   kGroupRaw = 0x0B;

// Mouse buttons.
constexpr uint32_t kFunLeftClick = 0x01000011;
constexpr uint32_t kFunMiddleClick = 0x01000012;
constexpr uint32_t kFunRightClick = 0x01000013;
constexpr uint32_t kFunForward = 0x01000014;
constexpr uint32_t kFunBack = 0x01000015;
constexpr uint32_t kFunDoubleClick = 0x01000016;
constexpr uint32_t kFunTripleClick = 0x01000017;
constexpr uint32_t kFunRightDoubleClick = 0x01000018;  // label only, no hardware code
// Keyboard: the keys of stCombo, with a modifier (the catalogue always uses it)
// or without.
constexpr uint32_t kFunComboKey = 0x020000A1;
constexpr uint32_t kFunPlainKey = 0x020000A0;
// Application keys.
constexpr uint32_t kFunAppMail = 0x03000030;
constexpr uint32_t kFunAppCalculator = 0x03000031;
constexpr uint32_t kFunAppMyComputer = 0x03000032;
constexpr uint32_t kFunAppSearch = 0x03000033;
constexpr uint32_t kFunAppHomePage = 0x03000034;
constexpr uint32_t kFunAppBrowserBack = 0x03000035;
constexpr uint32_t kFunAppBrowserForward = 0x03000036;
constexpr uint32_t kFunAppBrowserStop = 0x03000037;
constexpr uint32_t kFunAppBrowserRefresh = 0x03000038;
constexpr uint32_t kFunAppFavourites = 0x03000039;
// Media keys.
constexpr uint32_t kFunMediaSelect = 0x04000021;
constexpr uint32_t kFunPlayPause = 0x04000022;
constexpr uint32_t kFunMediaStop = 0x04000023;
constexpr uint32_t kFunPrevTrack = 0x04000024;
constexpr uint32_t kFunNextTrack = 0x04000025;
constexpr uint32_t kFunVolumeUp = 0x04000026;
constexpr uint32_t kFunVolumeDown = 0x04000027;
constexpr uint32_t kFunMute = 0x04000028;
// Macro: plays the library macro dwMacroID.
constexpr uint32_t kFunMacro = 0x05000000;
// Special functions.
constexpr uint32_t kFunDisabled = 0x080000A2;
constexpr uint32_t kFunShift = 0x080000A3;       // label only, no hardware code
constexpr uint32_t kFunFire = 0x080000A4;        // dwParameter: clicks (byte 0), interval (byte 1)
constexpr uint32_t kFunSniper = 0x080000A6;      // dwParameter: position in the DPI table
constexpr uint32_t kFunLightOnOff = 0x080000A7;
constexpr uint32_t kFunDpiUp = 0x080000A8;
constexpr uint32_t kFunDpiDown = 0x080000A9;
constexpr uint32_t kFunDpiCycle = 0x080000AA;
constexpr uint32_t kFunRateSwitch = 0x080000AC;
constexpr uint32_t kFunCustom = 0x080000AD;      // dwParameter is the hardware code
constexpr uint32_t kFunLightEffectSwitch = 0x080000AE;
constexpr uint32_t kFunProfileSwitch = 0x080000B0;
// Raw: dwParameter is the hardware code.
constexpr uint32_t kFunRaw = 0x0B000000;
// Menu headings, never stored.
constexpr uint32_t kFunHeadingDpi = 0x08000000;
constexpr uint32_t kFunHeadingMedia = 0x04000000;

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

// Language text by text id ("tc_..."), empty when the table has none.
using TextLookup = std::function<std::string(std::string_view id)>;

// Display name of a virtual key (0xF0..0xF6 are the mouse codes of macros and
// are named by texts). A key outside the named set gets the character of a US
// keyboard layout, or an empty name.
std::string KeyName(uint32_t vk, const TextLookup& texts);
// "Ctrl + Alt + Shift + Win + <keys>", the parts that are present.
std::string ComboLabel(const KeyCombo& combo, const TextLookup& texts);
// The label of an assignment on the button page.
std::string KeyInfoLabel(const KeyInfo& key, const KeyCodeEnv& env, const TextLookup& texts);

}  // namespace tolvane
