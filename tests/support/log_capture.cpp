#include "support/log_capture.h"

#include "app/log.h"

namespace tolvane::test {

LogCapture::LogCapture(int level) {
  LogLevel = level;
  SetDebugOutput([this](std::string_view line) {
    if (line.substr(0, 4) == "BY: ") line.remove_prefix(4);
    std::lock_guard<std::mutex> lock(mu_);
    lines_.emplace_back(line);
  });
}

LogCapture::~LogCapture() {
  SetDebugOutput({});
  LogLevel = 0;
}

std::vector<std::string> LogCapture::Lines() const {
  std::lock_guard<std::mutex> lock(mu_);
  return lines_;
}

int LogCapture::Count(std::string_view prefix) const {
  std::lock_guard<std::mutex> lock(mu_);
  int n = 0;
  for (const std::string& line : lines_) n += line.rfind(prefix, 0) == 0;
  return n;
}

}  // namespace tolvane::test
