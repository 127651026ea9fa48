#include "platform/hidraw_transport.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <set>

#include "app/log.h"

namespace tolvane::platform {

HidrawTransport::HidrawTransport(HidrawRoots roots, HidrawSys sys)
    : roots_(std::move(roots)), sys_(sys.Completed()), monitor_(roots_, ids_) {}

HidrawTransport::~HidrawTransport() { monitor_.Stop(); }

std::vector<HidIfInfo> HidrawTransport::Enumerate() {
  std::vector<HidrawNodeInfo> nodes = ScanHidrawNodes(roots_);
  std::set<std::string> present;
  for (const auto& n : nodes) {
    ids_.Remember(n.name, n.vid, n.pid);
    present.insert(n.devPath);
  }
  {
    std::lock_guard<std::mutex> lk(mu_);
    for (auto it = denied_.begin(); it != denied_.end();) {
      it = present.count(it->first) ? std::next(it) : denied_.erase(it);
    }
  }
  return InterfacesOf(nodes);
}

std::unique_ptr<HidHandle> HidrawTransport::Open(const std::string& path, HidRole /*role*/, int* err) {
  auto fail = [err](int e) -> std::unique_ptr<HidHandle> {
    if (err) *err = e;
    return nullptr;
  };
  std::string devPath;
  size_t index = 0;
  if (!SplitCollectionPath(path, &devPath, &index)) return fail(EINVAL);
  const std::string name = std::filesystem::path(devPath).filename().string();

  // Every open goes to the node itself, also when the node is open already:
  // it is how a caller finds out whether the device is still there.
  const int fd = sys_.open(devPath.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int e = errno;
    if (e == EACCES || e == EPERM) {
      LogPrint("HidOpen: access denied to %s, errno=%d", devPath.c_str(), e);
      std::lock_guard<std::mutex> lk(mu_);
      denied_[devPath] = e;
    }
    return fail(e);
  }
  HidrawNodeInfo info;
  if (!ReadHidrawNode(roots_, name, &info)) {
    ::close(fd);
    return fail(ENODEV);
  }
  if (index >= info.desc.collections.size()) {
    ::close(fd);
    return fail(ENOENT);
  }

  std::shared_ptr<HidrawNode> node;
  {
    std::lock_guard<std::mutex> lk(mu_);
    denied_.erase(devPath);
    for (auto it = nodes_.begin(); it != nodes_.end();) {
      it = it->second.expired() ? nodes_.erase(it) : std::next(it);
    }
    node = nodes_[devPath].lock();
    if (node && node->Alive()) {
      ::close(fd);
    } else {
      node = HidrawNode::Adopt(fd, info.desc.usesReportIds, sys_, name);
      nodes_[devPath] = node;
    }
  }
  auto h = node->OpenCollection(info.desc.collections[index].InputIds());
  if (!h) return fail(errno ? errno : EMFILE);
  return h;
}

bool HidrawTransport::StartHotplug(std::function<void(const HotplugEvent&)> fn) {
  return monitor_.Start(std::move(fn));
}

void HidrawTransport::StopHotplug() { monitor_.Stop(); }

std::vector<HidAccessDenied> HidrawTransport::AccessDenied() const {
  std::lock_guard<std::mutex> lk(mu_);
  std::vector<HidAccessDenied> out;
  for (const auto& [node, e] : denied_) out.push_back({node, e});
  return out;
}

}  // namespace tolvane::platform
