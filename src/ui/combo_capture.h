// The key-combination capture of the message dialog, without the dialog.
#pragma once

#include <QString>

#include <cstdint>

#include "records/key_info.h"

namespace tolvane::ui {

class ComboCapture {
 public:
  // With check boxes the modifiers come from the boxes, not from keys.
  explicit ComboCapture(bool checkBoxes) : checkBoxes_(checkBoxes) {}

  // One key event: `vk` with the right-hand codes already resolved (0xA1,
  // 0xA3, 0xA5), `nowMs` a monotonic time. True when the combination changed.
  bool OnKey(uint8_t vk, bool release, int64_t nowMs);

  const KeyCombo& Combo() const { return combo_; }
  void Clear() { combo_ = KeyCombo(); }
  // Plain keys plus the modifier kinds (Ctrl, Alt, Shift, Windows) present.
  static int Members(const KeyCombo& c);
  // Modifier bit of a modifier key, 0 for a plain key.
  static uint8_t ModifierBit(uint8_t vk);
  // "L-Ctrl + L-Shift + A": the modifiers in display order, then the keys.
  static QString Label(const KeyCombo& c);

 private:
  bool checkBoxes_;
  KeyCombo combo_;
  bool haveLast_ = false;
  uint8_t lastVk_ = 0;
  bool lastRelease_ = false;
  int64_t lastTime_ = 0;
};

}  // namespace tolvane::ui
