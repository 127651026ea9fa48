// Wrappers over a transport and its handles that pass every call on to the
// wrapped one. A wrapper that watches some calls (a trace, a count) derives
// from these and overrides only those.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "device/transport.h"

namespace tolvane {

class ForwardingHidHandle : public HidHandle {
 public:
  explicit ForwardingHidHandle(std::unique_ptr<HidHandle> inner) : h_(std::move(inner)) {}

  HidStatus SendFeature(const Report& r) override { return h_->SendFeature(r); }
  HidStatus Write(const Report& r, int timeoutMs) override { return h_->Write(r, timeoutMs); }
  HidStatus Read(Report& r, int timeoutMs) override { return h_->Read(r, timeoutMs); }
  void CancelRead() override { h_->CancelRead(); }
  int LastError() const override { return h_->LastError(); }
  bool Lock(int timeoutMs) override { return h_->Lock(timeoutMs); }
  void Unlock() override { h_->Unlock(); }

 private:
  std::unique_ptr<HidHandle> h_;
};

class ForwardingTransport : public HidTransport {
 public:
  // `inner` must outlive the wrapper and every handle it opened.
  explicit ForwardingTransport(HidTransport& inner) : inner_(inner) {}

  std::vector<HidIfInfo> Enumerate() override { return inner_.Enumerate(); }
  std::unique_ptr<HidHandle> Open(const std::string& path, HidRole role,
                                  int* err = nullptr) override {
    return inner_.Open(path, role, err);
  }
  bool StartHotplug(std::function<void(const HotplugEvent&)> fn) override {
    return inner_.StartHotplug(std::move(fn));
  }
  void StopHotplug() override { inner_.StopHotplug(); }
  std::vector<HidAccessDenied> AccessDenied() const override { return inner_.AccessDenied(); }

 protected:
  HidTransport& inner_;
};

}  // namespace tolvane
