// One line of report tracing, shared by every transport (tolvanectl --trace).
#pragma once

#include <functional>
#include <string>

#include "device/transport.h"

namespace tolvane {

enum class TraceDir {
  ToDevice,    // a command report the host sends ("> ")
  FromDevice,  // an input report the host reads ("< ")
};

// "> " or "< " followed by the 17 bytes as lowercase two-digit hex separated
// by single spaces, without a line end.
std::string FormatReportTrace(TraceDir dir, const Report& report);

// Sees every report that crosses a transport. Called from whichever thread
// sends or reads, so it must be safe to call concurrently.
using ReportTraceFn = std::function<void(TraceDir, const Report&)>;

}  // namespace tolvane
