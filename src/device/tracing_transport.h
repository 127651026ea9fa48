// A transport wrapper that shows every report crossing it to a trace
// function: command reports as they are sent, input reports as they are read.
// Works the same over the hidraw backend and the virtual mice.
#pragma once

#include <memory>

#include "device/report_trace.h"
#include "device/transport.h"

namespace tolvane {

class TracingTransport : public HidTransport {
 public:
  // `inner` must outlive the wrapper and every handle it opened.
  TracingTransport(HidTransport& inner, ReportTraceFn trace);

  std::vector<HidIfInfo> Enumerate() override;
  std::unique_ptr<HidHandle> Open(const std::string& path, HidRole role,
                                  int* err = nullptr) override;
  bool StartHotplug(std::function<void(const HotplugEvent&)> fn) override;
  void StopHotplug() override;
  std::vector<HidAccessDenied> AccessDenied() const override { return inner_.AccessDenied(); }

 private:
  HidTransport& inner_;
  std::shared_ptr<const ReportTraceFn> trace_;
};

}  // namespace tolvane
