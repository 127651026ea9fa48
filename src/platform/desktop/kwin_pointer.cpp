#include "platform/desktop/kwin_pointer.h"

#include "app/log.h"
#include "platform/desktop/pointer_mapping.h"

namespace tolvane::platform {

namespace {

constexpr const char* kService = "org.kde.KWin";
constexpr const char* kManagerPath = "/org/kde/KWin/InputDevice";
constexpr const char* kManagerIface = "org.kde.KWin.InputDeviceManager";
constexpr const char* kDeviceIface = "org.kde.KWin.InputDevice";
constexpr const char* kProps = "org.freedesktop.DBus.Properties";
constexpr int kTimeoutMs = 1000;

constexpr const char* kAccel = "pointerAcceleration";
constexpr const char* kFlat = "pointerAccelerationProfileFlat";
constexpr const char* kScroll = "scrollFactor";

// The value of property `prop` of the a{sv} `all`, when it has type `type`.
GVariantPtr Lookup(GVariant* all, const char* prop, const GVariantType* type) {
  GVariant* v = g_variant_lookup_value(all, prop, type);
  return GVariantPtr(v);
}

}  // namespace

KWinPointerSettings::KWinPointerSettings(const std::string& busAddress)
    : bus_(OpenBus(busAddress, "KWinPointer")) {
  if (!bus_) return;
  std::lock_guard<std::mutex> l(mu_);
  const std::vector<std::string> mice = Mice();
  if (mice.empty()) {
    LogPrint("KWinPointer: no mouse listed by KWin");
    return;
  }
  GError* err = nullptr;
  GVariantPtr reply(g_dbus_connection_call_sync(
      bus_.get(), kService, mice[0].c_str(), kProps, "GetAll", g_variant_new("(s)", kDeviceIface),
      G_VARIANT_TYPE("(a{sv})"), G_DBUS_CALL_FLAGS_NONE, kTimeoutMs, nullptr, &err));
  if (!reply) {
    LogPrint("KWinPointer: GetAll %s: %s", mice[0].c_str(), err ? err->message : "?");
    if (err) g_error_free(err);
    return;
  }
  GVariantPtr all(g_variant_get_child_value(reply.get(), 0));
  unsigned bits = 0;
  if (Lookup(all.get(), kAccel, G_VARIANT_TYPE_DOUBLE)) bits |= kPointerSpeed;
  if (Lookup(all.get(), kFlat, G_VARIANT_TYPE_BOOLEAN)) bits |= kPointerPrecision;
  if (Lookup(all.get(), kScroll, G_VARIANT_TYPE_DOUBLE)) bits |= kPointerScrollLines;
  caps_ = {bits, bits};
}

std::vector<std::string> KWinPointerSettings::Mice() const {
  std::vector<std::string> mice;
  GError* err = nullptr;
  GVariantPtr reply(g_dbus_connection_call_sync(
      bus_.get(), kService, kManagerPath, kProps, "Get",
      g_variant_new("(ss)", kManagerIface, "devicesSysNames"), G_VARIANT_TYPE("(v)"),
      G_DBUS_CALL_FLAGS_NONE, kTimeoutMs, nullptr, &err));
  if (!reply) {
    LogPrint("KWinPointer: devicesSysNames: %s", err ? err->message : "?");
    if (err) g_error_free(err);
    return mice;
  }
  GVariantPtr boxed(g_variant_get_child_value(reply.get(), 0));
  GVariantPtr names(g_variant_get_variant(boxed.get()));
  if (!g_variant_is_of_type(names.get(), G_VARIANT_TYPE_STRING_ARRAY)) return mice;
  const gsize n = g_variant_n_children(names.get());
  for (gsize i = 0; i < n; ++i) {
    const gchar* name = nullptr;
    g_variant_get_child(names.get(), i, "&s", &name);
    const std::string path = std::string(kManagerPath) + "/" + name;
    if (!g_variant_is_object_path(path.c_str())) continue;
    GVariantPtr pointer = Get(path, "pointer");
    GVariantPtr touchpad = Get(path, "touchpad");
    const bool isPointer = pointer && g_variant_is_of_type(pointer.get(), G_VARIANT_TYPE_BOOLEAN) &&
                           g_variant_get_boolean(pointer.get());
    const bool isTouchpad = touchpad &&
                            g_variant_is_of_type(touchpad.get(), G_VARIANT_TYPE_BOOLEAN) &&
                            g_variant_get_boolean(touchpad.get());
    if (isPointer && !isTouchpad) mice.push_back(path);
  }
  return mice;
}

GVariantPtr KWinPointerSettings::Get(const std::string& path, const char* prop) const {
  GError* err = nullptr;
  GVariantPtr reply(g_dbus_connection_call_sync(
      bus_.get(), kService, path.c_str(), kProps, "Get", g_variant_new("(ss)", kDeviceIface, prop),
      G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE, kTimeoutMs, nullptr, &err));
  if (!reply) {
    if (err) g_error_free(err);
    return nullptr;
  }
  GVariantPtr boxed(g_variant_get_child_value(reply.get(), 0));
  return GVariantPtr(g_variant_get_variant(boxed.get()));
}

PointerValues KWinPointerSettings::Current() const {
  PointerValues v;
  if (caps_.read == 0) return v;
  std::lock_guard<std::mutex> l(mu_);
  const std::vector<std::string> mice = Mice();
  if (mice.empty()) return v;
  if (auto a = Get(mice[0], kAccel); a && g_variant_is_of_type(a.get(), G_VARIANT_TYPE_DOUBLE))
    v.nPointerSpeed = AccelToSpeed(g_variant_get_double(a.get()));
  if (auto f = Get(mice[0], kFlat); f && g_variant_is_of_type(f.get(), G_VARIANT_TYPE_BOOLEAN))
    v.bEnhancePrecision = !g_variant_get_boolean(f.get());
  if (auto s = Get(mice[0], kScroll); s && g_variant_is_of_type(s.get(), G_VARIANT_TYPE_DOUBLE))
    v.nScrollLines = FactorToScrollLines(g_variant_get_double(s.get()));
  return v;
}

void KWinPointerSettings::SetAll(const char* prop, GVariant* value) {
  g_variant_ref_sink(value);
  GVariantPtr own(value);
  std::lock_guard<std::mutex> l(mu_);
  for (const std::string& path : Mice()) {
    GError* err = nullptr;
    GVariantPtr reply(g_dbus_connection_call_sync(
        bus_.get(), kService, path.c_str(), kProps, "Set",
        g_variant_new("(ssv)", kDeviceIface, prop, value), nullptr, G_DBUS_CALL_FLAGS_NONE,
        kTimeoutMs, nullptr, &err));
    if (!reply) {
      LogPrint("KWinPointer: set %s on %s: %s", prop, path.c_str(), err ? err->message : "?");
      if (err) g_error_free(err);
    }
  }
}

void KWinPointerSettings::SetScrollLines(int lines) {
  if (!caps_.CanSet(kPointerScrollLines)) return;
  if (auto f = ScrollLinesToFactor(lines)) SetAll(kScroll, g_variant_new_double(*f));
}

void KWinPointerSettings::SetAcceleration(bool enhance) {
  if (!caps_.CanSet(kPointerPrecision)) return;
  SetAll(kFlat, g_variant_new_boolean(!enhance));
}

void KWinPointerSettings::SetPointerSpeed(int speed) {
  if (!caps_.CanSet(kPointerSpeed)) return;
  SetAll(kAccel, g_variant_new_double(SpeedToAccel(speed)));
}

}  // namespace tolvane::platform
