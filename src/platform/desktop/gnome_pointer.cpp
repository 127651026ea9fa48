#include "platform/desktop/gnome_pointer.h"

#include <gio/gio.h>

#include "app/log.h"
#include "platform/desktop/gio_util.h"
#include "platform/desktop/pointer_mapping.h"

namespace tolvane::platform {

namespace {

constexpr const char* kSpeed = "speed";
constexpr const char* kProfile = "accel-profile";
constexpr const char* kDoubleClick = "double-click";

// Whether the schema has `key` with the value type `type`.
bool HasKey(GSettingsSchema* schema, const char* key, const char* type) {
  if (!g_settings_schema_has_key(schema, key)) return false;
  GSettingsSchemaKey* k = g_settings_schema_get_key(schema, key);
  const bool ok = g_variant_type_equal(g_settings_schema_key_get_value_type(k),
                                       G_VARIANT_TYPE(type));
  g_settings_schema_key_unref(k);
  return ok;
}

}  // namespace

GnomePointerSettings::GnomePointerSettings(const std::string& schemaId) {
  GSettingsSchemaSource* source = g_settings_schema_source_get_default();
  GSettingsSchema* schema =
      source ? g_settings_schema_source_lookup(source, schemaId.c_str(), TRUE) : nullptr;
  if (!schema) {
    LogPrint("GnomePointer: schema %s not installed", schemaId.c_str());
    return;
  }
  unsigned bits = 0;
  if (HasKey(schema, kSpeed, "d")) bits |= kPointerSpeed;
  if (HasKey(schema, kProfile, "s")) bits |= kPointerPrecision;
  if (HasKey(schema, kDoubleClick, "i")) bits |= kPointerDoubleClick;
  settings_ = g_settings_new_full(schema, nullptr, nullptr);
  g_settings_schema_unref(schema);
  caps_ = {bits, bits};
}

GnomePointerSettings::~GnomePointerSettings() {
  if (settings_) g_object_unref(settings_);
}

PointerValues GnomePointerSettings::Current() const {
  PointerValues v;
  std::lock_guard<std::mutex> l(mu_);
  if (caps_.CanRead(kPointerSpeed)) v.nPointerSpeed = AccelToSpeed(g_settings_get_double(settings_, kSpeed));
  if (caps_.CanRead(kPointerPrecision)) {
    GCharPtr s(g_settings_get_string(settings_, kProfile));
    if (auto p = ProfileToPrecision(s.get())) v.bEnhancePrecision = *p;
  }
  if (caps_.CanRead(kPointerDoubleClick))
    v.nDoubleClickTime = ClampDoubleClick(g_settings_get_int(settings_, kDoubleClick));
  return v;
}

void GnomePointerSettings::Done(bool ok, const char* key) {
  if (!ok) {
    LogPrint("GnomePointer: %s not written", key);
    return;
  }
  g_settings_sync();
}

void GnomePointerSettings::SetDoubleClickTime(int ms) {
  if (!caps_.CanSet(kPointerDoubleClick)) return;
  std::lock_guard<std::mutex> l(mu_);
  Done(g_settings_set_int(settings_, kDoubleClick, ClampDoubleClick(ms)), kDoubleClick);
}

void GnomePointerSettings::SetAcceleration(bool enhance) {
  if (!caps_.CanSet(kPointerPrecision)) return;
  std::lock_guard<std::mutex> l(mu_);
  const std::string profile(PrecisionToProfile(enhance));
  Done(g_settings_set_string(settings_, kProfile, profile.c_str()), kProfile);
}

void GnomePointerSettings::SetPointerSpeed(int speed) {
  if (!caps_.CanSet(kPointerSpeed)) return;
  std::lock_guard<std::mutex> l(mu_);
  Done(g_settings_set_double(settings_, kSpeed, SpeedToAccel(speed)), kSpeed);
}

}  // namespace tolvane::platform
