// A fake sway IPC server on a Unix socket, in a thread of its own: it answers
// GET_INPUTS from its state and applies the "input type:pointer" commands it
// understands to it.
#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/desktop/pointer_mapping.h"
#include "platform/desktop/sway_ipc.h"

namespace tolvane::test {

class FakeSway {
 public:
  explicit FakeSway(const std::string& path) : path_(path) {
    fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::strncpy(a.sun_path, path.c_str(), sizeof a.sun_path - 1);
    unlink(path.c_str());
    if (bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && listen(fd_, 4) == 0)
      thread_ = std::thread([this] { Serve(); });
  }
  ~FakeSway() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    close(fd_);
    unlink(path_.c_str());
  }
  std::vector<std::string> Commands() {
    std::lock_guard<std::mutex> l(mu_);
    return commands_;
  }
  double accel = 0.25, scroll = 1.0;
  std::string profile = "adaptive";
  std::atomic<bool> withPointer{true};
  std::atomic<bool> garbleReplies{false};

 private:
  std::string Inputs() {
    std::lock_guard<std::mutex> l(mu_);
    std::string s = "[{\"identifier\":\"1:1:kbd\",\"type\":\"keyboard\"},"
                    "{\"identifier\":\"2:7:pad\",\"type\":\"touchpad\",\"scroll_factor\":9.0,"
                    "\"libinput\":{\"accel_speed\":-1.0,\"accel_profile\":\"flat\"}}";
    if (withPointer)
      s += ",{\"identifier\":\"3:4:\\\"mouse\\\"\",\"type\":\"pointer\",\"scroll_factor\":" +
           platform::FormatNumber(scroll) + ",\"libinput\":{\"accel_speed\":" +
           platform::FormatNumber(accel) + ",\"accel_profile\":\"" + profile + "\"}}";
    return s + "]";
  }
  std::string Command(const std::string& c) {
    std::lock_guard<std::mutex> l(mu_);
    commands_.push_back(c);
    const std::string pre = "input type:pointer ";
    if (c.rfind(pre, 0) != 0) return "[{\"success\":false,\"error\":\"unknown\"}]";
    const std::string rest = c.substr(pre.size());
    const size_t sp = rest.find(' ');
    const std::string key = rest.substr(0, sp), value = rest.substr(sp + 1);
    if (key == "pointer_accel") accel = platform::ParseNumber(value).value_or(99);
    else if (key == "scroll_factor") scroll = platform::ParseNumber(value).value_or(99);
    else if (key == "accel_profile") profile = value;
    else return "[{\"success\":false}]";
    return "[{\"success\":true}]";
  }
  void Serve() {
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0) continue;
      const int c = accept(fd_, nullptr, nullptr);
      if (c < 0) continue;
      char h[platform::kSwayHeaderSize];
      if (recv(c, h, sizeof h, MSG_WAITALL) == ssize_t(sizeof h)) {
        auto hdr = platform::DecodeSwayHeader(std::string_view(h, sizeof h));
        std::string body(hdr ? hdr->length : 0, '\0');
        if (hdr && (body.empty() || recv(c, body.data(), body.size(), MSG_WAITALL) == ssize_t(body.size()))) {
          std::string reply = hdr->type == platform::kSwayGetInputs ? Inputs() : Command(body);
          if (garbleReplies) reply = "{not json";
          const std::string m = platform::EncodeSwayMessage(hdr->type, reply);
          (void)!send(c, m.data(), m.size(), MSG_NOSIGNAL);
        }
      }
      close(c);
    }
  }

  std::string path_;
  int fd_ = -1;
  std::atomic<bool> stop_{false};
  std::mutex mu_;
  std::vector<std::string> commands_;
  std::thread thread_;
};

}  // namespace tolvane::test
