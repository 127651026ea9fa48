#include "ui/my_edit.h"

#include <QKeyEvent>
#include <QPalette>

#include "ui/key_translate.h"
#include "ui/ui_message.h"
#include "ui/ui_style.h"

namespace tolvane::ui {

CMyEdit::CMyEdit(QWidget* parent) : QLineEdit(parent) {
  setFrame(false);
  setAutoFillBackground(true);
  SetColors(Style().clrEdit, Style().clrEditText);
}

void CMyEdit::SetColors(uint32_t background, uint32_t text) {
  QPalette pal = palette();
  for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    pal.setColor(g, QPalette::Base, ColorFromRef(background));
    pal.setColor(g, QPalette::Window, ColorFromRef(background));
    pal.setColor(g, QPalette::Text, ColorFromRef(text));
  }
  setPalette(pal);
}

void CMyEdit::SetReadOnlyMode() {
  mode_ = EditMode::ReadOnly;
  setReadOnly(true);
}

void CMyEdit::SetKeyCaptureMode(bool noModifiers) {
  mode_ = EditMode::KeyCapture;
  noModifiers_ = noModifiers;
  setReadOnly(true);  // text only changes through a captured key
  setContextMenuPolicy(Qt::NoContextMenu);
}

void CMyEdit::SetNumericMode(int minimum, int maximum, bool minusAllowed) {
  mode_ = EditMode::Numeric;
  min_ = minimum;
  max_ = maximum;
  minus_ = minusAllowed;
  setReadOnly(false);
  setContextMenuPolicy(Qt::NoContextMenu);
}

void CMyEdit::SetMaskedMode() {
  mode_ = EditMode::Masked;
  shadow_.clear();
  setText(QString());
  setReadOnly(false);
  setContextMenuPolicy(Qt::NoContextMenu);
}

int CMyEdit::ReadNumber(int* value) const {
  const QString t = text();
  if (t.isEmpty()) return -1;
  bool ok = false;
  const int v = t.toInt(&ok, 10);
  if (!ok) return -2;
  if (value) *value = v;
  return 1;
}

bool CMyEdit::event(QEvent* e) {
  const QEvent::Type t = e->type();
  const bool key = t == QEvent::KeyPress || t == QEvent::KeyRelease;
  switch (mode_) {
    case EditMode::ReadOnly:
      if (key || t == QEvent::MouseButtonPress || t == QEvent::MouseButtonRelease ||
          t == QEvent::MouseButtonDblClick || t == QEvent::InputMethod) {
        e->accept();
        return true;
      }
      break;
    case EditMode::KeyCapture:
      if (key || t == QEvent::ShortcutOverride || t == QEvent::InputMethod)
        return KeyCaptureEvent(e);
      break;
    case EditMode::Numeric:
      if (key || t == QEvent::InputMethod) return NumericEvent(e);
      break;
    case EditMode::Masked:
      if (key || t == QEvent::InputMethod) return MaskedEvent(e);
      break;
    case EditMode::Normal:
      break;
  }
  return QLineEdit::event(e);
}

bool CMyEdit::KeyCaptureEvent(QEvent* e) {
  e->accept();
  if (e->type() != QEvent::KeyRelease) return true;  // presses are swallowed
  auto* k = static_cast<QKeyEvent*>(e);
  if (k->isAutoRepeat()) return true;
  const uint8_t vk = SidedVk(TranslateKey(*k));
  if (vk == 0) return true;
  if (noModifiers_ && IsModifierVk(vk)) return true;
  captured_ = vk;
  setText(KeyDisplayName(vk));
  setCursorPosition(int(text().size()));
  emit keyCaptured(vk);
  PostUiMessage(parentWidget(), WM_COMMAND, (uintptr_t(EN_CHANGE) << 16) | ctrlId_,
                intptr_t(HandleOf(this)));
  return true;
}

bool CMyEdit::NumericEvent(QEvent* e) {
  if (e->type() == QEvent::InputMethod) { e->accept(); return true; }
  auto* k = static_cast<QKeyEvent*>(e);
  if (k->modifiers() & Qt::ShiftModifier) { e->accept(); return true; }
  const VirtualKey vk = TranslateKey(*k);
  const bool digit = vk.vk >= 0x30 && vk.vk <= 0x39;
  const bool pass = digit || vk.vk == VK_BACK || (minus_ && vk.vk == VK_OEM_MINUS);
  if (!pass) { e->accept(); return true; }
  const bool handled = QLineEdit::event(e);
  if (e->type() == QEvent::KeyRelease && (min_ != 0 || max_ != 0)) {
    int v = 0;
    if (ReadNumber(&v) == 1 && (v < min_ || v > max_)) {
      setText(QString::number(v < min_ ? min_ : max_));
      setCursorPosition(int(text().size()));
    }
  }
  return handled;
}

bool CMyEdit::MaskedEvent(QEvent* e) {
  e->accept();
  if (e->type() == QEvent::InputMethod) return true;
  if (e->type() != QEvent::KeyPress) return true;
  auto* k = static_cast<QKeyEvent*>(e);
  const int key = k->key();
  if (key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Home || key == Qt::Key_End)
    return QLineEdit::event(e);
  int selStart = selectionStart();
  int selLen = selectedText().size();
  if (selStart < 0) { selStart = cursorPosition(); selLen = 0; }
  if (key == Qt::Key_Backspace) {
    if (selLen > 0) {
      shadow_.remove(selStart, selLen);
    } else if (selStart > 0) {
      shadow_.remove(--selStart, 1);
    }
    setText(QString(shadow_.size(), QLatin1Char('*')));
    setCursorPosition(selStart);
    return true;
  }
  const QString typed = k->text();
  if (typed.size() != 1) return true;
  const ushort c = typed.at(0).unicode();
  const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                       (c >= '0' && c <= '9') || (c >= 0x21 && c <= 0x2D) ||
                       (c >= 0x3C && c <= 0x40);
  if (!allowed) return true;
  if (shadow_.size() - selLen >= kMaskedCapacity - 1) return true;  // buffer full
  shadow_.replace(selStart, selLen, typed);
  setText(QString(shadow_.size(), QLatin1Char('*')));
  setCursorPosition(selStart + 1);
  return true;
}

}  // namespace tolvane::ui
