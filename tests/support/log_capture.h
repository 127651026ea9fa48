// Collects the program's log lines while it lives: sets LogLevel (1: the
// debugger output) and takes that output; gives both back (level 0, stderr)
// when it goes. The "BY: " mark of the debugger output is taken off.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane::test {

class LogCapture {
 public:
  explicit LogCapture(int level = 1);
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::vector<std::string> Lines() const;
  // Lines that begin with `prefix`.
  int Count(std::string_view prefix) const;
  bool Has(std::string_view prefix) const { return Count(prefix) > 0; }

 private:
  mutable std::mutex mu_;
  std::vector<std::string> lines_;
};

}  // namespace tolvane::test
