// CMyEdit: the skinned edit with its input modes.
#pragma once

#include <QLineEdit>
#include <QString>

#include <cstdint>

namespace tolvane::ui {

enum class EditMode { Normal, ReadOnly, KeyCapture, Numeric, Masked };

class CMyEdit : public QLineEdit {
  Q_OBJECT
 public:
  static constexpr int kMaskedCapacity = 72;  // shadow buffer, 71 characters and the end

  explicit CMyEdit(QWidget* parent = nullptr);

  void SetColors(uint32_t background, uint32_t text);
  void SetCtrlId(uint16_t id) { ctrlId_ = id; }
  void SetReadOnlyMode();
  // With noModifiers, Shift, Ctrl, Alt and the Windows keys are refused.
  void SetKeyCaptureMode(bool noModifiers);
  // min == max == 0: no limits.
  void SetNumericMode(int minimum, int maximum, bool minusAllowed);
  void SetMaskedMode();
  void SetNormalMode() { mode_ = EditMode::Normal; setReadOnly(false); }
  EditMode Mode() const { return mode_; }

  uint8_t CapturedKey() const { return captured_; }
  // The typed text of the masked mode.
  QString MaskedText() const { return shadow_; }
  // 1 when the whole text is a decimal number (stored in *value), -2 when it
  // holds other characters, -1 when it is empty.
  int ReadNumber(int* value) const;

 signals:
  // Key capture took a key (the parent is also posted WM_COMMAND/EN_CHANGE).
  void keyCaptured(uint8_t vk);

 protected:
  bool event(QEvent* e) override;

 private:
  bool KeyCaptureEvent(QEvent* e);
  bool NumericEvent(QEvent* e);
  bool MaskedEvent(QEvent* e);

  EditMode mode_ = EditMode::Normal;
  uint16_t ctrlId_ = 0;
  bool noModifiers_ = false;
  uint8_t captured_ = 0;
  int min_ = 0, max_ = 0;
  bool minus_ = false;
  QString shadow_;
};

}  // namespace tolvane::ui
