#include "device/tracing_transport.h"

namespace tolvane {

namespace {

class TracingHandle : public HidHandle {
 public:
  TracingHandle(std::unique_ptr<HidHandle> h, std::shared_ptr<const ReportTraceFn> trace)
      : h_(std::move(h)), trace_(std::move(trace)) {}
  HidStatus SendFeature(const Report& r) override {
    (*trace_)(TraceDir::ToDevice, r);
    return h_->SendFeature(r);
  }
  HidStatus Write(const Report& r, int timeoutMs) override {
    (*trace_)(TraceDir::ToDevice, r);
    return h_->Write(r, timeoutMs);
  }
  HidStatus Read(Report& r, int timeoutMs) override {
    HidStatus st = h_->Read(r, timeoutMs);
    if (st == HidStatus::Ok) (*trace_)(TraceDir::FromDevice, r);
    return st;
  }
  void CancelRead() override { h_->CancelRead(); }
  int LastError() const override { return h_->LastError(); }
  bool Lock(int timeoutMs) override { return h_->Lock(timeoutMs); }
  void Unlock() override { h_->Unlock(); }

 private:
  std::unique_ptr<HidHandle> h_;
  std::shared_ptr<const ReportTraceFn> trace_;
};

}  // namespace

TracingTransport::TracingTransport(HidTransport& inner, ReportTraceFn trace)
    : inner_(inner),
      trace_(std::make_shared<const ReportTraceFn>(trace ? std::move(trace)
                                                         : ReportTraceFn([](TraceDir, const Report&) {}))) {}

std::vector<HidIfInfo> TracingTransport::Enumerate() { return inner_.Enumerate(); }

std::unique_ptr<HidHandle> TracingTransport::Open(const std::string& path, HidRole role, int* err) {
  auto h = inner_.Open(path, role, err);
  if (!h) return nullptr;
  return std::make_unique<TracingHandle>(std::move(h), trace_);
}

bool TracingTransport::StartHotplug(std::function<void(const HotplugEvent&)> fn) {
  return inner_.StartHotplug(std::move(fn));
}

void TracingTransport::StopHotplug() { inner_.StopHotplug(); }

}  // namespace tolvane
