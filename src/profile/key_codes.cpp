#include "profile/key_codes.h"

#include <array>

namespace tolvane {

namespace {

constexpr auto BuildUsageTable() {
  std::array<KeyUsagePair, 104> t{};
  size_t n = 0;
  auto add = [&](int hid, int vk) { t[n++] = {uint8_t(hid), uint8_t(vk)}; };
  auto run = [&](int hid, int vk, int count) {
    for (int i = 0; i < count; ++i) add(hid + i, vk + i);
  };
  add(0x29, 0x1B);                 // Esc
  run(0x3A, 0x70, 12);             // F1..F12
  run(0x04, 0x41, 26);             // A..Z
  run(0x1E, 0x31, 9);              // 1..9
  add(0x27, 0x30);                 // 0
  add(0x2B, 0x09);                 // Tab
  add(0x39, 0x14);                 // CapsLock
  add(0x28, 0x0D);                 // Enter
  add(0x2A, 0x08);                 // Backspace
  add(0x2C, 0x20);                 // Space
  add(0x2F, 0xDB); add(0x30, 0xDD); add(0x31, 0xDC);  // [ ] '\'
  add(0x33, 0xBA); add(0x34, 0xDE);                   // ; '
  add(0x36, 0xBC); add(0x37, 0xBE); add(0x38, 0xBF);  // , . /
  add(0x35, 0xC0); add(0x2E, 0xBB); add(0x2D, 0xBD);  // ` = -
  add(0x46, 0x2C); add(0x47, 0x91); add(0x48, 0x13);  // PrintScreen ScrollLock Pause
  add(0x49, 0x2D); add(0x4A, 0x24); add(0x4B, 0x21);  // Insert Home PageUp
  add(0x4C, 0x2E); add(0x4D, 0x23); add(0x4E, 0x22);  // Delete End PageDown
  add(0x52, 0x26); add(0x51, 0x28); add(0x50, 0x25); add(0x4F, 0x27);  // arrows
  run(0x59, 0x61, 9);              // keypad 1..9
  add(0x62, 0x60);                 // keypad 0
  add(0x57, 0x6B); add(0x56, 0x6D); add(0x55, 0x6A); add(0x54, 0x6F);  // keypad + - * /
  add(0x53, 0x90);                 // NumLock
  add(0x58, 0x0D);                 // keypad Enter
  add(0x63, 0x6E);                 // keypad .
  add(0xE0, 0xA2); add(0xE1, 0xA0); add(0xE2, 0xA4); add(0xE3, 0x5B);  // left modifiers
  add(0xE4, 0xA3); add(0xE5, 0xA1); add(0xE6, 0xA5); add(0xE7, 0x5C);  // right modifiers
  add(0x65, 0x5D);                 // App
  if (n != t.size()) throw "key usage table size";  // not constant: fails the build
  return t;
}

constexpr auto kUsageTable = BuildUsageTable();

}  // namespace

std::span<const KeyUsagePair> KeyUsageTable() { return kUsageTable; }

uint8_t VkToHid(uint32_t vk) {
  for (const auto& p : kUsageTable)
    if (p.vk == vk) return p.hid;
  return 0;
}

uint8_t HidToVk(uint32_t hid) {
  for (const auto& p : kUsageTable)
    if (p.hid == hid) return p.vk;
  return 0;
}

}  // namespace tolvane
