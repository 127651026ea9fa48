// sway: its IPC socket ($SWAYSOCK). Changes are the commands
// "input type:pointer pointer_accel X", "... accel_profile adaptive|flat" and
// "... scroll_factor X" (which also hold for pointers plugged in later);
// the values are read from the first pointer of GET_INPUTS. sway has no
// double-click time.
#pragma once

#include <mutex>
#include <string>

#include "platform/desktop/sway_ipc.h"
#include "platform/pointer_settings.h"

namespace tolvane::platform {

// $SWAYSOCK, or empty.
std::string SwaySocketPath();

class SwayPointerSettings : public PointerSettings {
 public:
  explicit SwayPointerSettings(std::string socketPath);

  PointerValues Current() const override;
  PointerCapabilities Capabilities() const override { return caps_; }
  void SetDoubleClickTime(int) override {}
  void SetScrollLines(int lines) override;
  void SetAcceleration(bool enhance) override;
  void SetPointerSpeed(int speed) override;
  void SetTrails(int) override {}

 private:
  // The first pointer of GET_INPUTS, or none.
  std::optional<Json> Pointer() const;
  void Run(const std::string& command);

  mutable std::mutex mu_;
  std::string socket_;
  PointerCapabilities caps_{0, 0};
};

}  // namespace tolvane::platform
