// What the compositor backends share: a compositor that keeps the libinput
// pointer settings offers pointer speed, the acceleration profile and the
// scroll factor, but no double-click time and no pointer trails, so those two
// setters do nothing. Which values it offers is found when the backend is
// made and kept in caps_.
#pragma once

#include <mutex>

#include "platform/pointer_settings.h"

namespace tolvane::platform {

class CompositorPointerSettings : public PointerSettings {
 public:
  PointerCapabilities Capabilities() const override { return caps_; }
  void SetDoubleClickTime(int) override {}
  void SetTrails(int) override {}

 protected:
  mutable std::mutex mu_;
  PointerCapabilities caps_{0, 0};
};

}  // namespace tolvane::platform
