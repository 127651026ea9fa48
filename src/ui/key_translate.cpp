#include "ui/key_translate.h"

#include <QKeyEvent>

#include "profile/key_codes.h"
#include "ui/ui_style.h"

namespace tolvane::ui {

namespace {

struct EvdevEntry {
  uint8_t vk;
  bool extended;
};

// evdev code -> virtual key, for the codes a keyboard sends.
EvdevEntry EvdevTable(int code) {
  static const char* kRow1 = "QWERTYUIOP";
  static const char* kRow2 = "ASDFGHJKL";
  static const char* kRow3 = "ZXCVBNM";
  if (code >= 2 && code <= 10) return {uint8_t('1' + code - 2), false};
  if (code >= 16 && code <= 25) return {uint8_t(kRow1[code - 16]), false};
  if (code >= 30 && code <= 38) return {uint8_t(kRow2[code - 30]), false};
  if (code >= 44 && code <= 50) return {uint8_t(kRow3[code - 44]), false};
  if (code >= 59 && code <= 68) return {uint8_t(0x70 + code - 59), false};
  if (code >= 183 && code <= 194) return {uint8_t(0x7C + code - 183), false};  // F13-F24
  switch (code) {
    case 1: return {0x1B, false};
    case 11: return {'0', false};
    case 12: return {0xBD, false};
    case 13: return {0xBB, false};
    case 14: return {0x08, false};
    case 15: return {0x09, false};
    case 26: return {0xDB, false};
    case 27: return {0xDD, false};
    case 28: return {0x0D, false};
    case 29: return {VK_CONTROL, false};
    case 39: return {0xBA, false};
    case 40: return {0xDE, false};
    case 41: return {0xC0, false};
    case 42: return {VK_SHIFT, false};
    case 43: return {0xDC, false};
    case 51: return {0xBC, false};
    case 52: return {0xBE, false};
    case 53: return {0xBF, false};
    case 54: return {VK_SHIFT, false};
    case 55: return {0x6A, false};
    case 56: return {VK_MENU, false};
    case 57: return {0x20, false};
    case 58: return {0x14, false};
    case 69: return {0x90, true};
    case 70: return {0x91, false};
    case 71: return {0x67, false};
    case 72: return {0x68, false};
    case 73: return {0x69, false};
    case 74: return {0x6D, false};
    case 75: return {0x64, false};
    case 76: return {0x65, false};
    case 77: return {0x66, false};
    case 78: return {0x6B, false};
    case 79: return {0x61, false};
    case 80: return {0x62, false};
    case 81: return {0x63, false};
    case 82: return {0x60, false};
    case 83: return {0x6E, false};
    case 86: return {0xE2, false};
    case 87: return {0x7A, false};
    case 88: return {0x7B, false};
    case 96: return {0x0D, true};
    case 97: return {VK_CONTROL, true};
    case 98: return {0x6F, true};
    case 99: return {0x2C, true};
    case 100: return {VK_MENU, true};
    case 102: return {0x24, true};
    case 103: return {0x26, true};
    case 104: return {0x21, true};
    case 105: return {0x25, true};
    case 106: return {0x27, true};
    case 107: return {0x23, true};
    case 108: return {0x28, true};
    case 109: return {0x22, true};
    case 110: return {0x2D, true};
    case 111: return {0x2E, true};
    case 113: return {0xAD, true};
    case 114: return {0xAE, true};
    case 115: return {0xAF, true};
    case 119: return {0x13, false};
    case 125: return {VK_LWIN, true};
    case 126: return {VK_RWIN, true};
    case 127: return {0x5D, true};
    default: return {0, false};
  }
}

constexpr int kEvdevRightShift = 54;

}  // namespace

int EvdevCode(const QKeyEvent& e) {
  const quint32 sc = e.nativeScanCode();
  return sc > 8 ? int(sc - 8) : -1;
}

VirtualKey VkFromEvdev(int code) {
  const EvdevEntry entry = EvdevTable(code);
  VirtualKey k;
  k.vk = entry.vk;
  k.extended = entry.extended;
  k.rightShift = code == kEvdevRightShift;
  return k;
}

VirtualKey VkFromQtKey(int key, Qt::KeyboardModifiers mods, uint32_t keysym) {
  VirtualKey k;
  const bool keypad = mods & Qt::KeypadModifier;
  if (key >= Qt::Key_A && key <= Qt::Key_Z) { k.vk = uint8_t(key); return k; }
  if (key >= Qt::Key_0 && key <= Qt::Key_9) {
    k.vk = uint8_t(keypad ? 0x60 + (key - Qt::Key_0) : key);
    return k;
  }
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) { k.vk = uint8_t(0x70 + key - Qt::Key_F1); return k; }
  switch (key) {
    case Qt::Key_Escape: k.vk = 0x1B; break;
    case Qt::Key_Tab: case Qt::Key_Backtab: k.vk = 0x09; break;
    case Qt::Key_Backspace: k.vk = 0x08; break;
    case Qt::Key_Return: k.vk = 0x0D; break;
    case Qt::Key_Enter: k.vk = 0x0D; k.extended = keypad; break;
    case Qt::Key_Insert: k.vk = 0x2D; k.extended = !keypad; break;
    case Qt::Key_Delete: k.vk = 0x2E; k.extended = !keypad; break;
    case Qt::Key_Pause: k.vk = 0x13; break;
    case Qt::Key_Print: k.vk = 0x2C; k.extended = true; break;
    case Qt::Key_Home: k.vk = 0x24; k.extended = !keypad; break;
    case Qt::Key_End: k.vk = 0x23; k.extended = !keypad; break;
    case Qt::Key_Left: k.vk = 0x25; k.extended = !keypad; break;
    case Qt::Key_Up: k.vk = 0x26; k.extended = !keypad; break;
    case Qt::Key_Right: k.vk = 0x27; k.extended = !keypad; break;
    case Qt::Key_Down: k.vk = 0x28; k.extended = !keypad; break;
    case Qt::Key_PageUp: k.vk = 0x21; k.extended = !keypad; break;
    case Qt::Key_PageDown: k.vk = 0x22; k.extended = !keypad; break;
    case Qt::Key_Shift: k.vk = VK_SHIFT; k.rightShift = keysym == 0xffe2; break;
    case Qt::Key_Control: k.vk = VK_CONTROL; k.extended = keysym == 0xffe4; break;
    case Qt::Key_Alt: k.vk = VK_MENU; k.extended = keysym == 0xffea; break;
    case Qt::Key_AltGr: k.vk = VK_MENU; k.extended = true; break;
    case Qt::Key_Meta: case Qt::Key_Super_L: k.vk = VK_LWIN; k.extended = true; break;
    case Qt::Key_Super_R: k.vk = VK_RWIN; k.extended = true; break;
    case Qt::Key_Menu: k.vk = 0x5D; k.extended = true; break;
    case Qt::Key_CapsLock: k.vk = 0x14; break;
    case Qt::Key_NumLock: k.vk = 0x90; k.extended = true; break;
    case Qt::Key_ScrollLock: k.vk = 0x91; break;
    case Qt::Key_Space: k.vk = 0x20; break;
    case Qt::Key_Asterisk: k.vk = keypad ? 0x6A : '8'; break;
    case Qt::Key_Plus: k.vk = keypad ? 0x6B : 0xBB; break;
    case Qt::Key_Minus: case Qt::Key_Underscore: k.vk = keypad ? 0x6D : 0xBD; break;
    case Qt::Key_Period: case Qt::Key_Greater: k.vk = keypad ? 0x6E : 0xBE; break;
    case Qt::Key_Slash: case Qt::Key_Question: k.vk = keypad ? 0x6F : 0xBF; k.extended = keypad; break;
    case Qt::Key_Equal: k.vk = 0xBB; break;
    case Qt::Key_BracketLeft: case Qt::Key_BraceLeft: k.vk = 0xDB; break;
    case Qt::Key_BracketRight: case Qt::Key_BraceRight: k.vk = 0xDD; break;
    case Qt::Key_Semicolon: case Qt::Key_Colon: k.vk = 0xBA; break;
    case Qt::Key_Apostrophe: case Qt::Key_QuoteDbl: k.vk = 0xDE; break;
    case Qt::Key_QuoteLeft: case Qt::Key_AsciiTilde: k.vk = 0xC0; break;
    case Qt::Key_Backslash: case Qt::Key_Bar: k.vk = 0xDC; break;
    case Qt::Key_Comma: case Qt::Key_Less: k.vk = 0xBC; break;
    case Qt::Key_Exclam: k.vk = '1'; break;
    case Qt::Key_At: k.vk = '2'; break;
    case Qt::Key_NumberSign: k.vk = '3'; break;
    case Qt::Key_Dollar: k.vk = '4'; break;
    case Qt::Key_Percent: k.vk = '5'; break;
    case Qt::Key_AsciiCircum: k.vk = '6'; break;
    case Qt::Key_Ampersand: k.vk = '7'; break;
    case Qt::Key_ParenLeft: k.vk = '9'; break;
    case Qt::Key_ParenRight: k.vk = '0'; break;
    case Qt::Key_VolumeMute: k.vk = 0xAD; k.extended = true; break;
    case Qt::Key_VolumeDown: k.vk = 0xAE; k.extended = true; break;
    case Qt::Key_VolumeUp: k.vk = 0xAF; k.extended = true; break;
    default: break;
  }
  return k;
}

VirtualKey TranslateKey(const QKeyEvent& e) {
  const int key = e.key();
  const int code = EvdevCode(e);
  if (code > 0) {
    VirtualKey k = VkFromEvdev(code);
    // Letters follow the keyboard layout; the keypad without NumLock gives
    // the navigation keys.
    if (key >= Qt::Key_A && key <= Qt::Key_Z && !IsModifierVk(k.vk)) k.vk = uint8_t(key);
    if (code >= 71 && code <= 83 && code != 74 && code != 78 && code != 55 &&
        !(key >= Qt::Key_0 && key <= Qt::Key_9) && key != Qt::Key_Period &&
        key != Qt::Key_Comma) {
      VirtualKey nav = VkFromQtKey(key, e.modifiers(), e.nativeVirtualKey());
      if (nav.vk) k = nav;
    }
    if (k.vk) return k;
  }
  return VkFromQtKey(key, e.modifiers(), e.nativeVirtualKey());
}

uint8_t SidedVk(const VirtualKey& k) {
  if (k.vk == VK_SHIFT && k.rightShift) return VK_RSHIFT;
  if (k.vk == VK_CONTROL && k.extended) return VK_RCONTROL;
  if (k.vk == VK_MENU && k.extended) return VK_RMENU;
  return k.vk;
}

bool IsModifierVk(uint8_t vk) {
  switch (vk) {
    case VK_SHIFT: case VK_CONTROL: case VK_MENU: case VK_LWIN: case VK_RWIN:
    case VK_LSHIFT: case VK_RSHIFT: case VK_LCONTROL: case VK_RCONTROL:
    case VK_LMENU: case VK_RMENU:
      return true;
    default:
      return false;
  }
}

QString KeyDisplayName(uint8_t vk) {
  const TextLookup texts = [](std::string_view id) {
    return UiText(std::string(id).c_str()).toStdString();
  };
  return QString::fromStdString(KeyName(vk, texts));
}

}  // namespace tolvane::ui
