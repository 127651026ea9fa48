// Test rig of the device link: a virtual mouse on the simulated transport,
// its interfaces opened by role, optionally a device object on top.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "app/log.h"
#include "device/dev_pro.h"
#include "device/link_options.h"
#include "sim/sim_spec.h"
#include "sim/sim_transport.h"
#include "support/event_recorder.h"
#include "support/log_capture.h"
#include "support/test_models.h"

namespace tolvane::test {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

inline int ElapsedMs(Clock::time_point t0) {
  return int(std::chrono::duration_cast<Ms>(Clock::now() - t0).count());
}

// The lParams of the device-behaviour events of the link's entry (7).
class Events : public EventRecorder {
 public:
  // Waits until n events are there, then a little more for any extra.
  std::vector<intptr_t> WaitFor(size_t n) const {
    EventRecorder::WaitFor(WM_DEVICE_BEHAVIOR, int(n), 7, 1000);
    EventRecorder::WaitFor(WM_DEVICE_BEHAVIOR, int(n) + 1, 7, 20);
    std::vector<intptr_t> got;
    for (const Event& e : Of(WM_DEVICE_BEHAVIOR, 7)) got.push_back(e.l);
    return got;
  }
};

struct SimLink {
  explicit SimLink(const std::string& spec, bool withDevice = true) {
    std::string err;
    mouse = sim::MakeVirtualMouse(spec, TwoFamilyCatalogue(), &err);
    EXPECT_TRUE(mouse) << err;
    transport.SetTrace([this](TraceDir d, const Report& r) {
      if (d != TraceDir::ToDevice) return;
      std::lock_guard<std::mutex> g(mu);
      sent.push_back(r);
    });
    transport.Plug(mouse);
    plus = mouse->family() == sim::Family::ProPlus;
    auto opened = OpenByRole(transport, plus);
    cmd = std::move(opened.cmd);
    notify = std::move(opened.notify);
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
