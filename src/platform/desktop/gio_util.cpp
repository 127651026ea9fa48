#include "platform/desktop/gio_util.h"

#include "app/log.h"

namespace tolvane::platform {

GObjectPtr<GDBusConnection> OpenBus(const std::string& address, const char* who) {
  GError* err = nullptr;
  GDBusConnection* c = nullptr;
  if (address.empty()) {
    // A connection of our own rather than the shared one: it is closed with
    // the backend and never exits the process when the bus goes away.
    GCharPtr addr(g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &err));
    if (addr) {
      c = g_dbus_connection_new_for_address_sync(
          addr.get(),
          GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                               G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
          nullptr, nullptr, &err);
    }
  } else {
    c = g_dbus_connection_new_for_address_sync(
        address.c_str(),
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &err);
  }
  if (!c) {
    LogPrint("%s: no session bus: %s", who, err ? err->message : "?");
    if (err) g_error_free(err);
    return nullptr;
  }
  g_dbus_connection_set_exit_on_close(c, FALSE);
  return GObjectPtr<GDBusConnection>(c);
}

}  // namespace tolvane::platform
