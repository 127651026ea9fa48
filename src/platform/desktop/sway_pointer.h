// sway: its IPC socket ($SWAYSOCK). Changes are the commands
// "input type:pointer pointer_accel X", "... accel_profile adaptive|flat" and
// "... scroll_factor X" (which also hold for pointers plugged in later);
// the values are read from the first pointer of GET_INPUTS. sway has no
// double-click time.
#pragma once

#include <string>

#include "platform/desktop/compositor_pointer.h"
#include "platform/desktop/sway_ipc.h"

namespace tolvane::platform {

// $SWAYSOCK, or empty.
std::string SwaySocketPath();

class SwayPointerSettings : public CompositorPointerSettings {
 public:
  explicit SwayPointerSettings(std::string socketPath);

  PointerValues Current() const override;
  void SetScrollLines(int lines) override;
  void SetAcceleration(bool enhance) override;
  void SetPointerSpeed(int speed) override;

 private:
  // The first pointer of GET_INPUTS, or none.
  std::optional<Json> Pointer() const;
  void Run(const std::string& command);

  std::string socket_;
};

}  // namespace tolvane::platform
