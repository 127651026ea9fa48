// A fake notification service (org.freedesktop.Notifications) on a private
// bus: it records each Notify call as "app|summary|body".
#pragma once

#include <gio/gio.h>

#include <mutex>
#include <string>
#include <vector>

#include "private_bus.h"

namespace tolvane::test {

inline constexpr const char* kNotifyXml =
    "<node><interface name='org.freedesktop.Notifications'>"
    "<method name='Notify'>"
    "<arg type='s' direction='in'/><arg type='u' direction='in'/><arg type='s' direction='in'/>"
    "<arg type='s' direction='in'/><arg type='s' direction='in'/><arg type='as' direction='in'/>"
    "<arg type='a{sv}' direction='in'/><arg type='i' direction='in'/>"
    "<arg type='u' direction='out'/>"
    "</method></interface></node>";

class FakeNotifications {
 public:
  explicit FakeNotifications(const std::string& address)
      : service_(address, [this](GDBusConnection* c) {
          info_ = g_dbus_node_info_new_for_xml(kNotifyXml, nullptr);
          static const GDBusInterfaceVTable vt = {Call, nullptr, nullptr, {}};
          g_dbus_connection_register_object(c, "/org/freedesktop/Notifications",
                                            info_->interfaces[0], &vt, this, nullptr, nullptr);
          owned = OwnName(c, "org.freedesktop.Notifications");
        }) {}
  ~FakeNotifications() {
    if (info_) g_dbus_node_info_unref(info_);
  }
  std::vector<std::string> Bodies() {
    std::lock_guard<std::mutex> l(mu_);
    return bodies_;
  }
  bool owned = false;

 private:
  static void Call(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                   GVariant* params, GDBusMethodInvocation* inv, gpointer self) {
    auto* f = static_cast<FakeNotifications*>(self);
    const gchar *app = nullptr, *summary = nullptr, *body = nullptr;
    g_variant_get_child(params, 0, "&s", &app);
    g_variant_get_child(params, 3, "&s", &summary);
    g_variant_get_child(params, 4, "&s", &body);
    {
      std::lock_guard<std::mutex> l(f->mu_);
      f->bodies_.push_back(std::string(app) + "|" + summary + "|" + body);
    }
    g_dbus_method_invocation_return_value(inv, g_variant_new("(u)", 7u));
  }
  std::mutex mu_;
  std::vector<std::string> bodies_;
  GDBusNodeInfo* info_ = nullptr;
  BusService service_;
};

}  // namespace tolvane::test
