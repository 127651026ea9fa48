#include "platform/quit_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

namespace tolvane::platform {

namespace {

int g_pipe[2] = {-1, -1};

extern "C" void OnQuitSignal(int) {
  const int saved = errno;
  const char byte = 1;
  if (g_pipe[1] >= 0) (void)!::write(g_pipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

int QuitSignalFd() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
      g_pipe[0] = g_pipe[1] = -1;
      return;
    }
    struct sigaction sa {};
    sa.sa_handler = OnQuitSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(sig, &sa, nullptr);
  });
  return g_pipe[0];
}

bool DrainQuitSignals(int fd) {
  bool any = false;
  char buf[64];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n > 0) {
      any = true;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return any;
  }
}

}  // namespace tolvane::platform
