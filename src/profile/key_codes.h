// Button function codes: the function-code space of KeyInfo, the device's
// hardware key codes and combination records, the table between virtual-key
// codes and HID keyboard usages, and the display names of keys and functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

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

}  // namespace tolvane
