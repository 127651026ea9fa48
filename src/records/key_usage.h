// Virtual keys: the table between virtual-key codes and HID keyboard usages
// (macro conversion, combination records) and the display names of keys.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

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

// Language text by text id ("tc_..."), empty when the table has none.
using TextLookup = std::function<std::string(std::string_view id)>;

// Display name of a virtual key (0xF0..0xF6 are the mouse codes of macros and
// are named by texts). A key outside the named set gets the character of a US
// keyboard layout, or an empty name.
std::string KeyName(uint32_t vk, const TextLookup& texts);

}  // namespace tolvane
