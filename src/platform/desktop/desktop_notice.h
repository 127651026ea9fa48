// Desktop notifications: org.freedesktop.Notifications.Notify over D-Bus.
#pragma once

#include <cstdint>
#include <string>

#include "platform/desktop/gio_util.h"

namespace tolvane::platform {

class DesktopNotifier {
 public:
  // `busAddress` empty: the session bus.
  explicit DesktopNotifier(const std::string& busAddress = "");
  // Shows one notification (normal urgency, the server's default time-out);
  // false when no notification service answered within a second.
  bool Notify(const std::string& summary, const std::string& body);

 private:
  GObjectPtr<GDBusConnection> bus_;
};

}  // namespace tolvane::platform
