#include "platform/single_instance.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/xdg.h"

namespace tolvane::platform {

namespace {

// Wire form: "TOLVANE <msg> <wParam> <lParam>\n".
std::string Encode(const InstanceMessage& m) {
  return "TOLVANE " + std::to_string(unsigned(m.msg)) + " " + std::to_string(size_t(m.wParam)) +
         " " + std::to_string(ssize_t(m.lParam)) + "\n";
}

bool Decode(const char* text, InstanceMessage& m) {
  unsigned msg = 0;
  size_t w = 0;
  ssize_t l = 0;
  if (std::sscanf(text, "TOLVANE %u %zu %zd", &msg, &w, &l) != 3) return false;
  m.msg = msg;
  m.wParam = uintptr_t(w);
  m.lParam = intptr_t(l);
  return true;
}

bool FillAddress(const std::string& path, sockaddr_un& addr) {
  std::memset(&addr, 0, sizeof addr);
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) return false;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  return true;
}

}  // namespace

SingleInstance::SingleInstance(const std::string& name, std::string dir) {
  if (dir.empty()) dir = RuntimeDir();
  lockPath_ = dir + "/" + name + ".lock";
  socketPath_ = dir + "/" + name + ".sock";
}

SingleInstance::~SingleInstance() { Release(); }

bool SingleInstance::Acquire(std::function<void(const InstanceMessage&)> onMessage) {
  if (lockFd_ >= 0) return true;
  int fd = open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    error_ = errno;
    return false;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    error_ = errno;
    close(fd);
    return false;
  }
  lockFd_ = fd;
  onMessage_ = std::move(onMessage);

  sockaddr_un addr;
  if (!FillAddress(socketPath_, addr)) {
    error_ = ENAMETOOLONG;
    return true;  // we are the first copy; later copies just cannot reach us
  }
  unlink(socketPath_.c_str());  // left behind by a copy that crashed
  int s = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s < 0 || bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(s, 4) != 0) {
    error_ = errno;
    if (s >= 0) close(s);
    return true;
  }
  listenFd_ = s;
  wakeFd_ = eventfd(0, EFD_CLOEXEC);
  listener_ = std::thread([this] { Listen(); });
  return true;
}

void SingleInstance::Listen() {
  for (;;) {
    pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    int n = poll(fds, 2, -1);
    if (n < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents) return;
    if (!(fds[0].revents & POLLIN)) continue;
    int c = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (c < 0) continue;
    // A sender writes one short line and closes; never wait long for it.
    char buf[128] = {};
    size_t got = 0;
    pollfd cp = {c, POLLIN, 0};
    while (got < sizeof buf - 1 && poll(&cp, 1, 500) > 0) {
      ssize_t r = read(c, buf + got, sizeof buf - 1 - got);
      if (r <= 0) break;
      got += size_t(r);
      if (std::memchr(buf, '\n', got)) break;
    }
    close(c);
    InstanceMessage m;
    if (Decode(buf, m) && onMessage_) onMessage_(m);
  }
}

bool SingleInstance::SendToFirst(const InstanceMessage& m) {
  sockaddr_un addr;
  if (!FillAddress(socketPath_, addr)) return false;
  int s = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s < 0) return false;
  bool ok = connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  if (ok) {
    std::string text = Encode(m);
    ok = send(s, text.data(), text.size(), MSG_NOSIGNAL) == ssize_t(text.size());
  }
  close(s);
  return ok;
}

void SingleInstance::Release() {
  if (listener_.joinable()) {
    uint64_t one = 1;
    ssize_t w = write(wakeFd_, &one, sizeof one);
    (void)w;
    listener_.join();
  }
  if (wakeFd_ >= 0) close(wakeFd_);
  wakeFd_ = -1;
  if (listenFd_ >= 0) {
    close(listenFd_);
    unlink(socketPath_.c_str());
  }
  listenFd_ = -1;
  if (lockFd_ >= 0) close(lockFd_);  // closing drops the lock
  lockFd_ = -1;
}

}  // namespace tolvane::platform
