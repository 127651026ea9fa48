#include "ui/combo_capture.h"

#include <QStringList>

#include "ui/key_translate.h"

namespace tolvane::ui {

namespace {
constexpr uint8_t kKinds[4] = {0x11, 0x44, 0x22, 0x88};  // Ctrl, Alt, Shift, Windows
}

uint8_t ComboCapture::ModifierBit(uint8_t vk) {
  switch (vk) {
    case VK_SHIFT: case VK_LSHIFT: return 0x02;
    case VK_RSHIFT: return 0x20;
    case VK_CONTROL: case VK_LCONTROL: return 0x01;
    case VK_RCONTROL: return 0x10;
    case VK_MENU: case VK_LMENU: return 0x04;
    case VK_RMENU: return 0x40;
    case VK_LWIN: return 0x08;
    case VK_RWIN: return 0x80;
    default: return 0;
  }
}

int ComboCapture::Members(const KeyCombo& c) {
  int n = 0;
  for (uint8_t k : c.bKeys) n += k != 0;
  for (uint8_t kind : kKinds) n += (c.bModifiers & kind) != 0;
  return n;
}

bool ComboCapture::OnKey(uint8_t vk, bool release, int64_t nowMs) {
  if (vk == 0) return false;
  const uint8_t bit = ModifierBit(vk);
  // With the check boxes shown, modifier keys play no part at all.
  if (bit && checkBoxes_) return false;
  if (haveLast_ && vk == lastVk_ && release == lastRelease_) return false;
  const int64_t previous = lastTime_;
  const bool hadPrevious = haveLast_;
  haveLast_ = true;
  lastVk_ = vk;
  lastRelease_ = release;
  lastTime_ = nowMs;
  if (release) return false;

  const KeyCombo before = combo_;
  if (Members(combo_) > 2) {
    combo_ = KeyCombo();
  } else if (bit) {
    for (uint8_t kind : kKinds)
      if ((kind & bit) && (combo_.bModifiers & kind)) combo_ = KeyCombo();
  } else if (combo_.bKeys[0] && combo_.bKeys[1] && combo_.bKeys[2]) {
    combo_ = KeyCombo();
  }
  if (hadPrevious && nowMs - previous > 1000) combo_ = KeyCombo();

  if (bit) {
    combo_.bModifiers |= bit;
  } else {
    bool present = false;
    for (uint8_t k : combo_.bKeys) present |= k == vk;
    if (!present) {
      for (uint8_t& k : combo_.bKeys) {
        if (k == 0) { k = vk; break; }
      }
    }
  }
  return before.bModifiers != combo_.bModifiers || before.bKeys[0] != combo_.bKeys[0] ||
         before.bKeys[1] != combo_.bKeys[1] || before.bKeys[2] != combo_.bKeys[2];
}

QString ComboCapture::Label(const KeyCombo& c) {
  static const struct { uint8_t bit; const char* name; } kOrder[] = {
      {0x01, "L-Ctrl"}, {0x04, "L-Alt"}, {0x02, "L-Shift"}, {0x08, "L-Win"},
      {0x10, "R-Ctrl"}, {0x40, "R-Alt"}, {0x20, "R-Shift"}, {0x80, "R-Win"}};
  QStringList parts;
  for (const auto& m : kOrder)
    if (c.bModifiers & m.bit) parts << QString::fromLatin1(m.name);
  for (uint8_t k : c.bKeys)
    if (k) parts << KeyDisplayName(k);
  return parts.join(QStringLiteral(" + "));
}

}  // namespace tolvane::ui
