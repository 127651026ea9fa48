// GNOME's pointer settings: GSettings schema org.gnome.desktop.peripherals.mouse,
// keys speed (-1..1), accel-profile (flat/adaptive) and double-click (ms).
// GNOME has no scroll-lines setting. A missing schema or key leaves the value
// out of the capabilities.
#pragma once

#include <mutex>
#include <string>

#include "platform/pointer_settings.h"

struct _GSettings;

namespace tolvane::platform {

constexpr const char* kGnomeMouseSchema = "org.gnome.desktop.peripherals.mouse";

class GnomePointerSettings : public PointerSettings {
 public:
  explicit GnomePointerSettings(const std::string& schemaId = kGnomeMouseSchema);
  ~GnomePointerSettings() override;
  GnomePointerSettings(const GnomePointerSettings&) = delete;
  GnomePointerSettings& operator=(const GnomePointerSettings&) = delete;

  PointerValues Current() const override;
  PointerCapabilities Capabilities() const override { return caps_; }
  void SetDoubleClickTime(int ms) override;
  void SetScrollLines(int) override {}
  void SetAcceleration(bool enhance) override;
  void SetPointerSpeed(int speed) override;
  void SetTrails(int) override {}

 private:
  void Done(bool ok, const char* key);
  mutable std::mutex mu_;
  _GSettings* settings_ = nullptr;
  PointerCapabilities caps_{0, 0};
};

}  // namespace tolvane::platform
