#include "app/notifier.h"

#include <atomic>
#include <cstdio>

namespace tolvane {

void StderrNotifier::Message(Caption caption, const std::string& text) {
  std::fprintf(stderr, "%s: %s\n", caption == Caption::Error ? "Error" : "Warning", text.c_str());
}

void RecordingNotifier::Message(Caption caption, const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.push_back({caption, text});
}

std::vector<RecordingNotifier::Entry> RecordingNotifier::Entries() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_;
}

bool RecordingNotifier::Has(const std::string& text) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& e : entries_)
    if (e.text == text) return true;
  return false;
}

void RecordingNotifier::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.clear();
}

namespace {
StderrNotifier g_stderrNotifier;
std::atomic<Notifier*> g_notifier{nullptr};
}  // namespace

Notifier& GetNotifier() {
  if (Notifier* n = g_notifier.load()) return *n;
  return g_stderrNotifier;
}

void SetNotifier(Notifier* notifier) { g_notifier = notifier; }

}  // namespace tolvane
