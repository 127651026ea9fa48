// Numbered notifications between controls and their parents.
//
// A control posts (or, for the questions, sends) a UiMessageEvent carrying the
// same message number and parameters the window message would carry. A parent
// handles them in its event(): check `type() == UiMessageEvent::Type()`, read
// msg/wParam/lParam, and for a question call setResult() and accept().
#pragma once

#include <QEvent>
#include <QObject>

#include <cstdint>

namespace tolvane::ui {

constexpr uint32_t WM_MENU_PICK = 0x0477;
constexpr uint32_t WM_BTN_DBLCLK = 0x0703;
constexpr uint32_t WM_SLIDER_SET = 0x0800;
constexpr uint32_t WM_SLIDER_DRAG = 0x0801;
constexpr uint32_t WM_SLIDER_ASK = 0x0802;
constexpr uint32_t WM_XYSLIDER_SET = 0x0804;
constexpr uint32_t WM_XYSLIDER_SYNC = 0x0805;
constexpr uint32_t WM_XYSLIDER_ASK = 0x0806;
constexpr uint32_t WM_XYSLIDER_DRAG = 0x080B;
constexpr uint32_t WM_MSGDLG_CLOSE = 0x0448;  // closes a message dialog from its waiting thread
constexpr uint32_t WM_COMMAND = 0x0111;       // lParam: the control; wParam: code << 16 | id
constexpr uint32_t EN_CHANGE = 0x0300;
constexpr uint32_t BN_CLICKED = 0x0000;

class UiMessageEvent : public QEvent {
 public:
  UiMessageEvent(uint32_t msg, uintptr_t wParam, intptr_t lParam)
      : QEvent(Type()), msg(msg), wParam(wParam), lParam(lParam) {
    setAccepted(false);
  }
  static QEvent::Type Type();

  uint32_t msg;
  uintptr_t wParam;
  intptr_t lParam;
  void setResult(intptr_t r) { result_ = r; }
  intptr_t result() const { return result_; }

 private:
  intptr_t result_ = 0;
};

// Queues the message for `target` (returns at once). Null target: dropped.
void PostUiMessage(QObject* target, uint32_t msg, uintptr_t wParam, intptr_t lParam);
// Delivers the message now and returns the handler's result; 0 when nobody
// handled it (the event was not accepted) or the target is null.
intptr_t SendUiMessage(QObject* target, uint32_t msg, uintptr_t wParam, intptr_t lParam);

// A widget's handle as a message parameter.
inline uintptr_t HandleOf(const QObject* o) { return reinterpret_cast<uintptr_t>(o); }

}  // namespace tolvane::ui
