#include "support/event_recorder.h"

namespace tolvane::test {

void EventRecorder::Post(uint32_t msg, uintptr_t w, intptr_t l) {
  {
    std::lock_guard lock(mu_);
    events_.push_back({msg, w, l});
  }
  cv_.notify_all();
}

std::vector<EventRecorder::Event> EventRecorder::Of(uint32_t msg,
                                                    std::optional<uintptr_t> w) const {
  std::lock_guard lock(mu_);
  std::vector<Event> out;
  for (const Event& e : events_)
    if (e.msg == msg && (!w || e.w == *w)) out.push_back(e);
  return out;
}

int EventRecorder::Count(uint32_t msg, std::optional<uintptr_t> w) const {
  std::lock_guard lock(mu_);
  return CountLocked(msg, w);
}

std::vector<uintptr_t> EventRecorder::Params(uint32_t msg) const {
  std::vector<uintptr_t> out;
  for (const Event& e : Of(msg)) out.push_back(e.w);
  return out;
}

std::optional<EventRecorder::Event> EventRecorder::Last(uint32_t msg) const {
  std::lock_guard lock(mu_);
  for (auto it = events_.rbegin(); it != events_.rend(); ++it)
    if (it->msg == msg) return *it;
  return std::nullopt;
}

bool EventRecorder::WaitFor(uint32_t msg, int n, std::optional<uintptr_t> w, int ms) const {
  std::unique_lock lock(mu_);
  return cv_.wait_for(lock, std::chrono::milliseconds(ms),
                      [&] { return CountLocked(msg, w) >= n; });
}

std::optional<EventRecorder::Event> EventRecorder::Next(Clock::time_point until) {
  std::unique_lock lock(mu_);
  if (!cv_.wait_until(lock, until, [&] { return taken_ < events_.size(); })) return std::nullopt;
  return events_[taken_++];
}

int EventRecorder::CountLocked(uint32_t msg, std::optional<uintptr_t> w) const {
  int n = 0;
  for (const Event& e : events_) n += e.msg == msg && (!w || e.w == *w);
  return n;
}

}  // namespace tolvane::test
