// Message boxes the program's logic asks for.
//
// Loading problems are fixed English texts with the caption "Error" or
// "Warning"; messages the user can act on are language texts by text id.
// The CLI prints "Error: <text>" / "Warning: <text>" on stderr; the GUI shows
// the skinned message box.
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace tolvane {

enum class Caption { Error, Warning };

class Notifier {
 public:
  virtual ~Notifier() = default;
  virtual void Message(Caption caption, const std::string& text) = 0;
};

// Prints "Error: <text>" or "Warning: <text>" on stderr.
class StderrNotifier : public Notifier {
 public:
  void Message(Caption caption, const std::string& text) override;
};

// Keeps every message; for tests and for callers that decide later.
class RecordingNotifier : public Notifier {
 public:
  struct Entry {
    Caption caption;
    std::string text;
  };
  void Message(Caption caption, const std::string& text) override;
  std::vector<Entry> Entries() const;
  bool Has(const std::string& text) const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
};

// The process-wide notifier; a StderrNotifier until SetNotifier is called.
Notifier& GetNotifier();
void SetNotifier(Notifier* notifier);  // null restores the default

}  // namespace tolvane
