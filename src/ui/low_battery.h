// The low-battery notice of the window program: the battery readings of a
// wireless mouse feed the watch, and a notice that is due goes to the
// desktop's notification service (org.freedesktop.Notifications) without
// waiting for its answer. The settings page switches it off.
#pragma once

#include <QObject>
#include <QString>

#include <functional>

#include "program/battery_notice.h"
#include "ui/window_backend.h"

namespace tolvane::ui {

class CLowBatteryNotice : public QObject {
  Q_OBJECT
 public:
  using SendFn = std::function<void(const QString& summary, const QString& body)>;
  CLowBatteryNotice(QObject* parent, WindowBackend& backend, SendFn send);

  // One of the core's events, on the window's thread (WM_BATTERY counts).
  void OnEvent(uint32_t msg, uintptr_t wParam, intptr_t lParam);
  int Given() const { return given_; }

  // Sends over the session bus, or the bus at `address` when it is not
  // empty; the call is asynchronous and a missing service is only logged.
  static SendFn DBusSender(const QString& address = {});

 private:
  WindowBackend& backend_;
  SendFn send_;
  LowBatteryWatch watch_;
  int given_ = 0;
};

}  // namespace tolvane::ui
