#include "macro/macro_listeners.h"

#include <algorithm>

namespace tolvane {

int MacroListeners::Add(Fn fn) {
  auto e = std::make_shared<Entry>();
  e->fn = std::move(fn);
  std::lock_guard lock(mutex_);
  e->handle = next_++;
  entries_.push_back(e);
  return e->handle;
}

void MacroListeners::Remove(int handle) {
  std::shared_ptr<Entry> gone;
  {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [&](const auto& e) { return e->handle == handle; });
    if (it == entries_.end()) return;
    gone = *it;
    entries_.erase(it);
  }
  // Waits for a call in progress on another thread; the same thread (a
  // listener removing itself) passes the recursive lock.
  std::lock_guard call(gone->calling);
  gone->removed = true;
}

size_t MacroListeners::Size() const {
  std::lock_guard lock(mutex_);
  return entries_.size();
}

void MacroListeners::Emit(const std::vector<MacroChange>& changes) const {
  if (changes.empty()) return;
  std::vector<std::shared_ptr<Entry>> now;
  {
    std::lock_guard lock(mutex_);
    now = entries_;
  }
  for (const auto& e : now) {
    std::lock_guard call(e->calling);
    for (const MacroChange& c : changes) {
      if (e->removed) break;
      e->fn(c);
    }
  }
}

}  // namespace tolvane
