// Small owners for GLib/GIO objects and the D-Bus connection the backends use.
#pragma once

#include <gio/gio.h>

#include <memory>
#include <string>

namespace tolvane::platform {

struct GObjectUnref {
  void operator()(gpointer p) const { g_object_unref(p); }
};
struct GVariantUnref {
  void operator()(GVariant* v) const { g_variant_unref(v); }
};
struct GErrorFree {
  void operator()(GError* e) const { g_error_free(e); }
};
struct GFree {
  void operator()(gpointer p) const { g_free(p); }
};

template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;
using GVariantPtr = std::unique_ptr<GVariant, GVariantUnref>;
using GErrorPtr = std::unique_ptr<GError, GErrorFree>;
using GCharPtr = std::unique_ptr<gchar, GFree>;

// A connection to the bus at `address`, or to the session bus when it is
// empty; null (and the reason logged under `who`) when there is none.
GObjectPtr<GDBusConnection> OpenBus(const std::string& address, const char* who);

}  // namespace tolvane::platform
