// A scripted stand-in for a mouse behind the transport: a small EEPROM, the
// commands the device link uses, and knobs for dropped, foreign, failing,
// delayed replies and unplugging.
#pragma once

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/log.h"
#include "device/transport.h"

namespace tolvane::test {

using Clock = std::chrono::steady_clock;

class FakeMouse {
 public:
  explicit FakeMouse(bool plus) : plus_(plus) {
    for (size_t i = 0; i < eeprom.size(); ++i) eeprom[i] = uint8_t(i * 7 + 1);
  }

  // ---- Script knobs (set under Lock() or before use).
  int dropReplies = 0;         // the next N requests get no reply
  int failStatusReplies = 0;   // the next N replies carry status 1
  int foreignBefore = 0;       // each reply is preceded by N replies for command 0x0E
  bool notifyBefore = false;   // each reply is preceded by a notification
  int replyDelayMs = 0;        // replies arrive this late
  int failSends = 0;           // the next N sends are refused (device still there)
  int unplugAtSend = -1;       // unplug when the request with this index (0-based) arrives
  int writeTimeouts = 0;       // PRO+: the next N writes stay pending
  std::function<void(const Report&)> onRequest;  // called for every accepted request

  std::vector<uint8_t> eeprom = std::vector<uint8_t>(0x1B00);

  std::unique_lock<std::mutex> Lock() { return std::unique_lock<std::mutex>(mu_); }

  std::vector<Report> Sent() {
    auto l = Lock();
    return sent_;
  }
  size_t SentCount() {
    auto l = Lock();
    return sent_.size();
  }

  // Queues an input report (device to host) `delayMs` from now.
  void Push(const Report& r, int delayMs = 0) {
    {
      auto l = Lock();
      input_.push_back({Clock::now() + std::chrono::milliseconds(delayMs), r});
    }
    cv_.notify_all();
  }
  void PushPayload(std::initializer_list<uint8_t> payload, int delayMs = 0) {
    Report r{};
    r[0] = plus_ ? 0 : 9;
    std::copy(payload.begin(), payload.end(), r.begin() + 1);
    Push(r, delayMs);
  }

  void Unplug() {
    {
      auto l = Lock();
      unplugged_ = true;
    }
    cv_.notify_all();
  }

  // ---- Transport side.
  HidStatus Request(const Report& r) {
    std::unique_lock<std::mutex> l(mu_);
    if (unplugged_) return HidStatus::NotConnected;
    if (failSends > 0) {
      --failSends;
      return HidStatus::Failed;
    }
    const int index = int(sent_.size());
    sent_.push_back(r);
    if (index == unplugAtSend) {
      unplugged_ = true;
      l.unlock();
      cv_.notify_all();
      return HidStatus::Ok;  // accepted, but the device is gone before it answers
    }
    if (onRequest) onRequest(r);
    if (dropReplies > 0) {
      --dropReplies;
      return HidStatus::Ok;
    }
    Report reply = Answer(r);
    const auto at = Clock::now() + std::chrono::milliseconds(replyDelayMs);
    for (int i = 0; i < foreignBefore; ++i) input_.push_back({at, Foreign()});
    if (notifyBefore) input_.push_back({at, Notification()});
    input_.push_back({at, reply});
    l.unlock();
    cv_.notify_all();
    return HidStatus::Ok;
  }

  HidStatus Read(Report& out, int timeoutMs, bool& cancel) {
    std::unique_lock<std::mutex> l(mu_);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      if (cancel) {
        cancel = false;
        return HidStatus::Cancelled;
      }
      if (unplugged_) return HidStatus::NotConnected;
      auto now = Clock::now();
      if (!input_.empty() && input_.front().first <= now) {
        out = input_.front().second;
        input_.pop_front();
        return HidStatus::Ok;
      }
      if (now >= deadline) return HidStatus::Timeout;
      auto until = deadline;
      if (!input_.empty()) until = std::min(until, input_.front().first);
      cv_.wait_until(l, until);
    }
  }

  HidStatus WriteOut(const Report& r) {
    {
      auto l = Lock();
      if (writeTimeouts > 0 && !unplugged_) {
        --writeTimeouts;
        return HidStatus::Timeout;
      }
    }
    return Request(r);
  }

  void Wake() { cv_.notify_all(); }
  bool Plus() const { return plus_; }
  bool Unplugged() {
    auto l = Lock();
    return unplugged_;
  }

 private:
  Report Answer(const Report& req) {
    Report r{};
    r[0] = plus_ ? 0 : 9;
    uint8_t* p = r.data() + 1;
    const uint8_t* q = req.data() + 1;
    p[0] = q[0];
    p[2] = q[2];
    p[3] = q[3];
    p[4] = q[4];
    const size_t addr = size_t(q[2]) << 8 | q[3];
    const size_t len = std::min<size_t>(q[4], 10);
    switch (q[0]) {
      case 0x08:
        for (size_t i = 0; i < len && addr + i < eeprom.size(); ++i) p[5 + i] = eeprom[addr + i];
        break;
      case 0x07:
        for (size_t i = 0; i < len && addr + i < eeprom.size(); ++i) eeprom[addr + i] = q[5 + i];
        break;
      case 0x03: p[5] = 1; break;
      case 0x04: p[5] = 80; p[6] = 1; break;
      case 0x06: p[5] = 0x42; break;
      case 0x0E: p[5] = 2; break;
      case 0x0F: p[5] = 0; break;
      default: break;
    }
    if (failStatusReplies > 0) {
      --failStatusReplies;
      p[1] = 1;
    }
    r[16] = 0xEE;  // the host never checks input checksums
    return r;
  }
  Report Foreign() {
    Report r{};
    r[0] = plus_ ? 0 : 9;
    r[1] = 0x0E;
    r[6] = 0x77;
    return r;
  }
  Report Notification() {
    Report r{};
    r[0] = plus_ ? 0 : 9;
    r[1] = 0x0A;
    r[6] = 0x01;
    r[7] = 3;
    return r;
  }

  bool plus_;
  std::mutex mu_;
  std::condition_variable cv_;
  std::deque<std::pair<Clock::time_point, Report>> input_;
  std::vector<Report> sent_;
  bool unplugged_ = false;
};

// One opened interface of a FakeMouse.
class FakeHandle : public HidHandle {
 public:
  FakeHandle(std::shared_ptr<FakeMouse> m, HidRole role) : m_(std::move(m)), role_(role) {}
  HidStatus SendFeature(const Report& r) override {
    if (role_ != HidRole::ProCommand) return Fail(HidStatus::Failed);
    return Fail(m_->Request(r));
  }
  HidStatus Write(const Report& r, int) override {
    if (role_ != HidRole::ProPlus) return Fail(HidStatus::Failed);
    return Fail(m_->WriteOut(r));
  }
  HidStatus Read(Report& r, int timeoutMs) override {
    if (role_ == HidRole::ProCommand) return Fail(HidStatus::Failed);
    return Fail(m_->Read(r, timeoutMs, cancel_));
  }
  void CancelRead() override {
    {
      auto l = m_->Lock();
      cancel_ = true;
    }
    m_->Wake();
  }
  int LastError() const override { return err_; }

 private:
  HidStatus Fail(HidStatus s) {
    err_ = s == HidStatus::NotConnected ? ENODEV : s == HidStatus::Failed ? EPIPE : 0;
    return s;
  }
  std::shared_ptr<FakeMouse> m_;
  HidRole role_;
  bool cancel_ = false;  // guarded by the mouse's lock
  std::atomic<int> err_{0};
};

// Collects log entries (without the "BY: " prefix) while it lives.
class LogCapture {
 public:
  LogCapture() {
    LogLevel = 1;
    SetDebugOutput([this](std::string_view t) {
      std::lock_guard<std::mutex> l(mu_);
      if (t.substr(0, 4) == "BY: ") t.remove_prefix(4);
      lines_.emplace_back(t);
    });
  }
  ~LogCapture() {
    SetDebugOutput({});
    LogLevel = 0;
  }
  std::vector<std::string> Lines() {
    std::lock_guard<std::mutex> l(mu_);
    return lines_;
  }
  int Count(const std::string& prefix) {
    int n = 0;
    for (auto& s : Lines()) n += s.rfind(prefix, 0) == 0;
    return n;
  }
  bool Has(const std::string& prefix) { return Count(prefix) > 0; }

 private:
  std::mutex mu_;
  std::vector<std::string> lines_;
};

}  // namespace tolvane::test
