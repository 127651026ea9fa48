// A virtual mouse behind the kernel's uhid interface.
//
// Every USB interface of the mouse becomes one uhid device (one /dev/uhid
// descriptor each), created with the interface's report descriptor and the
// mouse's USB ids, so the kernel makes a HID device and a hidraw node of it
// just as for a plugged-in mouse. The bridge turns what the kernel sends
// (feature reports as UHID_SET_REPORT, output reports as UHID_OUTPUT, report
// reads as UHID_GET_REPORT) into command reports for the firmware, and the
// firmware's input reports into UHID_INPUT2 on the interface whose descriptor
// declares their report id.
//
// The bridge does no I/O of its own: events go out through the writer given
// to it, and the caller feeds it the events it reads. HandleEvent runs on one
// thread; PumpInput on another (it blocks while the firmware is quiet);
// CancelPump and Destroy from any thread.
#pragma once

#include <linux/uhid.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/report_trace.h"
#include "sim/sim_mouse.h"

namespace tolvane::uhid {

// Writes one event to uhid device `device`; false when the write failed.
using EventWriter = std::function<bool(size_t device, const uhid_event& ev)>;

class UhidBridge {
 public:
  UhidBridge(std::shared_ptr<sim::VirtualMouse> mouse, EventWriter write, ReportTraceFn trace = {});
  ~UhidBridge();
  UhidBridge(const UhidBridge&) = delete;
  UhidBridge& operator=(const UhidBridge&) = delete;

  // The uhid devices, one per USB interface of the mouse.
  size_t DeviceCount() const { return ifs_.size(); }
  const std::string& InterfaceName(size_t device) const { return ifs_[device].name; }

  // Plugs the mouse in: UHID_CREATE2 on every device, named
  // "<name> (<interface>)". False when a write failed (the devices created
  // so far are destroyed again).
  bool Create(const std::string& name);

  // Handles one event read from device `device`.
  void HandleEvent(size_t device, const uhid_event& ev);

  // Waits at most timeoutMs for the firmware's next input report and passes
  // it on. False once the mouse is gone or CancelPump was called.
  bool PumpInput(int timeoutMs);
  void CancelPump();

  // Unplugs: UHID_DESTROY on every created device, once, the one with a
  // request in progress first, the others last-created first. The firmware
  // stops answering. Called by itself when the mouse vanishes (fault
  // injection).
  void Destroy();
  bool Destroyed() const { return destroyed_.load(); }

  // Reports that crossed the bridge (command reports in, input reports out).
  int ReportsIn() const { return in_.load(); }
  int ReportsOut() const { return out_.load(); }

 private:
  struct Interface {
    std::string name;
    sim::Descriptor descriptor;
    std::vector<uint8_t> inputIds;  // numbered input reports it declares
    bool created = false;
  };

  void Reply(size_t device, uint32_t type, uint32_t id, uint16_t err);
  // Hands one command report to the firmware; the result of the transfer.
  HidStatus Command(const uint8_t* data, size_t size, uint8_t reportId, bool viaFeature);
  bool Write(size_t device, const uhid_event& ev);

  const std::shared_ptr<sim::VirtualMouse> mouse_;
  const EventWriter write_;
  const ReportTraceFn trace_;
  std::vector<Interface> ifs_;

  std::mutex mu_;  // created flags and the destroy step
  std::shared_ptr<sim::VirtualMouse::Reader> reader_;
  uint64_t generation_ = 0;
  std::atomic<bool> destroyed_{false};
  std::atomic<int> busy_{-1};  // device whose SET_REPORT is being handled
  std::atomic<bool> stop_{false};
  std::atomic<int> in_{0}, out_{0};
};

}  // namespace tolvane::uhid
