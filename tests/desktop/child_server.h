// A server process a test starts and ends: the child runs `argv`, in which
// the argument part "{fd}" stands for the number of a pipe on which the
// server announces itself with one line (its address, its display). The
// line is read once the server listens; the child is stopped with SIGTERM
// and reaped when the object goes.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace tolvane::test {

class ChildServer {
 public:
  explicit ChildServer(std::vector<std::string> argv) {
    int fds[2];
    if (pipe(fds) != 0) return;
    // Everything the child needs is built before the fork.
    const std::string fd = std::to_string(fds[1]);
    for (std::string& a : argv)
      if (size_t at = a.find("{fd}"); at != std::string::npos) a.replace(at, 4, fd);
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      execvp(args[0], args.data());
      _exit(127);
    }
    close(fds[1]);
    char buf[512];
    size_t n = 0;
    while (pid_ > 0 && n < sizeof buf - 1) {
      const ssize_t r = read(fds[0], buf + n, 1);
      if (r <= 0 || buf[n] == '\n') break;
      ++n;
    }
    close(fds[0]);
    line_.assign(buf, n);
  }
  ~ChildServer() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  ChildServer(const ChildServer&) = delete;
  ChildServer& operator=(const ChildServer&) = delete;

  // The announcement without its line end; empty when the server did not
  // start or said nothing.
  const std::string& Line() const { return line_; }

 private:
  pid_t pid_ = -1;
  std::string line_;
};

}  // namespace tolvane::test
