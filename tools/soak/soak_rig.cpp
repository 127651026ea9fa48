#include "soak_rig.h"

#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <utility>

#include "profile/key_codes.h"
#include "support/test_models.h"

namespace tolvane::soak {

namespace {

// The six-button test model, "Soak <cid><mid>", wide range with six levels
// up to 12000 DPI.
DevCfg SoakModel(uint32_t cid, uint32_t mid, uint32_t fw) {
  DevCfg m = test::SixButtonModel(cid, mid, fw);
  std::snprintf(m.szName, sizeof m.szName, "Soak %02x%02x", cid, mid);
  m.bWideRange = 1;
  m.nDM = 6;
  m.dwDpi[4] = 6400;
  m.dwDpi[5] = 12000;
  m.dwDpiColor[6] = m.dwDpiColor[7] = 0;
  return m;
}

}  // namespace

sim::SimCatalogue SoakCatalogue() {
  return test::CatalogueOf({SoakModel(0x51, 0x01, 0), SoakModel(0x52, 0x01, 1),
                            SoakModel(0x51, 0x02, 0), SoakModel(0x52, 0x02, 1)});
}

// Five probe read time-outs between rescans, as 1000 ms are to 200 ms.
DiscoveryTimings SoakTimings() { return test::FastDiscoveryTimings(500); }

// ---- WriteRecorder

// Passes every call on (the exchange lock included) and records the reports
// that reached the mouse.
class WriteRecorder::Handle : public ForwardingHidHandle {
 public:
  Handle(WriteRecorder& owner, std::string path, std::unique_ptr<HidHandle> h)
      : ForwardingHidHandle(std::move(h)), owner_(owner), path_(std::move(path)),
        live_(owner.live_) {
    ++*live_;
  }
  ~Handle() override { --*live_; }
  HidStatus SendFeature(const Report& r) override {
    HidStatus s = ForwardingHidHandle::SendFeature(r);
    if (s == HidStatus::Ok) owner_.Record(path_, r);
    return s;
  }
  HidStatus Write(const Report& r, int ms) override {
    HidStatus s = ForwardingHidHandle::Write(r, ms);
    if (s == HidStatus::Ok) owner_.Record(path_, r);
    return s;
  }

 private:
  WriteRecorder& owner_;
  std::string path_;
  std::shared_ptr<std::atomic<int>> live_;
};

std::unique_ptr<HidHandle> WriteRecorder::Open(const std::string& path, HidRole role, int* err) {
  auto h = inner_.Open(path, role, err);
  if (!h) return nullptr;
  return std::make_unique<Handle>(*this, path, std::move(h));
}

void WriteRecorder::SetBase(size_t mouse, const std::string& base) {
  std::lock_guard l(mu_);
  if (bases_.size() <= mouse) {
    bases_.resize(mouse + 1);
    writes_.resize(mouse + 1);
  }
  bases_[mouse] = base + "/";
}

void WriteRecorder::Record(const std::string& path, const Report& r) {
  // Payload: byte 0 command, 2-3 address, 4 length, 5-14 data.
  if (r[1] != kCmdWriteEEPROM) return;
  const int len = r[5];
  if (len < 1 || len > 10) return;
  std::lock_guard l(mu_);
  for (size_t m = 0; m < bases_.size(); ++m) {
    if (bases_[m].empty() || path.rfind(bases_[m], 0) != 0) continue;
    writes_[m].push_back({uint16_t(r[3] << 8 | r[4]), std::vector<uint8_t>(r.begin() + 6, r.begin() + 6 + len)});
    return;
  }
}

std::vector<SentWrite> WriteRecorder::Take(size_t mouse) {
  std::lock_guard l(mu_);
  if (mouse >= writes_.size()) return {};
  return std::exchange(writes_[mouse], {});
}

// ---- SoakWindow

void SoakWindow::Post(uint32_t msg, uintptr_t, intptr_t) {
  if (msg == WM_SYNC_OK) ++syncOk_;
}

// ---- SoakRig

SoakRig::SoakRig(int count, uint32_t seed, int boundScale) : cat(SoakCatalogue()) {
  (void)boundScale;
  root_ = folder_.Root();
  dir_ = root_ + "/user/";
  std::filesystem::create_directories(dir_);

  for (int i = 0; i < count && i < int(cat.models.size()); ++i) {
    const DevCfg& m = cat.models[size_t(i)];
    SoakMouse s;
    s.entry = size_t(i);
    s.plus = m.nFw != 0;
    s.wireless = ((seed >> i) & 1) != 0;
    char spec[96];
    std::snprintf(spec, sizeof spec, "%s:cid=%02x,mid=%02x,link=%s", s.plus ? "pro+" : "pro",
                  unsigned(m.nCid), unsigned(m.nMid), s.wireless ? "wireless" : "wired");
    std::string err;
    s.mouse = sim::MakeVirtualMouse(spec, cat, &err);
    if (!s.mouse) {
      std::fprintf(stderr, "soak: %s: %s\n", spec, err.c_str());
      std::abort();
    }
    mice.push_back(std::move(s));
  }

  program = std::make_unique<Program>(window);
}

SoakRig::~SoakRig() {
  Shutdown();
}

bool SoakRig::Start() {
  for (size_t m = 0; m < mice.size(); ++m) Plug(m);
  DiscoveryConfig cfg;
  cfg.vids = cat.vids;
  cfg.wiredPids = cat.wiredPids;
  cfg.wirelessPids = cat.wirelessPids;
  for (const DevCfg& m : cat.models) cfg.models.push_back(&m);
  ProgramOptions o;
  o.transport = &recorder;
  o.devices = cfg;
  o.userDir = dir_;
  o.notifier = &notes;
  o.discovery = SoakTimings();
  o.texts = [](std::string_view id) { return std::string(id); };
  o.pointer = [] { return PointerReadings{}; };
  o.followDevice = false;  // the soak drives the session itself
  o.tuneSession = [](SessionOptions& s) {
    s.batteryPeriodMs = 3600 * 1000;  // no battery polling between operations
  };
  if (program->Start(o) != StartResult::Ok) return false;
  host = &program->Host();
  mgr = &program->Manager();
  devices = &program->DeviceAccess();
  store = &program->Store();
  library = &program->Library();
  session = &program->Session();
  for (size_t m = 0; m < mice.size(); ++m)
    if (!WaitConnected(m, 10000)) return false;
  return true;
}

// The program's exit in its order; then the mice are pulled out.
void SoakRig::Shutdown() {
  if (down_) return;
  down_ = true;
  if (program) program->Exit();
  for (size_t m = 0; m < mice.size(); ++m)
    if (mice[m].plugged) Unplug(m);
}

void SoakRig::Plug(size_t m) {
  transport.Plug(mice[m].mouse);
  recorder.SetBase(m, mice[m].mouse->Base());
  mice[m].plugged = true;
}

void SoakRig::Unplug(size_t m) {
  transport.Unplug(mice[m].mouse);
  mice[m].plugged = false;
}

std::shared_ptr<CHidDev> SoakRig::Device(size_t m) { return mgr->List().Device(mice[m].entry); }

bool SoakRig::WaitConnected(size_t m, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  const std::string base = mice[m].mouse->Base() + "/";
  for (;;) {
    DevEntryView v = mgr->List().View(mice[m].entry);
    if (v.bConnected && v.szCmdPath.rfind(base, 0) == 0) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace tolvane::soak
