// Where discovery's "user-interface thread" work runs: scans, plug-event
// handling and the FINDDEV timer.
//
// The GUI implements this with its event loop (a queued call and a QTimer);
// the CLI and the tests use LoopHost, a thread of its own.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace tolvane {

class DiscoveryHost {
 public:
  virtual ~DiscoveryHost() = default;
  // Runs `task` on the host thread, after the tasks posted before it.
  virtual void Post(std::function<void()> task) = 0;
  // Starts (or restarts) timer `id`: `tick` runs on the host thread every
  // periodMs until KillTimer.
  virtual void SetTimer(uint32_t id, int periodMs, std::function<void()> tick) = 0;
  virtual void KillTimer(uint32_t id) = 0;
};

// A host thread of its own: tasks in order, timers between them.
class LoopHost : public DiscoveryHost {
 public:
  LoopHost();
  ~LoopHost() override;  // Stop()
  LoopHost(const LoopHost&) = delete;
  LoopHost& operator=(const LoopHost&) = delete;

  void Post(std::function<void()> task) override;
  void SetTimer(uint32_t id, int periodMs, std::function<void()> tick) override;
  void KillTimer(uint32_t id) override;

  // Ends the thread after the task that runs now; pending tasks are dropped.
  // Not from the host thread itself.
  void Stop();
  // Waits until every task posted so far has run (false on time-out).
  bool Drain(int timeoutMs);
  bool OnHostThread() const { return std::this_thread::get_id() == thread_.get_id(); }

 private:
  using Clock = std::chrono::steady_clock;
  struct Timer {
    int periodMs = 0;
    Clock::time_point due;
    std::function<void()> tick;
  };
  void Run();

  std::mutex mu_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> tasks_;
  std::map<uint32_t, Timer> timers_;
  uint64_t posted_ = 0, done_ = 0;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace tolvane
