#include "device/discovery_host.h"

namespace tolvane {

LoopHost::LoopHost() : thread_(&LoopHost::Run, this) {}

LoopHost::~LoopHost() { Stop(); }

void LoopHost::Post(std::function<void()> task) {
  std::lock_guard<std::mutex> lock(mu_);
  if (stop_) return;
  tasks_.push_back(std::move(task));
  ++posted_;
  cv_.notify_all();
}

void LoopHost::SetTimer(uint32_t id, int periodMs, std::function<void()> tick) {
  std::lock_guard<std::mutex> lock(mu_);
  Timer& t = timers_[id];
  t.periodMs = periodMs < 1 ? 1 : periodMs;
  t.due = Clock::now() + std::chrono::milliseconds(t.periodMs);
  t.tick = std::move(tick);
  cv_.notify_all();
}

void LoopHost::KillTimer(uint32_t id) {
  std::lock_guard<std::mutex> lock(mu_);
  timers_.erase(id);
  cv_.notify_all();
}

void LoopHost::Stop() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    stop_ = true;
    cv_.notify_all();
  }
  if (thread_.joinable() && !OnHostThread()) thread_.join();
  std::lock_guard<std::mutex> lock(mu_);
  tasks_.clear();
  timers_.clear();
}

bool LoopHost::Drain(int timeoutMs) {
  std::unique_lock<std::mutex> lock(mu_);
  const uint64_t target = posted_;
  return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                      [&] { return done_ >= target || stop_; });
}

void LoopHost::Run() {
  std::unique_lock<std::mutex> lock(mu_);
  while (!stop_) {
    if (!tasks_.empty()) {
      auto task = std::move(tasks_.front());
      tasks_.pop_front();
      lock.unlock();
      task();
      lock.lock();
      ++done_;
      cv_.notify_all();
      continue;
    }
    // The earliest timer that is due runs; then the loop looks again.
    auto now = Clock::now();
    auto next = Clock::time_point::max();
    uint32_t dueId = 0;
    bool due = false;
    for (auto& [id, t] : timers_) {
      if (t.due <= now && !due) {
        dueId = id;
        due = true;
      }
      if (t.due < next) next = t.due;
    }
    if (due) {
      Timer& t = timers_[dueId];
      t.due = now + std::chrono::milliseconds(t.periodMs);
      auto tick = t.tick;
      lock.unlock();
      if (tick) tick();
      lock.lock();
      continue;
    }
    if (next == Clock::time_point::max())
      cv_.wait(lock);
    else
      cv_.wait_until(lock, next);
  }
}

}  // namespace tolvane
