// Discovery on virtual mice: a manager over the simulated transport, a sink
// that records WM_NEW_DEVICE, and a transport wrapper that counts opens and
// live handles.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/device_manager.h"
#include "device/discovery_host.h"
#include "device/forwarding_transport.h"
#include "sim/sim_spec.h"
#include "sim/sim_transport.h"
#include "support/event_recorder.h"
#include "support/log_capture.h"
#include "support/test_models.h"

namespace tolvane::test {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

// Entries 0-4: PRO 11/01, PRO+ 22/07, PRO 11/02, PRO+ 22/08, PRO 33/01.
inline sim::SimCatalogue DiscoveryCatalogue() {
  return CatalogueOf({BasicModel(0x11, 0x01, 0), BasicModel(0x22, 0x07, 1),
                      BasicModel(0x11, 0x02, 0), BasicModel(0x22, 0x08, 1),
                      BasicModel(0x33, 0x01, 0)},
                     {0x1001, 0x1003});
}

// The WM_NEW_DEVICE events: a wait for the n-th, and their entries in order.
class NewDeviceSink : public EventRecorder {
 public:
  bool WaitFor(size_t n, int ms = kWaitMs) const {
    return EventRecorder::WaitFor(WM_NEW_DEVICE, int(n), std::nullopt, ms);
  }
  std::vector<uintptr_t> Got() const { return Params(WM_NEW_DEVICE); }
};

// Counts the opens per path and the handles still open.
class CountingTransport : public ForwardingTransport {
 public:
  explicit CountingTransport(HidTransport& inner) : ForwardingTransport(inner) {}
  std::unique_ptr<HidHandle> Open(const std::string& path, HidRole role, int* err) override {
    {
      std::lock_guard<std::mutex> g(mu_);
      ++opens_[path];
    }
    auto h = inner_.Open(path, role, err);
    if (!h) return nullptr;
    return std::make_unique<Counted>(std::move(h), live_);
  }
  int Opens(const std::string& path) {
    std::lock_guard<std::mutex> g(mu_);
    return opens_[path];
  }
  int Live() const { return live_->load(); }

 private:
  class Counted : public ForwardingHidHandle {
   public:
    Counted(std::unique_ptr<HidHandle> h, std::shared_ptr<std::atomic<int>> live)
        : ForwardingHidHandle(std::move(h)), live_(std::move(live)) {
      ++*live_;
    }
    ~Counted() override { --*live_; }

   private:
    std::shared_ptr<std::atomic<int>> live_;
  };
  std::mutex mu_;
  std::map<std::string, int> opens_;
  std::shared_ptr<std::atomic<int>> live_ = std::make_shared<std::atomic<int>>(0);
};

inline DiscoveryTimings FastTimings() { return FastDiscoveryTimings(); }

template <class Pred>
bool WaitUntil(Pred pred, int ms = kWaitMs) {
  auto end = Clock::now() + Ms(ms);
  while (Clock::now() < end) {
    if (pred()) return true;
    std::this_thread::sleep_for(Ms(2));
  }
  return pred();
}

struct DiscoveryRig {
  explicit DiscoveryRig(DiscoveryTimings t = FastTimings(), int defDevIndex = 0,
                        bool goWithNoDev = false)
      : cat(DiscoveryCatalogue()), counting(transport) {
    cfg.vids = cat.vids;
    cfg.wiredPids = cat.wiredPids;
    cfg.wirelessPids = cat.wirelessPids;
    cfg.defDevIndex = defDevIndex;
    cfg.goWithNoDev = goWithNoDev;
    for (const DevCfg& m : cat.models) cfg.models.push_back(&m);
    mgr = std::make_unique<DeviceManager>(counting, cfg, sink, host, t);
  }
  ~DiscoveryRig() {
    mgr->Shutdown();
    host.Stop();
  }
  std::shared_ptr<sim::VirtualMouse> Make(const std::string& spec) {
    std::string err;
    auto m = sim::MakeVirtualMouse(spec, cat, &err);
    EXPECT_TRUE(m) << spec << ": " << err;
    return m;
  }
  std::shared_ptr<sim::VirtualMouse> Plug(const std::string& spec) {
    auto m = Make(spec);
    if (m) transport.Plug(m);
    return m;
  }
  std::shared_ptr<CHidDev> Dev(size_t i) { return mgr->List().Device(i); }
  bool Connected(size_t i) {
    auto d = Dev(i);
    return d && d->HasCmd();
  }

  sim::SimCatalogue cat;
  DiscoveryConfig cfg;
  sim::SimTransport transport;
  CountingTransport counting;
  NewDeviceSink sink;
  LoopHost host;
  std::unique_ptr<DeviceManager> mgr;
};

}  // namespace tolvane::test
