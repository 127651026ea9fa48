// X11: the libinput driver's device properties "libinput Accel Speed" (one
// 32-bit float, -1..1) and "libinput Accel Profile Enabled" (8-bit flags:
// adaptive, flat[, ...]) of the slave pointers, through XInput 2. Devices
// with "libinput Tapping Enabled" are touchpads and left alone. A server
// whose pointers lack these properties (no libinput driver) allows nothing.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/pointer_settings.h"

struct _XDisplay;

namespace tolvane::platform {

class XInputPointerSettings : public PointerSettings {
 public:
  // `display` empty: $DISPLAY.
  explicit XInputPointerSettings(const std::string& display = "");
  ~XInputPointerSettings() override;
  XInputPointerSettings(const XInputPointerSettings&) = delete;
  XInputPointerSettings& operator=(const XInputPointerSettings&) = delete;

  PointerValues Current() const override;
  PointerCapabilities Capabilities() const override { return caps_; }
  void SetDoubleClickTime(int) override {}
  void SetScrollLines(int) override {}
  void SetAcceleration(bool enhance) override;
  void SetPointerSpeed(int speed) override;
  void SetTrails(int) override {}

 private:
  // The slave pointers that carry the speed property now.
  std::vector<int> Mice() const;
  // The value of a device property of `type` with items of `format` bits, at
  // most `units` 32-bit units of it, as bytes; false when it is missing or of
  // another type or format.
  bool ReadProperty(int device, unsigned long atom, long units, unsigned long type, int format,
                    std::vector<uint8_t>* out) const;
  bool ReadFloat(int device, unsigned long atom, float* out) const;
  bool ReadBytes(int device, unsigned long atom, std::vector<uint8_t>* out) const;

  mutable std::mutex mu_;
  _XDisplay* dpy_ = nullptr;
  unsigned long speedAtom_ = 0, profileAtom_ = 0, tappingAtom_ = 0, floatAtom_ = 0;
  PointerCapabilities caps_{0, 0};
};

}  // namespace tolvane::platform
