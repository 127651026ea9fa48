// KDE Plasma on Wayland: KWin's input devices over D-Bus. The device manager
// org.kde.KWin /org/kde/KWin/InputDevice lists the devices (devicesSysNames);
// each is /org/kde/KWin/InputDevice/<name> with the interface
// org.kde.KWin.InputDevice. Mice are the devices with `pointer` set and
// `touchpad` not; their pointerAcceleration (-1..1),
// pointerAccelerationProfileFlat and scrollFactor are read from the first
// mouse and written to every mouse. KWin keeps what is written.
#pragma once

#include <string>
#include <vector>

#include "platform/desktop/compositor_pointer.h"
#include "platform/desktop/gio_util.h"

namespace tolvane::platform {

class KWinPointerSettings : public CompositorPointerSettings {
 public:
  // `busAddress` empty: the session bus.
  explicit KWinPointerSettings(const std::string& busAddress = "");

  PointerValues Current() const override;
  void SetScrollLines(int lines) override;
  void SetAcceleration(bool enhance) override;
  void SetPointerSpeed(int speed) override;

 private:
  // Object paths of the mice KWin lists now.
  std::vector<std::string> Mice() const;
  GVariantPtr Get(const std::string& path, const char* prop) const;
  // Writes `value` (floating reference, consumed) to every mouse.
  void SetAll(const char* prop, GVariant* value);

  GObjectPtr<GDBusConnection> bus_;
};

}  // namespace tolvane::platform
