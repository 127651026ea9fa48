#include "cli/cli_device.h"

#include <cstdio>
#include <mutex>

#include "app/notifier.h"
#include "cli/cli_startup.h"
#include "config/catalogue.h"
#include "device/report_trace.h"
#include "device/tracing_transport.h"
#include "platform/hidraw_transport.h"
#include "platform/udev_rules.h"
#include "sim/sim_spec.h"
#include "sim/sim_transport.h"

namespace tolvane::cli {

namespace {

void PrintTrace(TraceDir dir, const Report& r) {
  static std::mutex mu;
  const std::string line = FormatReportTrace(dir, r);
  std::lock_guard<std::mutex> lock(mu);
  std::fprintf(stderr, "%s\n", line.c_str());
}

}  // namespace

DeviceSession::~DeviceSession() {
  if (mgr_) mgr_->Shutdown();
  if (host_) host_->Stop();
  mgr_.reset();
}

std::vector<ListedDevice> DeviceSession::Devices() const {
  std::vector<ListedDevice> out;
  for (const DevEntryView& v : mgr_->List().Views()) {
    if (!v.bConnected || v.bOffline) continue;
    ListedDevice d;
    d.position = int(out.size());
    d.entry = v;
    out.push_back(d);
  }
  return out;
}

std::vector<WaitingReceiver> DeviceSession::Waiting() const {
  std::vector<WaitingReceiver> out;
  for (const ProbeSlot& s : mgr_->List().BusySlots())
    if (s.state == ProbeState::WaitingForMouse) out.push_back({s});
  return out;
}

std::vector<std::string> DeviceSession::AccessProblems() const {
  std::vector<std::string> out;
  if (!base_) return out;
  // Discovery opens only the nodes of our mice, so every refusal is one of ours.
  for (const HidAccessDenied& d : base_->AccessDenied()) out.push_back(platform::AccessDeniedMessage(d));
  return out;
}

std::unique_ptr<DeviceSession> StartDeviceSession(const CliContext& ctx) {
  if (!LoadCatalogueForCli(ctx, GetNotifier())) return nullptr;
  const Catalogue& cat = Cat();
  std::unique_ptr<DeviceSession> s(new DeviceSession());
  if (!ctx.simulate.empty()) {
    auto simCat = std::make_shared<sim::SimCatalogue>(sim::SimCatalogueFrom(cat));
    auto t = std::make_unique<sim::SimTransport>();
    for (const std::string& spec : ctx.simulate) {
      std::string err;
      auto m = sim::MakeVirtualMouse(spec, *simCat, &err);
      if (!m) {
        CliContext::Fail(err.empty() ? "--simulate " + spec + ": not a virtual mouse" : err);
        return nullptr;
      }
      t->Plug(m);
    }
    s->simulated_ = true;
    s->keepAlive_ = simCat;
    s->base_ = std::move(t);
  } else {
    s->base_ = std::make_unique<platform::HidrawTransport>();
  }
  HidTransport* transport = s->base_.get();
  if (ctx.trace) {
    s->traced_ = std::make_unique<TracingTransport>(*s->base_, PrintTrace);
    transport = s->traced_.get();
  }
  s->host_ = std::make_unique<LoopHost>();
  s->mgr_ = std::make_unique<DeviceManager>(*transport, DiscoveryConfigFrom(cat), s->sink_,
                                            *s->host_);
  s->mgr_->Start();
  s->mgr_->WaitSettled(kSettleBudgetMs);
  return s;
}

std::shared_ptr<CHidDev> OpenChosenDevice(const CliContext& ctx,
                                          std::unique_ptr<DeviceSession>* session) {
  *session = StartDeviceSession(ctx);
  if (!*session) return nullptr;
  auto devices = (*session)->Devices();
  if (devices.empty()) {
    CliContext::Fail("no device connected");
    return nullptr;
  }
  if (ctx.device < 0 || size_t(ctx.device) >= devices.size()) {
    CliContext::Fail("no device " + std::to_string(ctx.device) + " (" +
                     std::to_string(devices.size()) + " connected)");
    return nullptr;
  }
  return devices[size_t(ctx.device)].entry.pDev;
}

}  // namespace tolvane::cli
