#include "support/log_capture.h"

#include "app/log.h"

namespace tolvane::test {

LogCapture::LogCapture(int level) {
  LogLevel = level;
  SetupLogger();  // the debugger output, whatever an earlier test chose
  SetDebugOutput([this](std::string_view line) {
    if (line.substr(0, 4) == "BY: ") line.remove_prefix(4);
    const Clock::time_point at = Clock::now();
    std::lock_guard<std::mutex> lock(mu_);
    lines_.push_back({at, std::string(line)});
  });
}

LogCapture::~LogCapture() {
  SetDebugOutput({});
  LogLevel = 0;
  SetupLogger();
}

std::vector<std::string> LogCapture::Lines() const {
  std::lock_guard<std::mutex> lock(mu_);
  std::vector<std::string> out;
  for (const Line& line : lines_) out.push_back(line.text);
  return out;
}

int LogCapture::Count(std::string_view prefix) const {
  std::lock_guard<std::mutex> lock(mu_);
  int n = 0;
  for (const Line& line : lines_) n += line.text.rfind(prefix, 0) == 0;
  return n;
}

int LogCapture::Mentions(std::string_view part) const {
  return int(MentionTimes(part).size());
}

std::vector<LogCapture::Clock::time_point> LogCapture::MentionTimes(std::string_view part) const {
  std::lock_guard<std::mutex> lock(mu_);
  std::vector<Clock::time_point> out;
  for (const Line& line : lines_)
    if (line.text.find(part) != std::string::npos) out.push_back(line.at);
  return out;
}

}  // namespace tolvane::test
