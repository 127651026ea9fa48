#include "cli/cli_device.h"

#include <cstdio>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "app/notifier.h"
#include "app/paths.h"
#include "cli/cli_startup.h"
#include "config/catalogue.h"
#include "device/report_trace.h"
#include "platform/udev_rules.h"
#include "platform/xdg.h"

namespace tolvane::cli {

namespace {

void PrintTrace(TraceDir dir, const Report& r) {
  static std::mutex mu;
  const std::string line = FormatReportTrace(dir, r);
  std::lock_guard<std::mutex> lock(mu);
  std::fprintf(stderr, "%s\n", line.c_str());
}

// Passes messages on to stderr, except the start-up failure box: the command
// says that in its own one-line message, naming the file. The messages of
// the start-up are held until it proved usable, and dropped when it did not.
class CliNotifier : public Notifier {
 public:
  void Message(Caption caption, const std::string& text) override {
    // A busy device: the command's one line says so, not a message about
    // a mouse that does not answer.
    if (text == kDataInitFailed || CliContext::DeviceBusy()) return;
    {
      std::lock_guard<std::mutex> lock(mu_);
      if (holding_) {
        held_.emplace_back(caption, text);
        return;
      }
    }
    next_.Message(caption, text);
  }
  void Hold() {
    std::lock_guard<std::mutex> lock(mu_);
    holding_ = true;
  }
  // Ends the holding; the held messages are shown when `show`.
  void Release(bool show) {
    std::vector<std::pair<Caption, std::string>> held;
    {
      std::lock_guard<std::mutex> lock(mu_);
      holding_ = false;
      held.swap(held_);
    }
    if (show)
      for (const auto& [caption, text] : held) next_.Message(caption, text);
  }

 private:
  StderrNotifier next_;
  std::mutex mu_;
  bool holding_ = false;
  std::vector<std::pair<Caption, std::string>> held_;
};

CliNotifier& TheNotifier() {
  static CliNotifier n;
  return n;
}

}  // namespace

void CliEvents::Post(uint32_t msg, uintptr_t, intptr_t lParam) {
  if (msg == WM_BATTERY) battery_ = lParam;
  if (msg == WM_PROFILE_SWITCHED) switched_ = lParam;
  if (msg != WM_DEVICE_BEHAVIOR || !print_) return;
  const int kind = int(lParam >> 8 & 0xFF), value = int(lParam & 0xFF);
  static const char* const names[] = {"?",          "dpi-level",  "rate",      "reset",
                                      "main-light", "logo-light", "dpi-light", "power"};
  std::lock_guard<std::mutex> l(mu_);
  std::printf("%s %d\n", kind >= 1 && kind <= 7 ? names[kind] : "unknown", value);
  std::fflush(stdout);
  ++printed_;
}

DeviceSession::~DeviceSession() {
  CliContext::SetDeviceBusyTest({});
  if (program_) program_->Exit();
  program_.reset();
}

bool DeviceSession::Busy() const {
  if (!program_ || offline_) return false;
  const int chosen = chosen_.load();
  if (chosen >= 0) {
    const std::shared_ptr<CHidDev> dev = program_->Manager().List().Device(size_t(chosen));
    return dev && dev->Busy();
  }
  return !program_->Manager().BusyNodes().empty();
}

std::vector<ListedDevice> DeviceSession::Devices() const {
  std::vector<ListedDevice> out;
  for (const DevEntryView& v : program_->Devices()) {
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
  for (const ProbeSlot& s : program_->Manager().List().BusySlots())
    if (s.state == ProbeState::WaitingForMouse) out.push_back({s});
  return out;
}

std::vector<std::string> DeviceSession::AccessProblems() const {
  std::vector<std::string> out;
  // Discovery opens only the nodes of our mice, so every refusal is one of ours.
  for (const HidAccessDenied& d : program_->Transport().AccessDenied())
    out.push_back(platform::AccessDeniedMessage(d));
  return out;
}

std::unique_ptr<DeviceSession> StartDeviceSession(const CliContext& ctx, bool offline) {
  ResolveProgramDir(ctx.dataDir);
  const std::string cfg = ProgramDir + "cfg.ini";
  // Without its cfg.ini a data folder is the wrong one: say so instead of
  // running on an empty catalogue.
  if (!platform::IsFile(cfg)) {
    CliContext::Fail("cannot read " + cfg);
    return nullptr;
  }
  std::unique_ptr<DeviceSession> s(new DeviceSession());
  s->offline_ = offline;
  s->program_ = std::make_unique<Program>(s->events_);
  ProgramOptions o;
  o.dataDir = ctx.dataDir;
  o.userDir = ctx.userDir;
  o.args = {"tolvanectl"};
  o.singleInstance = false;  // the lock belongs to the window program
  o.simulate = ctx.simulate;
  o.offline = offline;
  o.offlineEntry = offline ? ctx.device : -1;
  if (ctx.trace) o.trace = PrintTrace;
  o.notifier = &TheNotifier();
  o.windowVisible = [] { return false; };
  TheNotifier().Hold();
  if (s->program_->Start(o) != StartResult::Ok) {
    TheNotifier().Release(false);
    const std::string& why = s->program_->StartError();
    CliContext::Fail(!why.empty() ? why
                                  : "Data Init failed: " + cfg + " has an invalid MDNUM or KM");
    return nullptr;
  }
  const bool usable = CheckStartedCatalogue();
  TheNotifier().Release(usable);
  if (!usable) return nullptr;
  NoteCatalogueLoaded();
  // From here on a failure of a device that another process keeps is told
  // as such (the destructor clears the test).
  CliContext::SetDeviceBusyTest([session = s.get()] { return session->Busy(); });
  s->program_->WaitDevicesSettled(kSettleBudgetMs);
  return s;
}

int ChosenEntry(const CliContext& ctx, DeviceSession& s) {
  if (s.Offline()) {
    const size_t n = s.Manager().List().Size();
    if (ctx.device < 0 || size_t(ctx.device) >= n) {
      CliContext::Fail("no model " + std::to_string(ctx.device) + " (the catalogue has " +
                       std::to_string(n) + ")");
      return -1;
    }
    return ctx.device;
  }
  auto devices = s.Devices();
  if (devices.empty()) {
    CliContext::Fail("no device connected");
    return -1;
  }
  if (ctx.device < 0 || size_t(ctx.device) >= devices.size()) {
    CliContext::Fail("no device " + std::to_string(ctx.device) + " (" +
                     std::to_string(devices.size()) + " connected)");
    return -1;
  }
  const int entry = int(devices[size_t(ctx.device)].entry.nIndex);
  s.chosen_ = entry;
  return entry;
}

std::shared_ptr<CHidDev> OpenChosenDevice(const CliContext& ctx,
                                          std::unique_ptr<DeviceSession>* session) {
  *session = StartDeviceSession(ctx);
  if (!*session) return nullptr;
  const int entry = ChosenEntry(ctx, **session);
  if (entry < 0) return nullptr;
  return (*session)->Manager().List().Device(size_t(entry));
}

}  // namespace tolvane::cli
