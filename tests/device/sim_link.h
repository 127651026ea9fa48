// Test rig of the device link: a virtual mouse on the simulated transport,
// its interfaces opened by role, optionally a device object on top.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "app/log.h"
#include "device/dev_pro.h"
#include "device/link_options.h"
#include "sim/sim_spec.h"
#include "sim/sim_transport.h"

namespace tolvane::test {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

inline int ElapsedMs(Clock::time_point t0) {
  return int(std::chrono::duration_cast<Ms>(Clock::now() - t0).count());
}

inline sim::SimCatalogue Catalogue() {
  sim::SimCatalogue c;
  for (uint32_t fw = 0; fw < 2; ++fw) {
    DevCfg m;
    m.nCid = 0x11 + fw;
    m.nMid = 0x01;
    m.nFw = fw;
    m.nSensor = 0x3395;
    m.nDM = 4;
    for (int i = 0; i < 4; ++i) m.dwDpi[i] = 400u << i;
    m.nDefRate = 0x1000;
    c.models.push_back(m);
  }
  c.vids = {0x3A3A};
  c.wiredPids = {0x1001};
  c.wirelessPids = {0x2002};
  return c;
}

// Log entries (without the "BY: " prefix) while it lives.
class LogCapture {
 public:
  LogCapture() {
    LogLevel = 1;
    SetDebugOutput([this](std::string_view t) {
      std::lock_guard<std::mutex> l(mu_);
      if (t.substr(0, 4) == "BY: ") t.remove_prefix(4);
      lines_.emplace_back(t);
    });
  }
  ~LogCapture() {
    SetDebugOutput({});
    LogLevel = 0;
  }
  int Count(const std::string& prefix) {
    std::lock_guard<std::mutex> l(mu_);
    int n = 0;
    for (auto& s : lines_) n += s.rfind(prefix, 0) == 0;
    return n;
  }
  bool Has(const std::string& prefix) { return Count(prefix) > 0; }

 private:
  std::mutex mu_;
  std::vector<std::string> lines_;
};

// Records the lParam of every posted event.
class Events : public EventSink {
 public:
  void Post(uint32_t msg, uintptr_t wParam, intptr_t l) override {
    std::lock_guard<std::mutex> g(mu_);
    if (msg == WM_DEVICE_BEHAVIOR && wParam == 7) got_.push_back(l);
    cv_.notify_all();
  }
  // Waits until n events are there, then a little more for any extra.
  std::vector<intptr_t> WaitFor(size_t n) {
    std::unique_lock<std::mutex> g(mu_);
    cv_.wait_for(g, Ms(1000), [&] { return got_.size() >= n; });
    cv_.wait_for(g, Ms(20), [&] { return got_.size() > n; });
    return got_;
  }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  std::vector<intptr_t> got_;
};

struct SimLink {
  explicit SimLink(const std::string& spec, bool withDevice = true) {
    std::string err;
    mouse = sim::MakeVirtualMouse(spec, Catalogue(), &err);
    EXPECT_TRUE(mouse) << err;
    transport.SetTrace([this](TraceDir d, const Report& r) {
      if (d != TraceDir::ToDevice) return;
      std::lock_guard<std::mutex> g(mu);
      sent.push_back(r);
    });
    transport.Plug(mouse);
    plus = mouse->family() == sim::Family::ProPlus;
    for (const HidIfInfo& i : transport.Enumerate()) {
      if (!plus && i.nUsagePage == 0xFF01 && i.nInputLen == 17)
        notify = transport.Open(i.szPath, HidRole::ProNotify);
      if (!plus && i.nUsagePage == 0xFF02 && i.nFeatureLen == 17 && i.nOutputLen == 0)
        cmd = transport.Open(i.szPath, HidRole::ProCommand);
      if (plus && i.nUsagePage == 0xFF02 && i.nOutputLen == 17)
        cmd = transport.Open(i.szPath, HidRole::ProPlus);
    }
    EXPECT_TRUE(cmd);
    if (!withDevice) return;
    if (plus)
      dev = std::make_unique<CDevProPlus>();
    else
      dev = std::make_unique<CDevPro>();
    dev->SetHandles(std::move(cmd), std::move(notify));
    dev->nEntryParam = 7;
    dev->SetNotifyWnd(&events);
    dev->StartService();
  }
  ~SimLink() {
    if (dev) dev->ClearHandle();
  }
  std::vector<Report> Sent() {
    std::lock_guard<std::mutex> g(mu);
    return sent;
  }
  // Payload of the last command report sent.
  std::vector<uint8_t> LastPayload() {
    auto s = Sent();
    return s.empty() ? std::vector<uint8_t>{} : std::vector<uint8_t>(s.back().begin() + 1,
                                                                     s.back().begin() + 16);
  }

  Events events;
  sim::SimTransport transport;
  std::shared_ptr<sim::VirtualMouse> mouse;
  bool plus = false;
  std::unique_ptr<HidHandle> cmd, notify;  // when there is no device object
  std::unique_ptr<CHidDev> dev;
  std::mutex mu;
  std::vector<Report> sent;
};

inline void SetRetry(int n) {
  LinkOptions o;
  o.nRetry = n;
  SetLinkOptions(o);
}

}  // namespace tolvane::test
