// The window's side of the event sink in tests: every event posted to it,
// in order, for the test's thread to count, read, wait on or take one by
// one as a window's message loop would. Posts come from any thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "app/event_sink.h"

namespace tolvane::test {

// How long a wait for the program's results gives it. Sanitized builds run
// several times slower (and CI machines may be loaded), so they get more.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr int kWaitMs = 10000;
#else
inline constexpr int kWaitMs = 3000;
#endif

class EventRecorder : public EventSink {
 public:
  struct Event {
    uint32_t msg;
    uintptr_t w;
    intptr_t l;
  };
  using Clock = std::chrono::steady_clock;

  void Post(uint32_t msg, uintptr_t w, intptr_t l) override;

  // The events of kind `msg`, with wParam `w` when one is given.
  std::vector<Event> Of(uint32_t msg, std::optional<uintptr_t> w = std::nullopt) const;
  int Count(uint32_t msg, std::optional<uintptr_t> w = std::nullopt) const;
  // The wParams of the events of kind `msg`, in order.
  std::vector<uintptr_t> Params(uint32_t msg) const;
  std::optional<Event> Last(uint32_t msg) const;
  // Waits up to `ms` for at least `n` events of kind `msg` (with wParam `w`).
  bool WaitFor(uint32_t msg, int n, std::optional<uintptr_t> w = std::nullopt,
               int ms = kWaitMs) const;
  // The oldest event not taken yet, waiting until `until` for one to come.
  std::optional<Event> Next(Clock::time_point until);

 private:
  int CountLocked(uint32_t msg, std::optional<uintptr_t> w) const;

  mutable std::mutex mu_;
  mutable std::condition_variable cv_;
  std::vector<Event> events_;
  size_t taken_ = 0;
};

}  // namespace tolvane::test
