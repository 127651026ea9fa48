// Plug events of hidraw nodes through a udev monitor.
//
// The monitor listens on the "udev" netlink group, whose events come after
// the rules ran (so the node's permissions are in place), and on the "kernel"
// group where no udevd runs. A removal carries no ids any more, so the
// identity of every node is kept from its arrival (or from an enumeration).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "device/transport.h"
#include "platform/hidraw_sysfs.h"

struct udev;
struct udev_monitor;

namespace tolvane::platform {

// node name ("hidraw3") -> vendor and product id. Thread-safe.
class HotplugIdentities {
 public:
  void Remember(const std::string& node, uint32_t vid, uint32_t pid);
  // The identity, removed from the table; nothing when the node is unknown.
  std::optional<std::pair<uint32_t, uint32_t>> Forget(const std::string& node);

 private:
  std::mutex mu_;
  std::map<std::string, std::pair<uint32_t, uint32_t>> ids_;
};

// "<devPath> VID_3151&PID_4010": the interface name of a plug event.
std::string HotplugName(const std::string& devPath, uint32_t vid, uint32_t pid);

// The plug event for a udev event ("add" or "remove") on node `sysname`, or
// nothing: other actions, an arrival whose node cannot be read, a removal of
// a node never seen.
std::optional<HotplugEvent> TranslateHotplug(const std::string& action, const std::string& sysname,
                                             const HidrawRoots& roots, HotplugIdentities& ids);

class UdevMonitor {
 public:
  UdevMonitor(HidrawRoots roots, HotplugIdentities& ids);
  ~UdevMonitor();
  UdevMonitor(const UdevMonitor&) = delete;
  UdevMonitor& operator=(const UdevMonitor&) = delete;

  // Opens the monitor and starts the thread that calls `fn` for every event.
  // False when no monitor can be had (no netlink socket, no libudev).
  bool Start(std::function<void(const HotplugEvent&)> fn);
  // Stops the thread at once and joins it. From the monitor thread itself
  // (inside `fn`) it only asks the thread to end; the next Start or the
  // destructor joins it.
  void Stop();
  // "udev" or "kernel" once started, else "".
  const char* Group() const { return group_; }

 private:
  void Run(std::function<void(const HotplugEvent&)> fn);
  void Close();

  const HidrawRoots roots_;
  HotplugIdentities& ids_;
  struct udev* udev_ = nullptr;
  struct udev_monitor* mon_ = nullptr;
  int stopFd_ = -1;
  const char* group_ = "";
  std::thread thread_;
};

}  // namespace tolvane::platform
