#include "ui/ui_message.h"

#include <QCoreApplication>

namespace tolvane::ui {

QEvent::Type UiMessageEvent::Type() {
  static const QEvent::Type type = QEvent::Type(QEvent::registerEventType());
  return type;
}

void PostUiMessage(QObject* target, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  if (!target) return;
  QCoreApplication::postEvent(target, new UiMessageEvent(msg, wParam, lParam));
}

intptr_t SendUiMessage(QObject* target, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  if (!target) return 0;
  UiMessageEvent ev(msg, wParam, lParam);
  QCoreApplication::sendEvent(target, &ev);
  return ev.isAccepted() ? ev.result() : 0;
}

}  // namespace tolvane::ui
