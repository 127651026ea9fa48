#include "platform/desktop/desktop_notice.h"

#include "app/log.h"

namespace tolvane::platform {

DesktopNotifier::DesktopNotifier(const std::string& busAddress)
    : bus_(OpenBus(busAddress, "DesktopNotifier")) {}

bool DesktopNotifier::Notify(const std::string& summary, const std::string& body) {
  if (!bus_) return false;
  GVariantBuilder hints;
  g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
  g_variant_builder_add(&hints, "{sv}", "urgency", g_variant_new_byte(1));
  g_variant_builder_add(&hints, "{sv}", "category", g_variant_new_string("device"));
  g_variant_builder_add(&hints, "{sv}", "desktop-entry",
                        g_variant_new_string("io.github.tolvane.Tolvane"));
  const gchar* noActions[] = {nullptr};
  GError* err = nullptr;
  GVariantPtr reply(g_dbus_connection_call_sync(
      bus_.get(), "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
      "org.freedesktop.Notifications", "Notify",
      g_variant_new("(susss^asa{sv}i)", "Tolvane", 0u, "io.github.tolvane.Tolvane",
                    summary.c_str(), body.c_str(), noActions, &hints, -1),
      G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, 1000, nullptr, &err));
  if (!reply) {
    LogPrint("DesktopNotifier: Notify: %s", err ? err->message : "?");
    if (err) g_error_free(err);
    return false;
  }
  return true;
}

}  // namespace tolvane::platform
