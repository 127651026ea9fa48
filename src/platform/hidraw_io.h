// Reports over an open hidraw node.
//
// One node (one file descriptor) serves every collection handle opened on it.
// The kernel gives each descriptor its own input queue, so a single reader per
// node reads the reports and files each in the queue of the handles whose
// collection carries its report id (a collection without report ids gets
// all). Whichever handle is waiting in Read does the reading; the others wait
// on their own eventfd, which is also how CancelRead ends a wait at once.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/transport.h"

namespace tolvane::platform {

// The system calls that touch a device node, replaceable in tests. Both
// return -1 and set errno on failure, as the real calls do.
struct HidrawSys {
  std::function<int(const char* path, int flags)> open;
  std::function<int(int fd, unsigned long request, void* arg)> ioctl;
  static HidrawSys Real();
  // This set with the real call in every place left empty.
  HidrawSys Completed() const;
};

// Errno of a failed transfer as a transport status: the device went away
// (ENODEV, EIO, ESHUTDOWN, ENXIO, ENOENT) or it refused (anything else, e.g.
// EPIPE for a stalled request, ETIMEDOUT).
HidStatus StatusOfErrno(int err);

class HidrawNode : public std::enable_shared_from_this<HidrawNode> {
 public:
  // Takes ownership of `fd`. `numbered`: the node's reports start with a report
  // id. Without ids the kernel hands reports over bare; they get a 0 in front
  // so that byte 0 is the report id in either case.
  static std::shared_ptr<HidrawNode> Adopt(int fd, bool numbered, HidrawSys sys, std::string name);
  ~HidrawNode();
  HidrawNode(const HidrawNode&) = delete;
  HidrawNode& operator=(const HidrawNode&) = delete;

  // A handle for one collection. `inputIds` are the report ids of its input
  // reports; {0} (a collection without report ids) receives every report.
  std::unique_ptr<HidHandle> OpenCollection(std::vector<uint8_t> inputIds);

  // False once a read saw the device go, or when the kernel reports a hang-up
  // on the descriptor now (the node was unplugged, maybe its number reused).
  bool Alive();
  const std::string& Name() const { return name_; }

  // The advisory lock on the node (flock) that every process of ours holds
  // around an exchange. Nested holds within this process count; the node is
  // released when the last one ends. False when another process held it for
  // all of timeoutMs.
  bool LockExchange(int timeoutMs);
  void UnlockExchange();

  // Input reports kept per handle while nobody reads them; older ones are
  // dropped first, as the kernel does with its own queue.
  static constexpr size_t kQueueLimit = 64;

 private:
  class Handle;
  struct Member;
  HidrawNode(int fd, bool numbered, HidrawSys sys, std::string name);

  HidStatus Read(Member& m, Report& report, int timeoutMs);
  HidStatus Write(Member& m, const Report& report, int timeoutMs);
  HidStatus SendFeature(Member& m, const Report& report);
  void Cancel(Member& m);
  void Detach(Member* m);
  // Files one report read from the descriptor; rings the others' doorbells.
  void RouteLocked(const uint8_t* data, size_t len, Member* self);
  void MarkGoneLocked(int err);
  void ReleaseReaderLocked(Member* self);

  const int fd_;
  const bool numbered_;
  const HidrawSys sys_;
  const std::string name_;

  std::mutex lockMu_;  // guards lockHolds_
  int lockHolds_ = 0;

  std::mutex mu_;
  std::vector<Member*> members_;
  Member* reader_ = nullptr;
  bool gone_ = false;
  int goneErr_ = 0;
};

}  // namespace tolvane::platform
