#include "device/tracing_transport.h"

namespace tolvane {

namespace {

class TracingHandle : public ForwardingHidHandle {
 public:
  TracingHandle(std::unique_ptr<HidHandle> h, std::shared_ptr<const ReportTraceFn> trace)
      : ForwardingHidHandle(std::move(h)), trace_(std::move(trace)) {}
  HidStatus SendFeature(const Report& r) override {
    (*trace_)(TraceDir::ToDevice, r);
    return ForwardingHidHandle::SendFeature(r);
  }
  HidStatus Write(const Report& r, int timeoutMs) override {
    (*trace_)(TraceDir::ToDevice, r);
    return ForwardingHidHandle::Write(r, timeoutMs);
  }
  HidStatus Read(Report& r, int timeoutMs) override {
    HidStatus st = ForwardingHidHandle::Read(r, timeoutMs);
    if (st == HidStatus::Ok) (*trace_)(TraceDir::FromDevice, r);
    return st;
  }

 private:
  std::shared_ptr<const ReportTraceFn> trace_;
};

}  // namespace

TracingTransport::TracingTransport(HidTransport& inner, ReportTraceFn trace)
    : ForwardingTransport(inner),
      trace_(std::make_shared<const ReportTraceFn>(trace ? std::move(trace)
                                                         : ReportTraceFn([](TraceDir, const Report&) {}))) {}

std::unique_ptr<HidHandle> TracingTransport::Open(const std::string& path, HidRole role, int* err) {
  auto h = inner_.Open(path, role, err);
  if (!h) return nullptr;
  return std::make_unique<TracingHandle>(std::move(h), trace_);
}

}  // namespace tolvane
