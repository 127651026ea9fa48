// A transport wrapper that shows every report crossing it to a trace
// function: command reports as they are sent, input reports as they are read.
// Works the same over the hidraw backend and the virtual mice.
#pragma once

#include <memory>

#include "device/forwarding_transport.h"
#include "device/report_trace.h"

namespace tolvane {

class TracingTransport : public ForwardingTransport {
 public:
  // `inner` must outlive the wrapper and every handle it opened.
  TracingTransport(HidTransport& inner, ReportTraceFn trace);

  std::unique_ptr<HidHandle> Open(const std::string& path, HidRole role,
                                  int* err = nullptr) override;

 private:
  std::shared_ptr<const ReportTraceFn> trace_;
};

}  // namespace tolvane
