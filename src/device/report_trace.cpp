#include "device/report_trace.h"

namespace tolvane {

std::string FormatReportTrace(TraceDir dir, const Report& report) {
  static const char kHex[] = "0123456789abcdef";
  std::string line = dir == TraceDir::ToDevice ? "> " : "< ";
  line.reserve(2 + kReportLen * 3);
  for (size_t i = 0; i < report.size(); ++i) {
    if (i) line += ' ';
    line += kHex[report[i] >> 4];
    line += kHex[report[i] & 0x0F];
  }
  return line;
}

}  // namespace tolvane
