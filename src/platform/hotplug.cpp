#include "platform/hotplug.h"

#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "app/log.h"

namespace tolvane::platform {

void HotplugIdentities::Remember(const std::string& node, uint32_t vid, uint32_t pid) {
  std::lock_guard<std::mutex> lk(mu_);
  ids_[node] = {vid, pid};
}

std::optional<std::pair<uint32_t, uint32_t>> HotplugIdentities::Forget(const std::string& node) {
  std::lock_guard<std::mutex> lk(mu_);
  auto it = ids_.find(node);
  if (it == ids_.end()) return std::nullopt;
  auto v = it->second;
  ids_.erase(it);
  return v;
}

std::string HotplugName(const std::string& devPath, uint32_t vid, uint32_t pid) {
  char ids[40];
  std::snprintf(ids, sizeof ids, " VID_%04X&PID_%04X", vid, pid);
  return devPath + ids;
}

std::optional<HotplugEvent> TranslateHotplug(const std::string& action, const std::string& sysname,
                                             const HidrawRoots& roots, HotplugIdentities& ids) {
  const std::string devPath = roots.devRoot + "/" + sysname;
  if (action == "add") {
    HidrawNodeInfo info;
    if (!ReadHidrawNode(roots, sysname, &info)) return std::nullopt;
    ids.Remember(sysname, info.vid, info.pid);
    return HotplugEvent{true, HotplugName(devPath, info.vid, info.pid)};
  }
  if (action == "remove") {
    auto id = ids.Forget(sysname);
    if (!id) return std::nullopt;
    return HotplugEvent{false, HotplugName(devPath, id->first, id->second)};
  }
  return std::nullopt;
}

UdevMonitor::UdevMonitor(HidrawRoots roots, HotplugIdentities& ids) : roots_(std::move(roots)), ids_(ids) {}

UdevMonitor::~UdevMonitor() {
  Stop();
  Close();
}

void UdevMonitor::Close() {
  if (mon_) udev_monitor_unref(mon_);
  if (udev_) udev_unref(udev_);
  if (stopFd_ >= 0) ::close(stopFd_);
  mon_ = nullptr;
  udev_ = nullptr;
  stopFd_ = -1;
  group_ = "";
}

bool UdevMonitor::Start(std::function<void(const HotplugEvent&)> fn) {
  Stop();
  if (thread_.joinable()) thread_.join();
  Close();
  udev_ = udev_new();
  if (!udev_) {
    LogPrint("UdevMonitor: udev_new failed");
    return false;
  }
  // Without udevd nobody forwards events on the "udev" group.
  const bool haveUdevd = ::access("/run/udev/control", F_OK) == 0;
  group_ = haveUdevd ? "udev" : "kernel";
  mon_ = udev_monitor_new_from_netlink(udev_, group_);
  if (!mon_ || udev_monitor_filter_add_match_subsystem_devtype(mon_, "hidraw", nullptr) < 0 ||
      udev_monitor_enable_receiving(mon_) < 0) {
    LogPrint("UdevMonitor: no monitor on the %s group, errno=%d", group_, errno);
    Close();
    return false;
  }
  stopFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (stopFd_ < 0) {
    Close();
    return false;
  }
  LogPrint("UdevMonitor: listening on the %s group", group_);
  thread_ = std::thread(&UdevMonitor::Run, this, std::move(fn));
  return true;
}

void UdevMonitor::Stop() {
  if (!thread_.joinable()) return;
  const uint64_t one = 1;
  ssize_t r;
  do {
    r = ::write(stopFd_, &one, sizeof one);
  } while (r < 0 && errno == EINTR);
  if (std::this_thread::get_id() == thread_.get_id()) return;
  thread_.join();
  Close();
}

void UdevMonitor::Run(std::function<void(const HotplugEvent&)> fn) {
  const int monFd = udev_monitor_get_fd(mon_);
  for (;;) {
    pollfd fds[2] = {{stopFd_, POLLIN, 0}, {monFd, POLLIN, 0}};
    const int rc = ::poll(fds, 2, -1);
    if (rc < 0) {
      if (errno == EINTR) continue;
      LogPrint("UdevMonitor: poll errno=%d", errno);
      return;
    }
    if (fds[0].revents) return;
    if (!(fds[1].revents & POLLIN)) {
      if (fds[1].revents) return;  // the socket broke
      continue;
    }
    struct udev_device* dev = udev_monitor_receive_device(mon_);
    if (!dev) continue;
    const char* action = udev_device_get_action(dev);
    const char* sysname = udev_device_get_sysname(dev);
    std::optional<HotplugEvent> ev;
    if (action && sysname) ev = TranslateHotplug(action, sysname, roots_, ids_);
    udev_device_unref(dev);
    if (ev) fn(*ev);
  }
}

}  // namespace tolvane::platform
