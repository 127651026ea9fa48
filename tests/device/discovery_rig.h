// Discovery on virtual mice: a manager over the simulated transport, a sink
// that records WM_NEW_DEVICE, and a transport wrapper that counts opens and
// live handles.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/log.h"
#include "device/device_manager.h"
#include "device/discovery_host.h"
#include "device/forwarding_transport.h"
#include "sim/sim_spec.h"
#include "sim/sim_transport.h"
#include "support/test_models.h"

namespace tolvane::test {

// How long the waits for discovery's results give it. Sanitized builds run
// several times slower (and CI machines may be loaded), so they get more.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr int kWaitMs = 10000;
#else
inline constexpr int kWaitMs = 3000;
#endif

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

// Entries 0-4: PRO 11/01, PRO+ 22/07, PRO 11/02, PRO+ 22/08, PRO 33/01.
inline sim::SimCatalogue DiscoveryCatalogue() {
  return CatalogueOf({BasicModel(0x11, 0x01, 0), BasicModel(0x22, 0x07, 1),
                      BasicModel(0x11, 0x02, 0), BasicModel(0x22, 0x08, 1),
                      BasicModel(0x33, 0x01, 0)},
                     {0x1001, 0x1003});
}

// Log entries with the time they were made.
class TimedLog {
 public:
  TimedLog() {
    LogLevel = 1;
    SetDebugOutput([this](std::string_view t) {
      if (t.substr(0, 4) == "BY: ") t.remove_prefix(4);
      std::lock_guard<std::mutex> l(mu_);
      lines_.push_back({Clock::now(), std::string(t)});
    });
  }
  ~TimedLog() {
    SetDebugOutput({});
    LogLevel = 0;
  }
  int Count(const std::string& needle) {
    std::lock_guard<std::mutex> l(mu_);
    int n = 0;
    for (auto& e : lines_) n += e.second.find(needle) != std::string::npos;
    return n;
  }
  bool Has(const std::string& needle) { return Count(needle) > 0; }
  std::vector<Clock::time_point> Times(const std::string& needle) {
    std::lock_guard<std::mutex> l(mu_);
    std::vector<Clock::time_point> out;
    for (auto& e : lines_)
      if (e.second.find(needle) != std::string::npos) out.push_back(e.first);
    return out;
  }

 private:
  std::mutex mu_;
  std::vector<std::pair<Clock::time_point, std::string>> lines_;
};

class NewDeviceSink : public EventSink {
 public:
  void Post(uint32_t msg, uintptr_t wParam, intptr_t) override {
    std::lock_guard<std::mutex> g(mu_);
    if (msg == WM_NEW_DEVICE) got_.push_back(wParam);
    cv_.notify_all();
  }
  bool WaitFor(size_t n, int ms = kWaitMs) {
    std::unique_lock<std::mutex> g(mu_);
    return cv_.wait_for(g, Ms(ms), [&] { return got_.size() >= n; });
  }
  std::vector<uintptr_t> Got() {
    std::lock_guard<std::mutex> g(mu_);
    return got_;
  }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  std::vector<uintptr_t> got_;
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
