// Keyboard events as virtual-key codes.
//
// One translation for the key-capture edit, the combination dialog and the
// macro recorder, so that all of them tell left from right Ctrl, Alt and Shift.
#pragma once

#include <QString>

#include <cstdint>

class QKeyEvent;

namespace tolvane::ui {

constexpr uint8_t VK_SHIFT = 0x10, VK_CONTROL = 0x11, VK_MENU = 0x12, VK_LWIN = 0x5B,
                  VK_RWIN = 0x5C, VK_LSHIFT = 0xA0, VK_RSHIFT = 0xA1, VK_LCONTROL = 0xA2,
                  VK_RCONTROL = 0xA3, VK_LMENU = 0xA4, VK_RMENU = 0xA5, VK_BACK = 0x08,
                  VK_RETURN = 0x0D, VK_OEM_MINUS = 0xBD;

struct VirtualKey {
  uint8_t vk = 0;          // 0: no key this system knows
  bool extended = false;   // the extended-key flag (right Ctrl/Alt, arrows, ...)
  bool rightShift = false; // the scan code of the right Shift key
};

// The evdev key code of an event: on X11, Wayland and the offscreen platform
// the native scan code is the evdev code + 8; -1 when the event has none.
int EvdevCode(const QKeyEvent& e);
// Translation of one evdev code (layout-independent keys and positions).
VirtualKey VkFromEvdev(int code);
// Translation of a Qt key and keyboard modifiers, used without a scan code.
VirtualKey VkFromQtKey(int qtKey, Qt::KeyboardModifiers mods, uint32_t keysym);
VirtualKey TranslateKey(const QKeyEvent& e);

// Generic Shift/Ctrl/Alt turned into their right-hand codes where the event
// says so (0xA1, 0xA3, 0xA5); every other code unchanged.
uint8_t SidedVk(const VirtualKey& k);
bool IsModifierVk(uint8_t vk);

// Display name of a virtual key ("L_Ctrl", "F5", "A", "Num 3", ...).
QString KeyDisplayName(uint8_t vk);

}  // namespace tolvane::ui
