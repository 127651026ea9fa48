#include "profile/profile_session.h"

#include <algorithm>
#include <chrono>

#include "app/log.h"
#include "app/notifier.h"
#include "device/discovery_host.h"
#include "device/hid_dev.h"
#include "macro/macro_library.h"
#include "profile/profile_device.h"

namespace tolvane {

std::atomic<int> g_bInitProOK{1};

std::mutex& ReadProfileMutex() {
  static std::mutex m;
  return m;
}

bool SessionDevice::Connected() const { return dev && dev->HasCmd(); }

int SessionDevices::ReadProfile(CHidDev& dev, ProfileFile* file, MacroLibrary* library) {
  return GetProfile(dev, file, library);
}

int SessionDevices::WriteProfile(CHidDev& dev, ProfileFile* file, EventSink* progress,
                                 uint32_t msg, uint32_t flag, uint32_t data,
                                 MacroLibrary* library) {
  return ApplySetting(dev, file, progress, msg, flag, data, library);
}

namespace {
using Ms = std::chrono::milliseconds;

unsigned PtrBits(const void* p) { return unsigned(reinterpret_cast<uintptr_t>(p)); }

// Why a device cannot take settings now: another program of ours holds it,
// or it is not connected.
const char* NotReadyText(const SessionDevice& d) {
  return d.dev && d.dev->Busy() ? "tc_dev_busy" : "tc_msg10";
}
}  // namespace

ProfileSession::ProfileSession(ProfileStore& store, SessionDevices& devices, MacroLibrary* library,
                               EventSink& window, Notifier& notifier, DiscoveryHost& host,
                               SessionOptions options, SessionHooks hooks)
    : store_(store),
      devices_(devices),
      library_(library),
      window_(window),
      notifier_(notifier),
      host_(host),
      opt_(std::move(options)),
      hooks_(std::move(hooks)) {}

ProfileSession::~ProfileSession() { Stop(); }

uint32_t ProfileSession::Tick() const {
  if (opt_.tick) return opt_.tick();
  return uint32_t(std::chrono::duration_cast<Ms>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count());
}

bool ProfileSession::Visible() const { return hooks_.windowVisible ? hooks_.windowVisible() : true; }

std::string ProfileSession::Text(const char* id) const {
  return store_.Texts() ? store_.Texts()(id) : std::string();
}

void ProfileSession::Start() {
  {
    std::lock_guard lock(reqMu_);
    if (started_) return;
    started_ = true;
    requests_.clear();
    exit_ = false;
  }
  {
    GlobalSettings g = LoadGlobalSettings(store_.Dir());
    std::lock_guard lock(globalsMu_);
    globals_ = g;
  }
  applyThread_ = std::thread(&ProfileSession::ApplyThread, this);
  host_.SetTimer(kBatteryTimerId, opt_.batteryPeriodMs, [this] {
    SessionDevice cur = devices_.Current();
    if (g_bInitProOK.load() == 1 && cur.cfg && cur.cfg->nFw == 0) GetPower();
  });
}

void ProfileSession::Stop() {
  {
    std::lock_guard lock(reqMu_);
    if (!started_ || stopped_) return;
    stopped_ = true;
  }
  host_.KillTimer(kBatteryTimerId);
  host_.KillTimer(kWaitAnimationTimerId);
  SaveGlobalSettings(store_.Dir(), Globals());
  {
    std::lock_guard lock(reqMu_);
    exit_ = true;
  }
  reqCv_.notify_all();
  if (applyThread_.joinable()) applyThread_.join();
  ReapReads(true);
  store_.Clear();
}

// ---- Apply ---------------------------------------------------------------------

void ProfileSession::QueueRequestLocked(uint32_t flags, uint32_t data) {
  const std::pair<uint32_t, uint32_t> r{flags, data};
  if (std::find(requests_.begin(), requests_.end(), r) != requests_.end()) return;
  if (requests_.size() >= size_t(kMaxPendingRequests)) {
    LogPrint("Apply queue full: nFlag=0x%x, nData=0x%x dropped", flags, data);
    return;
  }
  requests_.push_back(r);
}

void ProfileSession::RequestApply(uint32_t flags) {
  {
    std::lock_guard lock(reqMu_);
    QueueRequestLocked(flags | kApplyWithProgress, 255);
  }
  reqCv_.notify_all();
}

void ProfileSession::RequestApplyEx(uint32_t flags, uint32_t data) {
  {
    std::lock_guard lock(reqMu_);
    QueueRequestLocked(flags & ~kApplyWithProgress, data);
  }
  reqCv_.notify_all();
}

void ProfileSession::SetProgressWindow(std::shared_ptr<EventSink> window) {
  {
    std::lock_guard lock(reqMu_);
    progress_ = std::move(window);
  }
  reqCv_.notify_all();
}

bool ProfileSession::WaitApplyIdle(int timeoutMs) {
  std::unique_lock lock(reqMu_);
  return reqCv_.wait_for(lock, Ms(timeoutMs), [&] { return (requests_.empty() && !busy_) || exit_; });
}

void ProfileSession::ApplyThread() {
  LogPrint("Start apply thread");
  std::unique_lock lock(reqMu_);
  for (;;) {
    reqCv_.wait(lock, [&] { return exit_ || !requests_.empty(); });
    if (exit_) break;
    const auto [flag, data] = requests_.front();
    requests_.pop_front();
    busy_ = true;
    LogPrint("Start Apply: nFlag=0x%x, nData=0x%x", flag, data);
    std::shared_ptr<EventSink> progress;
    if (flag & kApplyWithProgress) {
      for (int i = 0; i < opt_.progressLooks && !progress; ++i) {
        if (reqCv_.wait_for(lock, Ms(opt_.progressLookMs), [&] { return exit_; })) break;
        progress = progress_;
      }
      if (exit_) break;
    }
    lock.unlock();

    SessionDevice cur = devices_.Current();
    int result = -1;
    if (!cur.dev || (!cur.Connected() && !opt_.goWithNoDev)) {
      if (progress) progress->Post(WM_CLOSE_WINDOW, 0, 0);
      notifier_.Message(Caption::Error, Text("tc_msg15"));
    } else {
      // The write works on a copy, so that the record may change meanwhile;
      // the next request writes the newer values.
      std::optional<ProfileFile> profile = store_.Current();
      result = devices_.WriteProfile(*cur.dev, profile ? &*profile : nullptr, progress.get(),
                                     WM_PROGRESS, flag, data, library_);
      if (result == 0) notifier_.Message(Caption::Error, kUpdateFailed);
      if (progress) {
        progress->Post(WM_CLOSE_WINDOW, 0, 0);
        std::this_thread::sleep_for(Ms(opt_.progressCloseGapMs));
        progress->Post(WM_CLOSE_WINDOW, 0, 0);
      }
      LogPrint("Apply Over");
    }
    lastApplyResult_ = result;
    ++appliesDone_;
    if (hooks_.applyDone) hooks_.applyDone(result);
    lock.lock();
    busy_ = false;
    reqCv_.notify_all();
  }
  busy_ = false;
  reqCv_.notify_all();
  lock.unlock();
  LogPrint("thread exit");
}

// ---- Reads ---------------------------------------------------------------------

void ProfileSession::ReapReads(bool all) {
  std::list<Read> finished;
  {
    std::lock_guard lock(readsMu_);
    for (auto it = reads_.begin(); it != reads_.end();) {
      if (all || it->done->load()) {
        finished.splice(finished.end(), reads_, it++);
      } else {
        ++it;
      }
    }
  }
  for (Read& r : finished) r.thread.join();
}

uint64_t ProfileSession::StartRead(int index, std::function<void(bool ok)> done) {
  ReapReads(false);
  uint64_t ticket = 0;
  {
    std::lock_guard lock(doneMu_);
    ticket = ++lastRead_;
    readsRunning_.insert(ticket);
  }
  auto ended = std::make_shared<std::atomic<bool>>(false);
  std::lock_guard lock(readsMu_);
  reads_.push_back({std::thread([this, index, ticket, ended, done = std::move(done)] {
                      const bool ok = ReadCurCfgThread(index);
                      {
                        std::lock_guard l(doneMu_);
                        readsRunning_.erase(ticket);
                      }
                      doneCv_.notify_all();
                      // The read's own event goes out before its ticket ends, so
                      // whoever waited on the ticket finds the event posted.
                      if (hooks_.readDone) hooks_.readDone(ticket, ok);
                      if (done) done(ok);
                      ended->store(true);
                    }),
                    ended});
  return ticket;
}

bool ProfileSession::WaitRead(uint64_t ticket, int timeoutMs) {
  std::unique_lock lock(doneMu_);
  return doneCv_.wait_for(lock, Ms(timeoutMs), [&] { return readsRunning_.count(ticket) == 0; });
}

bool ProfileSession::WaitReadDone(int timeoutMs) { return WaitRead(LastReadTicket(), timeoutMs); }

uint64_t ProfileSession::LastReadTicket() const {
  std::lock_guard lock(doneMu_);
  return lastRead_;
}

bool ProfileSession::ReadCurCfgThread(int index) {
  LogPrint("ReadCurCfgThread Start");
  SessionDevice s = devices_.At(index);
  if (!s.Connected()) return false;
  bool ok = false;
  std::unique_lock lock(ReadProfileMutex());
  g_bInitProOK = 0;
  int n = s.dev->GetCurProfile();
  LogPrint("Mouse profile is %d", n);
  if (n >= 0 && n <= 3) {
    if (std::optional<ProfileFile> entry = store_.GetProfileAt(n)) {
      ProfileFile scratch = *entry;
      if (devices_.ReadProfile(*s.dev, &scratch, library_)) {
        LogPrint("Init Pro OK");
        SanitizeProfile(scratch);
        store_.SetProfileAt(n, scratch);
        store_.SetCurrentIndex(n);
        if (s.cfg) store_.SavePro(*s.cfg);
        window_.Post(WM_SYNC_OK, 0, 0);
        ok = true;
      }
    }
  }
  g_bInitProOK = 1;
  lock.unlock();
  LogPrint("ReadCurCfgThread Exit");
  return ok;
}

// ---- The window's operations --------------------------------------------------------

int ProfileSession::CanChangeSettings(int index) {
  if (g_bInitProOK.load() == 0) {
    notifier_.Message(Caption::Warning, Text("tc_adv_str15"));
    return 0;
  }
  if (!opt_.applyNow || opt_.goWithNoDev) return 1;
  SessionDevice d = index < 0 ? devices_.Current() : devices_.At(index);
  if (ConnectState(d) == 1) return 1;
  notifier_.Message(Caption::Warning, Text(NotReadyText(d)));
  return 0;
}

int ProfileSession::ConnectState(const SessionDevice& d) const {
  if (!d.dev) return 0;
  if (hooks_.connectState) return hooks_.connectState(d.index);
  return d.dev->GetConnectStatus();
}

bool ProfileSession::ChooseDevice(int index, std::function<void(bool ok)> readDone) {
  SessionDevice d = devices_.At(index);
  if (!d.dev) {
    LogPrint("OnCurrentDeviceChanged pDev=NULL");
    return false;
  }
  LogPrint("OnCurrentDeviceChanged: nCID=%x, nMID=%x", d.cfg ? d.cfg->nCid : 0,
           d.cfg ? d.cfg->nMid : 0);
  if (!CanChangeSettings(index)) {
    LogPrint("OnCurrentDeviceChanged: dev offline");
    return false;
  }
  devices_.SetCurrent(index);
  LogPrint("SetCurDEV: cid=%x, mid=%x, pid=%04x", d.cfg ? d.cfg->nCid : 0, d.cfg ? d.cfg->nMid : 0,
           d.dev->wPID);
  if (d.cfg) store_.LoadPro(*d.cfg, opt_.defaults);
  if (hooks_.refreshPages) hooks_.refreshPages();
  GetPower();
  if (Visible()) d.dev->TellDrvStatus(1);
  StartRead(index, std::move(readDone));
  host_.SetTimer(kWaitAnimationTimerId, opt_.waitAnimationDelayMs, [this] {
    host_.KillTimer(kWaitAnimationTimerId);
    if (Visible() && hooks_.openWaitAnimation) hooks_.openWaitAnimation();
  });
  return true;
}

bool ProfileSession::OnDeviceBehavior(uintptr_t wParam, intptr_t lParam) {
  SessionDevice cur = devices_.Current();
  if (cur.index < 0 || wParam != uintptr_t(cur.index)) return true;
  LogPrint("OnDeviceBehavior  lParam= %x", unsigned(lParam));
  ProfileFile* file = store_.CurrentRecord();
  if (!file || !cur.cfg) {
    LogPrint("return.  pFile=0x%x, pSensorCfg=0x%x", PtrBits(file), PtrBits(cur.cfg));
    return true;
  }
  const int kind = int((lParam >> 8) & 0xFF);
  if (kind == kBehaviorReset) {
    if (g_bInitProOK.load() == 0) {
      LogPrint("g_bInitProOK is set, return");
      return true;
    }
    const uint32_t now = Tick(), reset = m_nResetTickCount.load();
    const uint32_t sub = now - reset;
    LogPrint("nTick= %d, m_nResetTickCount= %d, nSub=%d", int(now), int(reset), int(sub));
    if (hasReset_.load() && sub < opt_.resetEchoMs) {
      LogPrint("this is reset notify, do not process");
      return true;
    }
    StartRead(cur.index);
    if (hooks_.showReadWait) hooks_.showReadWait(Text("tc_msg12"));
    return true;
  }
  if (kind == kBehaviorPower) {
    std::this_thread::sleep_for(Ms(opt_.behaviorPowerDelayMs));
    GetPower();
    return true;
  }
  return false;
}

int ProfileSession::GetPower() {
  SessionDevice cur = devices_.Current();
  int power = 0, charging = 0;
  if (!cur.Connected() || !cur.dev->GetPower(power, charging)) {
    if (hooks_.batteryFailed) hooks_.batteryFailed();
    return 0;
  }
  LogPrint("GetPower: nPower=0x%x, bCharging=0x%x", unsigned(power), unsigned(charging));
  if (power <= 100 && hooks_.showBattery) hooks_.showBattery(power, charging != 0);
  return 1;
}

void ProfileSession::OnWindowShown() {
  SessionDevice cur = devices_.Current();
  if (cur.cfg && cur.cfg->nFw == 0) GetPower();
}

bool ProfileSession::RestoreDefaults(const std::function<bool()>& confirm) {
  SessionDevice cur = devices_.Current();
  if (!cur.dev && !opt_.goWithNoDev) {
    notifier_.Message(Caption::Error, Text("tc_msg15"));
    return false;
  }
  if (g_bInitProOK.load() == 0) {
    notifier_.Message(Caption::Warning, Text("tc_adv_str15"));
    return false;
  }
  if (opt_.applyNow && !opt_.goWithNoDev && ConnectState(cur) != 1) {
    notifier_.Message(Caption::Warning, Text(NotReadyText(cur)));
    return false;
  }
  if (!cur.cfg || store_.Count() == 0) return false;
  if (confirm && !confirm()) return false;
  SetGlobals({});
  ProfileFile p = *store_.GetProfileAt(0);
  MakeDefaultProfile(p, *cur.cfg, opt_.defaults, store_.ReadPointer(), store_.Texts());
  p.SysMouse = SysMouseSettings{};
  p.SysMouse.bEnhancePrecision = int32_t(opt_.defaults.enhancePrecision);
  store_.SetProfileAt(0, p);
  store_.SetCurrentIndex(0);
  if (hooks_.refreshPages) hooks_.refreshPages();
  int level = int(cur.cfg->nDefLevel);
  if (level < 0 || level >= cur.cfg->DpiLevels()) level = 0;
  devices_.SetCurDpiLevel(cur.index, level);
  m_nResetTickCount = Tick();
  hasReset_ = true;
  RequestApply(kRestoreFlags);
  return true;
}

bool ProfileSession::ExportProfile(const std::string& path) {
  if (!library_) return false;
  // The device object keeps the level the last read or change gave it.
  const int level = devices_.CurDpiLevel(devices_.Current().index);
  return tolvane::ExportProfile(store_, *library_, level, path, notifier_);
}

bool ProfileSession::ImportProfile(const std::string& path, bool withProgress) {
  if (!store_.HasCurrent() || !library_) return false;
  if (g_bInitProOK.load() == 0) {
    notifier_.Message(Caption::Warning, Text("tc_adv_str15"));
    return false;
  }
  SessionDevice cur = devices_.Current();
  if (!cur.cfg) return false;
  ImportOutcome r = ImportProfileFile(store_, *library_, *cur.cfg, path, notifier_);
  if (!r.ok) return false;
  devices_.SetCurDpiLevel(cur.index, r.nCurDpiLevel);
  if (hooks_.refreshPages) hooks_.refreshPages();
  if (withProgress)
    RequestApply(r.nFlag);
  else
    RequestApplyEx(r.nFlag, 255);
  return true;
}

int ProfileSession::SaveCurrentStore() {
  SessionDevice cur = devices_.Current();
  return cur.cfg ? store_.SavePro(*cur.cfg) : 0;
}

int ProfileSession::SaveMacroSnapshot() { return library_ ? library_->SaveSnapshot() : 0; }

GlobalSettings ProfileSession::Globals() const {
  std::lock_guard lock(globalsMu_);
  return globals_;
}

void ProfileSession::SetGlobals(const GlobalSettings& g) {
  std::lock_guard lock(globalsMu_);
  globals_ = g;
}

}  // namespace tolvane
