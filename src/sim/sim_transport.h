// The transport the virtual mice stand behind: it lists their interfaces (and
// any foreign ones), opens them by role and reports plug events, exactly as
// the hidraw backend does for real devices.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/report_trace.h"
#include "device/transport.h"
#include "sim/sim_mouse.h"

namespace tolvane::sim {

class SimTransport : public HidTransport {
 public:
  SimTransport();
  ~SimTransport() override;
  SimTransport(const SimTransport&) = delete;
  SimTransport& operator=(const SimTransport&) = delete;

  // Plugs a mouse in (again): its interfaces appear under a fresh path, old
  // handles stay dead, and a running hotplug listener gets an arrival.
  void Plug(const std::shared_ptr<VirtualMouse>& mouse);
  // Pulls it out: open handles return NotConnected, a removal event follows.
  void Unplug(const std::shared_ptr<VirtualMouse>& mouse);
  std::vector<std::shared_ptr<VirtualMouse>> Mice() const;

  // A HID interface of some other device (a keyboard, a boot mouse). Listed
  // by Enumerate; opening it fails with `openErr` (EACCES by default).
  void AddForeign(const HidIfInfo& info, int openErr = 13);

  // Sees every command report sent and every input report read.
  void SetTrace(ReportTraceFn fn);

  std::vector<HidIfInfo> Enumerate() override;
  std::unique_ptr<HidHandle> Open(const std::string& path, HidRole role,
                                  int* err = nullptr) override;
  bool StartHotplug(std::function<void(const HotplugEvent&)> fn) override;
  void StopHotplug() override;

  // The name a plug event of this mouse carries ("...VID_xxxx&PID_xxxx...").
  static std::string EventName(const VirtualMouse& m);

 private:
  struct Core;
  std::shared_ptr<Core> core_;
  std::thread hotplug_;
};

}  // namespace tolvane::sim
