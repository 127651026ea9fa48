#include "records/key_usage.h"

#include <array>
#include <cstddef>

#include "records/st_macro.h"

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

// Characters of the keys that are not named, as a US layout gives them.
char UsLayoutChar(uint32_t vk) {
  switch (vk) {
    case 0xBA: return ';';
    case 0xBB: return '=';
    case 0xBC: return ',';
    case 0xBD: return '-';
    case 0xBE: return '.';
    case 0xBF: return '/';
    case 0xC0: return '`';
    case 0xDB: return '[';
    case 0xDC: return '\\';
    case 0xDD: return ']';
    case 0xDE: return '\'';
    case 0xE2: return '\\';
    default: return 0;
  }
}

const char* NamedKey(uint32_t vk) {
  switch (vk) {
    case 0x08: return "Backspace";
    case 0x09: return "Tab";
    case 0x0C: return "Clr";
    case 0x0D: return "Enter";
    case 0x10: return "Shift";
    case 0x11: return "Ctrl";
    case 0x12: return "Alt";
    case 0x13: return "Pause";
    case 0x14: return "CapsLock";
    case 0x1B: return "Esc";
    case 0x20: return "Space";
    case 0x21: return "PageUp";
    case 0x22: return "PageDown";
    case 0x23: return "End";
    case 0x24: return "Home";
    case 0x25: return "Left";
    case 0x26: return "Up";
    case 0x27: return "Right";
    case 0x28: return "Down";
    case 0x29: return "Select";
    case 0x2A: return "Print";
    case 0x2B: return "Enter";
    case 0x2C: return "PrintScreen";
    case 0x2D: return "Insert";
    case 0x2E: return "Delete";
    case 0x2F: return "Help";
    case 0x5B: return "L_Win";
    case 0x5C: return "R_Win";
    case 0x5D: return "App";
    case 0x6A: return "Num *";
    case 0x6B: return "Num +";
    case 0x6C: return "\\";
    case 0x6D: return "Num -";
    case 0x6E: return "Num .";
    case 0x6F: return "Num /";
    case 0x90: return "NumLock";
    case 0x91: return "Scroll Lock";
    case 0xA0: return "L_Shift";
    case 0xA1: return "R_Shift";
    case 0xA2: return "L_Ctrl";
    case 0xA3: return "R_Ctrl";
    case 0xA4: return "L_Alt";
    case 0xA5: return "R_Alt";
    default: return nullptr;
  }
}

std::string Text(const TextLookup& texts, std::string_view id) {
  return texts ? texts(id) : std::string();
}

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

std::string KeyName(uint32_t vk, const TextLookup& texts) {
  if ((vk >= 0x30 && vk <= 0x39) || (vk >= 0x41 && vk <= 0x5A)) return std::string(1, char(vk));
  if (vk >= 0x60 && vk <= 0x69) return "Num " + std::string(1, char('0' + vk - 0x60));
  if (vk >= 0x70 && vk <= 0x7B) return "F" + std::to_string(vk - 0x70 + 1);
  switch (vk) {
    case kMouseLeft: return Text(texts, "tc_click");
    case kMouseRight: return Text(texts, "tc_menu");
    case kMouseMiddle: return Text(texts, "tc_middle");
    case kMouseForward: return Text(texts, "tc_forward");
    case kMouseBack: return Text(texts, "tc_back");
    case kWheelUp: return Text(texts, "tc_scrollup");
    case kWheelDown: return Text(texts, "tc_scrolldown");
    case 0xFF: return {};
    default: break;
  }
  if (const char* name = NamedKey(vk)) return name;
  if (char c = UsLayoutChar(vk)) return std::string(1, c);
  return {};
}

}  // namespace tolvane
