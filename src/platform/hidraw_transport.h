// The Linux transport: HID interfaces through hidraw.
//
// Interface paths are "<dev>/hidrawN#<collection>". Handles of collections of
// the same node share one descriptor (see hidraw_io.h).
//
// Plug events: call StartHotplug before the first Enumerate, so that no
// arrival falls between the two; Enumerate also records the identity of every
// node so that its removal can be named.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/transport.h"
#include "platform/hidraw_io.h"
#include "platform/hidraw_sysfs.h"
#include "platform/hotplug.h"

namespace tolvane::platform {

class HidrawTransport : public HidTransport {
 public:
  explicit HidrawTransport(HidrawRoots roots = {}, HidrawSys sys = HidrawSys::Real());
  ~HidrawTransport() override;

  std::vector<HidIfInfo> Enumerate() override;
  std::unique_ptr<HidHandle> Open(const std::string& path, HidRole role, int* err = nullptr) override;
  bool StartHotplug(std::function<void(const HotplugEvent&)> fn) override;
  void StopHotplug() override;
  std::vector<HidAccessDenied> AccessDenied() const override;

  // The netlink group the plug events come from ("udev" or "kernel"), "" when
  // none are delivered.
  const char* HotplugGroup() const { return monitor_.Group(); }

 private:
  const HidrawRoots roots_;
  const HidrawSys sys_;
  HotplugIdentities ids_;

  mutable std::mutex mu_;
  std::map<std::string, std::weak_ptr<HidrawNode>> nodes_;  // by device node
  std::map<std::string, int> denied_;                        // device node -> errno

  UdevMonitor monitor_;  // last: its thread ends before the rest goes
};

}  // namespace tolvane::platform
