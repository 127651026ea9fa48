// One running copy per user.
//
// The first copy holds an exclusive lock on "<name>.lock" in the runtime
// folder and listens on the local socket "<name>.sock" beside it. A later copy
// finds the lock taken, sends the first one a message through the socket and
// gives up. The kernel drops the lock with the process, so a crashed copy never
// blocks the next start; a stale socket file is replaced by the next owner.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

namespace tolvane::platform {

// A message between instances: the window message it stands for.
struct InstanceMessage {
  uint32_t msg = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
};

class SingleInstance {
 public:
  // `dir` is the folder of the lock and socket (RuntimeDir() by default).
  explicit SingleInstance(const std::string& name, std::string dir = {});
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // Takes the lock. True: this is the first copy; messages from later copies
  // are handed to `onMessage` on a thread of this object's own. False: another
  // copy holds it (or the folder is unusable; see error()).
  bool Acquire(std::function<void(const InstanceMessage&)> onMessage);

  // From a later copy: sends `m` to the first one. False when nobody listens.
  bool SendToFirst(const InstanceMessage& m);

  // Stops listening and releases the lock (also done by the destructor).
  void Release();

  const std::string& lockPath() const { return lockPath_; }
  const std::string& socketPath() const { return socketPath_; }
  int error() const { return error_; }

 private:
  void Listen();

  std::string lockPath_;
  std::string socketPath_;
  int lockFd_ = -1;
  int listenFd_ = -1;
  int wakeFd_ = -1;
  int error_ = 0;
  std::function<void(const InstanceMessage&)> onMessage_;
  std::thread listener_;
};

}  // namespace tolvane::platform
