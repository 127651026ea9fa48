// Collects the program's log lines while it lives: sets LogLevel (1: the
// debugger output) and sets the logger up for it, and takes that output;
// gives both back (level 0, stderr) when it goes. The "BY: " mark of the debugger output is taken off, and
// each line keeps the time it was logged.
#pragma once

#include <chrono>
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

  using Clock = std::chrono::steady_clock;

  std::vector<std::string> Lines() const;
  // Lines that begin with `prefix`.
  int Count(std::string_view prefix) const;
  bool Has(std::string_view prefix) const { return Count(prefix) > 0; }
  // Lines that hold `part` anywhere, and when each of them was logged.
  int Mentions(std::string_view part) const;
  std::vector<Clock::time_point> MentionTimes(std::string_view part) const;

 private:
  struct Line {
    Clock::time_point at;
    std::string text;
  };
  mutable std::mutex mu_;
  std::vector<Line> lines_;
};

}  // namespace tolvane::test
