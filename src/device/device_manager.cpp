#include "device/device_manager.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <random>
#include <strings.h>

#include "app/log.h"
#include "app/notifier.h"
#include "device/dev_pro.h"
#include "device/framing.h"

namespace tolvane {

namespace {

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

uint32_t TickCount() {
  using namespace std::chrono;
  return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool Contains(const std::vector<uint16_t>& v, uint32_t x) {
  return std::find(v.begin(), v.end(), x) != v.end();
}

// Errors with which a transfer says the device has gone.
bool IsGoneError(int err) { return err == ENODEV || err == ENXIO || err == EIO || err == ENOENT; }

bool SamePath(const std::string& a, const std::string& b) {
  // Paths compare case-insensitively over at most 260 characters.
  if (a.empty() || b.empty()) return false;
  return strncasecmp(a.c_str(), b.c_str(), 260) == 0;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ReadTag(const std::string& name, const char* tag, uint16_t* out) {
  const size_t tagLen = std::strlen(tag);
  for (size_t i = 0; i + tagLen <= name.size(); ++i) {
    if (strncasecmp(name.c_str() + i, tag, tagLen) != 0) continue;
    const size_t at = i + tagLen;
    if (at + 4 > name.size()) return false;
    unsigned v = 0;
    for (size_t k = 0; k < 4; ++k) {
      int d = HexDigit(name[at + k]);
      if (d < 0) return false;
      v = v * 16 + unsigned(d);
    }
    *out = uint16_t(v);
    return true;
  }
  return false;
}

}  // namespace

// ---- Configuration.

bool DiscoveryConfig::IsOurs(uint32_t vid, uint32_t pid) const {
  return Contains(vids, vid) && (Contains(wiredPids, pid) || Contains(wirelessPids, pid));
}
bool DiscoveryConfig::IsWired(uint32_t pid) const { return Contains(wiredPids, pid); }
bool DiscoveryConfig::IsWireless(uint32_t pid) const { return Contains(wirelessPids, pid); }

bool PathStringToId(const std::string& name, uint16_t* vid, uint16_t* pid) {
  uint16_t v = 0, p = 0;
  if (!ReadTag(name, "VID_", &v) || !ReadTag(name, "PID_", &p)) return false;
  if (vid) *vid = v;
  if (pid) *pid = p;
  return true;
}

// ---- One identification.

struct DeviceManager::Probe {
  bool plus = false;
  int slot = -1;
  std::unique_ptr<HidHandle> hCmd;     // PRO+: the single interface
  std::unique_ptr<HidHandle> hNotify;  // PRO only
  HidIfInfo info;                      // the command (PRO+: only) interface record
  std::string notifyPath;
  uint8_t cid = 0, mid = 0;
  uint32_t b4KDevice = 0;
  uint64_t removals = 0;  // removals handled before its scan enumerated
};

namespace {

int ProbeRead(HidHandle* h, uint8_t* buf, bool plus, int timeoutMs) {
  if (plus && timeoutMs == kProPlusIoTimeoutMs) return GetData(h, buf, PER_PAYLOAD);
  return GetData(h, buf, PER_PAYLOAD, timeoutMs);
}

int ProbeSend(HidHandle* h, const uint8_t* payload, bool plus, int* err) {
  if (plus) return SendData_PROPLUS(err, h, payload);
  return SendData(payload, h, err, PER_PAYLOAD);
}

// Command 3 on a probe's handles: 1 connected, 0 not (or no usable answer),
// -1 when the request could not be sent. `*answered` tells a real answer.
int ProbeConnectStatus(HidHandle* send, HidHandle* read, bool plus, int readMs, int* err,
                       bool* answered) {
  *answered = false;
  uint8_t payload[PER_PAYLOAD] = {kCmdConnectStatus};
  if (!ProbeSend(send, payload, plus, err)) return -1;
  for (int i = 0; i < 3; ++i) {
    uint8_t b[PER_PAYLOAD] = {};
    if (!ProbeRead(read, b, plus, readMs)) {
      LogPrint("GetConnectStatus GetData Err");
      return 0;
    }
    if (b[kPayCmd] == kCmdConnectStatus && b[kPayStatus] == 0) {
      *answered = true;
      return b[kPayData];
    }
    LogPrint("GetConnectStatus Err=%x %x %x, ThreadId=0x%x", b[kPayCmd], b[kPayStatus],
             b[kPayData], LogThreadId());
    if (b[kPayCmd] == kCmdConnectStatus) return 0;
  }
  return 0;
}

// Command 1: 1 with the identity, 0 on failure, -1 for the identity 0/0.
int CheckPsd(HidHandle* send, HidHandle* read, bool plus, int readMs, uint8_t* cid, uint8_t* mid,
             uint32_t* b4k) {
  std::mt19937 rng(uint32_t(std::chrono::system_clock::now().time_since_epoch().count()));
  uint8_t payload[PER_PAYLOAD] = {kCmdCheckPsd};
  payload[kPayLen] = 8;
  for (int i = 0; i < 4; ++i) payload[kPayData + i] = uint8_t(rng() % 100 + 1);
  int err = 0;
  if (!ProbeSend(send, payload, plus, &err)) {
    LogPrint("CheckPsd SendData Err=0x%x", unsigned(err));
    return 0;
  }
  for (int i = 0; i < 3; ++i) {
    uint8_t b[PER_PAYLOAD] = {};
    if (!ProbeRead(read, b, plus, readMs)) {
      LogPrint("CheckPsd GetData Err");
      return 0;
    }
    if (b[kPayCmd] != kCmdCheckPsd) {
      LogPrint("CheckPsd Err=%x %x %x, ThreadId=0x%x", b[kPayCmd], b[kPayStatus], b[kPayData],
               LogThreadId());
      continue;
    }
    if (b[kPayStatus] != 0) {
      LogPrint("CheckPsd Err=%x %x %x, ThreadId=0x%x", 1u, b[kPayStatus], b[kPayData],
               LogThreadId());
      return 0;
    }
    *cid = b[9];
    *mid = b[10];
    LogPrint("CheckPsd: cid=%x, mid=%x", *cid, *mid);
    if (plus) *b4k = (b[11] == 1 || b[11] == 3) ? 1 : 0;
    if (*cid == 0 && *mid == 0) return -1;
    return 1;
  }
  return 0;
}

}  // namespace

// ---- Life cycle.

DeviceManager::DeviceManager(HidTransport& transport, DiscoveryConfig config, EventSink& sink,
                             DiscoveryHost& host, const DiscoveryTimings& timings)
    : transport_(transport),
      cfg_(std::move(config)),
      sink_(sink),
      host_(host),
      t_(timings),
      list_(cfg_.models),
      guard_(std::make_shared<Guard>()) {
  list_.SetCurrent(cfg_.defDevIndex);
}

DeviceManager::~DeviceManager() { Shutdown(); }

void DeviceManager::SetWindowHooks(WindowHooks hooks) {
  std::lock_guard<std::mutex> lock(hooksMu_);
  hooks_ = std::move(hooks);
}

void DeviceManager::PostToHost(std::function<void(DeviceManager&)> fn) {
  std::shared_ptr<Guard> g = guard_;
  host_.Post([g, this, fn = std::move(fn)] {
    std::lock_guard<std::mutex> lock(g->mu);
    if (g->alive) fn(*this);
  });
}

void DeviceManager::Start() {
  hotplugOn_ = transport_.StartHotplug([this](const HotplugEvent& ev) {
    PostToHost([ev](DeviceManager& m) { m.OnDeviceChange(ev); });
  });
  PostToHost([](DeviceManager& m) {
    m.Scan();
    if (m.cfg_.goWithNoDev) m.GiveOfflineDevice();
  });
}

void DeviceManager::Shutdown() {
  if (hotplugOn_.exchange(false)) transport_.StopHotplug();
  {
    // Waits for a host task of ours that runs now; later ones do nothing.
    std::lock_guard<std::mutex> lock(guard_->mu);
    if (!guard_->alive) return;
    guard_->alive = false;
  }
  {
    std::lock_guard<std::mutex> lock(uiMu_);
    if (timerRunning_) host_.KillTimer(FINDDEV_TIMER_ID);
    timerRunning_ = false;
    counter_ = 0;
  }
  {
    std::lock_guard<std::mutex> lock(stateMu_);
    stopping_ = true;
  }
  stateCv_.notify_all();
  { std::lock_guard<std::mutex> scan(scanMu_); }  // a scan called directly ends first
  std::list<Worker> workers;
  {
    std::lock_guard<std::mutex> lock(workersMu_);
    workers.swap(workers_);
  }
  for (Worker& w : workers)
    if (w.thread.joinable()) w.thread.join();
  ReleaseAll();
}

bool DeviceManager::Stopping() const {
  std::lock_guard<std::mutex> lock(stateMu_);
  return stopping_;
}

bool DeviceManager::SleepUnlessStopping(int ms) {
  std::unique_lock<std::mutex> lock(stateMu_);
  return !stateCv_.wait_for(lock, std::chrono::milliseconds(std::max(0, ms)),
                            [&] { return stopping_; });
}

void DeviceManager::SignalState() {
  { std::lock_guard<std::mutex> lock(stateMu_); }
  stateCv_.notify_all();
}

void DeviceManager::StartWorker(std::function<void()> fn) {
  ReapWorkers();
  std::lock_guard<std::mutex> lock(workersMu_);
  if (Stopping()) return;
  Worker w;
  w.done = std::make_shared<std::atomic<bool>>(false);
  w.thread = std::thread([fn = std::move(fn), done = w.done] {
    fn();
    *done = true;
  });
  workers_.push_back(std::move(w));
}

void DeviceManager::ReapWorkers() {
  std::list<Worker> finished;
  {
    std::lock_guard<std::mutex> lock(workersMu_);
    for (auto it = workers_.begin(); it != workers_.end();) {
      if (*it->done) {
        finished.splice(finished.end(), workers_, it++);
      } else {
        ++it;
      }
    }
  }
  for (Worker& w : finished) w.thread.join();
}

// ---- Scans.

bool DeviceManager::PathInUseLocked(const std::string& path, bool notify) const {
  for (size_t i = 0; i < list_.Size(); ++i) {
    const DevEntry& e = list_.EntryLocked(i);
    if (!e.pDev || !e.pDev->HasCmd()) continue;
    if (SamePath(path, notify ? e.szNotifyPath : e.szCmdPath)) return true;
  }
  for (const ProbeSlot& s : list_.SlotsLocked())
    if (s.bBusy && SamePath(path, notify ? s.szNotifyPath : s.szCmdPath)) return true;
  if (!notify)
    for (const auto& l : losers_)
      if (SamePath(path, l.first)) return true;
  return false;
}

void DeviceManager::RememberLoser(const std::string& path, HidRole role, size_t entry) {
  if (path.empty()) return;
  std::lock_guard<std::mutex> lock(list_.Mutex());
  losers_[path] = Loser{role, entry};
}

bool DeviceManager::ForgetLosersOf(size_t entry) {
  std::lock_guard<std::mutex> lock(list_.Mutex());
  bool any = false;
  for (auto it = losers_.begin(); it != losers_.end();) {
    if (it->second.entry == entry) {
      it = losers_.erase(it);
      any = true;
    } else {
      ++it;
    }
  }
  return any;
}

// With `present` (an enumeration): keeps the losers that are listed in it.
// Without: keeps those that can still be opened.
void DeviceManager::ForgetGoneLosers(const std::vector<HidIfInfo>* present) {
  std::map<std::string, Loser> losers;
  {
    std::lock_guard<std::mutex> lock(list_.Mutex());
    losers = losers_;
  }
  for (auto it = losers.begin(); it != losers.end();) {
    bool there = false;
    if (present) {
      for (const HidIfInfo& i : *present) there = there || SamePath(i.szPath, it->first);
    } else {
      there = transport_.Open(it->first, it->second.role) != nullptr;
    }
    it = there ? std::next(it) : losers.erase(it);
  }
  std::lock_guard<std::mutex> lock(list_.Mutex());
  for (auto it = losers_.begin(); it != losers_.end();)
    it = losers.count(it->first) ? std::next(it) : losers_.erase(it);
}

void DeviceManager::Scan() {
  std::lock_guard<std::mutex> scan(scanMu_);
  if (Stopping()) return;
  ++scanning_;
  ReapWorkers();
  scanRemovals_ = removals_.load();
  std::vector<HidIfInfo> ifs = transport_.Enumerate();
  ForgetGoneLosers(&ifs);
  if (cfg_.spotFw & 2) FindOurDevice_PROPLUS(ifs);
  if (cfg_.spotFw & 1) FindOurDevice_PRO(ifs);
  ++scans_;
  --scanning_;
  SignalState();
}

void DeviceManager::FindOurDevice_PRO(const std::vector<HidIfInfo>& ifs) {
  LogPrint("++ FindOurDevice_PRO: looking device");
  struct NotifyCand {
    const HidIfInfo* rec;
    std::unique_ptr<HidHandle> h;
  };
  std::vector<NotifyCand> notifies;
  std::vector<std::thread> matchThreads;  // joined before this scan returns
  std::atomic<HidHandle*> matched{nullptr};
  auto inUse = [&](const std::string& path, bool notify) {
    std::lock_guard<std::mutex> lock(list_.Mutex());
    return PathInUseLocked(path, notify);
  };

  auto isNotify = [&](const HidIfInfo& rec) {
    return cfg_.IsOurs(rec.nVID, rec.nPID) && rec.nUsagePage == 0xFF01 && rec.nUsage == 0 &&
           rec.nInputLen == 17 && rec.nOutputLen == 0;
  };
  auto isCommand = [&](const HidIfInfo& rec) {
    return cfg_.IsOurs(rec.nVID, rec.nPID) && rec.nUsagePage == 0xFF02 && rec.nUsage == 2 &&
           rec.nFeatureLen == 17 && rec.nOutputLen == 0;
  };

  // Pass 0: command candidates, opened and each under its device's lock
  // before any pairing read starts. Another process's exchange then cannot
  // land in the readers' window and pair the wrong interfaces, and the time
  // a lock takes to get does not eat into that window. A candidate whose
  // lock another process keeps is left for a later scan.
  struct CommandCand {
    const HidIfInfo* rec;
    std::unique_ptr<HidHandle> h;
  };
  std::vector<CommandCand> commands;
  if (std::any_of(ifs.begin(), ifs.end(), isNotify)) {
    for (const HidIfInfo& rec : ifs) {
      if (Stopping()) break;
      if (!isCommand(rec) || inUse(rec.szPath, false)) continue;
      auto h = transport_.Open(rec.szPath, HidRole::ProCommand);
      if (!h || !LockForProbe(*h, rec.szPath)) continue;
      commands.push_back({&rec, std::move(h)});
    }
  }

  // Pass 1: notify candidates, one pairing read each.
  for (const HidIfInfo& rec : ifs) {
    if (commands.empty()) break;  // nothing to pair with
    if (!isNotify(rec) || inUse(rec.szPath, true)) continue;
    auto h = transport_.Open(rec.szPath, HidRole::ProNotify);
    if (!h) continue;
    HidHandle* raw = h.get();
    notifies.push_back({&rec, std::move(h)});
    const int readMs = t_.matchReadMs;
    matchThreads.emplace_back([raw, readMs, &matched] {
      uint8_t buf[PER_PAYLOAD];
      if (GetData(raw, buf, PER_PAYLOAD, readMs)) matched = raw;
      LogPrint("Match_Thread eixt, hFile=%x", HandleLogId(raw));
    });
    SleepMs(t_.notifyOpenSleepMs);
  }

  // Pass 2: command candidates, each sends the echo. A command handle that
  // does not pair is unlocked and closed when its turn ends.
  for (CommandCand& cc : commands) {
    if (notifies.empty() || Stopping()) break;  // nothing could pair
    const HidIfInfo& rec = *cc.rec;
    std::unique_ptr<HidHandle> hCmd = std::move(cc.h);
    struct Unlocker {
      HidHandle* h;
      ~Unlocker() {
        if (h) h->Unlock();
      }
    } unlock{hCmd.get()};
    matched = nullptr;
    Report echo{};  // 08 03 and fifteen zeros: byte 16 is not a checksum here
    echo[0] = kCmdReportId;
    echo[1] = kCmdConnectStatus;
    if (hCmd->SendFeature(echo) != HidStatus::Ok) continue;  // closes the command handle
    SleepMs(t_.echoWaitMs);
    HidHandle* hIn = matched.load();
    if (!hIn) continue;  // no partner: the command handle is closed
    auto cand = std::find_if(notifies.begin(), notifies.end(),
                             [&](const NotifyCand& c) { return c.h.get() == hIn; });
    if (cand == notifies.end()) continue;
    unlock.h = nullptr;
    hCmd->Unlock();  // the probe takes the lock per exchange
    LogPrint("* Dev match OK: hDev=%x, hIN=%x", HandleLogId(hCmd.get()), HandleLogId(hIn));
    auto probe = std::make_shared<Probe>();
    probe->removals = scanRemovals_;
    probe->plus = false;
    probe->hCmd = std::move(hCmd);
    probe->hNotify = std::move(cand->h);
    probe->info = rec;
    probe->notifyPath = cand->rec->szPath;
    StartProbe(std::move(probe), "FindOurDevice_PRO");
  }

  // Unmatched notify handles: their pairing reads end now, then they close.
  for (NotifyCand& c : notifies)
    if (c.h) c.h->CancelRead();
  for (std::thread& t : matchThreads) t.join();
  // Command candidates that never sent their echo (the scan stopped).
  for (CommandCand& cc : commands)
    if (cc.h) cc.h->Unlock();
}

bool DeviceManager::LockForProbe(HidHandle& h, const std::string& path) {
  const bool ok = h.Lock(kDeviceLockWaitMs);
  if (!ok) LogPrint("FindOurDevice: %s is in use by another program", path.c_str());
  std::lock_guard<std::mutex> lock(list_.Mutex());
  if (ok)
    busy_.erase(path);
  else
    busy_.insert(path);
  return ok;
}

std::vector<std::string> DeviceManager::BusyNodes() const {
  std::lock_guard<std::mutex> lock(list_.Mutex());
  return {busy_.begin(), busy_.end()};
}

void DeviceManager::FindOurDevice_PROPLUS(const std::vector<HidIfInfo>& ifs) {
  LogPrint("++ FindOurDevice_PRO+: looking device");
  for (const HidIfInfo& rec : ifs) {
    if (Stopping()) break;
    if (!cfg_.IsOurs(rec.nVID, rec.nPID)) continue;
    if (rec.nUsagePage != 0xFF02 || rec.nUsage != 2 || rec.nInputLen != 17 ||
        rec.nOutputLen != 17)
      continue;
    {
      std::lock_guard<std::mutex> lock(list_.Mutex());
      if (PathInUseLocked(rec.szPath, false)) continue;
    }
    auto h = transport_.Open(rec.szPath, HidRole::ProPlus);
    if (!h) continue;
    auto probe = std::make_shared<Probe>();
    probe->removals = scanRemovals_;
    probe->plus = true;
    probe->hCmd = std::move(h);
    probe->info = rec;
    StartProbe(std::move(probe), "FindOurDevice_PRO+");
  }
}

void DeviceManager::StartProbe(std::shared_ptr<Probe> probe, const char* finder) {
  ProbeSlot slot;
  slot.szCmdPath = probe->info.szPath;
  slot.szNotifyPath = probe->notifyPath;
  slot.bPlus = probe->plus;
  slot.wPID = uint16_t(probe->info.nPID);
  slot.wVersion = uint16_t(probe->info.nVersion);
  slot.bWireless = !cfg_.IsWired(probe->info.nPID);
  probe->slot = list_.TakeSlot(slot);
  if (probe->slot < 0) {
    // All slots busy: the interfaces close and a later scan finds them again.
    LogPrint("%s: no free probe slot", finder);
    return;
  }
  StartWorker([this, probe] { ProbeThread(probe); });
}

// ---- Probe threads.

void DeviceManager::ProbeThread(std::shared_ptr<Probe> probe) {
  Probe& p = *probe;
  const unsigned tid = LogThreadId();
  const unsigned hCmdId = HandleLogId(p.hCmd.get());
  const unsigned hNotifyId = HandleLogId(p.hNotify.get());
  const char* name = p.plus ? "Psd_Thread_PRO+" : "Psd_Thread";
  if (p.plus)
    LogPrint("----Psd_Thread_PRO+ start, hDev=%x, ThreadId=%x", hCmdId, tid);
  else
    LogPrint("----Psd_Thread start, hCmd=%x, hNotify=%x, ThreadId=%x", hCmdId, hNotifyId, tid);

  HidHandle* send = p.hCmd.get();
  HidHandle* read = p.plus ? p.hCmd.get() : p.hNotify.get();
  const unsigned pid = p.info.nPID;
  bool identified = false;
  for (int attempt = 1; !identified; ++attempt) {
    if (!SleepUnlessStopping(attempt <= t_.probeShortTries ? t_.probeShortSleepMs
                                                           : t_.probeLongSleepMs))
      break;
    int err = 0;
    bool answered = false;
    if (!LockForProbe(*send, p.info.szPath)) break;
    const int bConnect = ProbeConnectStatus(send, read, p.plus, t_.probeReadMs, &err, &answered);
    send->Unlock();
    if (bConnect == -1 && IsGoneError(err)) {
      // The interface has gone: what reading its attributes would have said.
      LogPrint("%s: %s=%x nErr=%d, ThreadId=%x", name, p.plus ? "hDev" : "hCmd", hCmdId, err, tid);
      LogPrint("%s: dev is plug out. ThreadId=%x", name, tid);
      break;
    }
    if (p.plus)
      LogPrint("Psd_Thread_PRO+: bConnect=%d, hDev=%x, pid=%04x ThreadId=%x", bConnect, hCmdId,
               pid, tid);
    else
      LogPrint("Psd_Thread: bCennect=%d, hCmd=%x, pid=%04x ThreadId=%x", bConnect, hCmdId, pid,
               tid);
    if (bConnect == -1) {
      LogPrint(p.plus ? "Psd_Thread_PRO+: Err" : "CheckPsdThread: SendData Err");
      break;
    }
    if (bConnect != 1) {  // a receiver whose mouse is off answers 0: keep asking
      if (answered) {
        list_.SetSlotState(p.slot, ProbeState::WaitingForMouse);
        SignalState();
      }
      continue;
    }
    list_.SetSlotState(p.slot, ProbeState::Identifying);
    if (!LockForProbe(*send, p.info.szPath)) break;
    const int psd = CheckPsd(send, read, p.plus, t_.probeReadMs, &p.cid, &p.mid, &p.b4KDevice);
    send->Unlock();
    LogPrint("%s: CheckPsd=%d", name, psd);
    if (psd != 1) break;  // 0/0 and failures: the handles close below
    identified = true;
    if (list_.FindByIdentity(p.cid, p.mid) < 0) {
      LogPrint("%s: unsupport dev!!! cid=%x, mid=%x", name, p.cid, p.mid);
      break;
    }
    Connect(p);
  }

  // Handles not handed to a device object close here.
  p.hCmd.reset();
  p.hNotify.reset();
  list_.FreeSlot(p.slot);
  if (p.plus)
    LogPrint("----Psd_Thread_PRO+ Exit, hDev=%x, ThreadId=%x", hCmdId, tid);
  else
    LogPrint("----Psd_Thread Exit, hCmd=%x, hNotify=%x, ThreadId=%x", hCmdId, hNotifyId, tid);
  SignalState();
}

bool DeviceManager::Connect(Probe& p) {
  std::lock_guard<std::mutex> connect(connectMu_);
  if (Stopping()) return false;
  const int found = list_.FindByIdentity(p.cid, p.mid);
  if (found < 0) return false;
  // A removal handled while this device was being identified found nothing
  // to release; a device that is gone by now must not enter the list, where
  // no later removal event would come for it. Removals take this lock too,
  // so the device is either refused here or released by the removal.
  if (removals_.load() != p.removals) {
    int err = 0;
    if (!transport_.Open(p.info.szPath, p.plus ? HidRole::ProPlus : HidRole::ProCommand, &err)) {
      LogPrint("Psd_Thread: device gone before it was connected, cid=%x, mid=%x", p.cid, p.mid);
      return false;
    }
  }
  const size_t idx = size_t(found);
  const uint16_t newPid = uint16_t(p.info.nPID);
  std::shared_ptr<CHidDev> old = list_.Device(idx);

  if (old && old->HasCmd() && !IsOfflineDevice(old.get())) {
    const uint16_t oldPid = old->wPID;
    if (!p.plus) {
      if (cfg_.IsWired(newPid) && cfg_.IsWireless(oldPid)) {
        RememberLoser(list_.View(idx).szCmdPath, HidRole::ProCommand, idx);
        ReleaseDev(idx);  // the cable takes over from the receiver
      } else if (cfg_.IsWireless(newPid) && cfg_.IsWired(oldPid)) {
        LogPrint("Psd_Thread: another dev has exist, give up this!!! cid=%x, mid=%x", p.cid, p.mid);
        RememberLoser(p.info.szPath, HidRole::ProCommand, idx);
        return false;
      } else {
        RememberLoser(p.info.szPath, HidRole::ProCommand, idx);
        return false;
      }
    } else {
      if (cfg_.IsWireless(oldPid)) {
        SleepMs(t_.takeoverSleepMs);
        const int c = old->GetConnectStatus();
        LogPrint("Psd_Thread_PRO+: old dev is wireless, connect=%d", c);
        if (c > 0) {
          SleepMs(t_.takeoverSleepMs);
          LogPrint("Psd_Thread_PRO+: tell old dev can sleep");
          old->TellDrvStatus(0);
        }
      }
      LogPrint("Psd_Thread_PRO+: release old hid, cid=%x,mid=%x,pid=%04x(%s)", p.cid, p.mid,
               unsigned(oldPid), cfg_.IsWireless(oldPid) ? "Wireless" : "Wired");
      RememberLoser(list_.View(idx).szCmdPath, HidRole::ProPlus, idx);
      ReleaseDev(idx);
    }
  } else if (old) {
    ReleaseDev(idx);  // no open interface (or the offline stand-in): replaced
  }
  old.reset();

  const DevCfg* model = list_.View(idx).pDevCfg;
  std::shared_ptr<CHidDev> dev;
  if (p.plus)
    dev = std::make_shared<CDevProPlus>();
  else
    dev = std::make_shared<CDevPro>();
  dev->cid = p.cid;
  dev->mid = p.mid;
  dev->wVID = uint16_t(p.info.nVID);
  dev->wPID = newPid;
  dev->dwVersion = p.info.nVersion;
  dev->b4KDevice = p.plus ? p.b4KDevice : 0;
  dev->szCmdPath = p.info.szPath;
  dev->szNotifyPath = p.plus ? std::string() : p.notifyPath;
  dev->nEntryParam = idx;
  dev->pDevCfg = model;
  const unsigned hCmdId = HandleLogId(p.hCmd.get());
  const unsigned hNotifyId = HandleLogId(p.hNotify.get());
  dev->SetHandles(std::move(p.hCmd), std::move(p.hNotify));
  dev->SetNotifyWnd(&sink_);
  const bool wireless = cfg_.IsWireless(newPid);
  {
    std::lock_guard<std::mutex> lock(list_.Mutex());
    DevEntry& e = list_.EntryLocked(idx);
    dev->pEntry = &e;
    e.dwConnectTick = TickCount();
    if (wireless)
      e.wWirelessVer = uint16_t(p.info.nVersion);
    else
      e.wWiredVer = uint16_t(p.info.nVersion);
  }

  const uint32_t wantFw = p.plus ? 1 : 0;
  if (model && model->nFw != wantFw)
    GetNotifier().Message(Caption::Warning, "unmatch firmware for dev and cfg");

  const unsigned tid = LogThreadId();
  if (p.plus) {
    LogPrint("- Psd_Thread_PRO+ Find New Device: (ThreadId=%x)", tid);
    LogPrint("- hCmd=%x, CID=%x, MID=%x, PID=%04x(%s), b4KDevice=%d", hCmdId, p.cid, p.mid,
             unsigned(newPid), wireless ? "Wireless" : "Wired", int(p.b4KDevice));
    LogPrint("- Dev Path=  %s", dev->szCmdPath.c_str());
  } else {
    LogPrint("- Psd_Thread Find New Device: (ThreadId=%x)", tid);
    LogPrint("- hCmd=%x, m_hNotify=%x, CID=%x, MID=%x, VID=%04x, PID=%04x", hCmdId, hNotifyId,
             p.cid, p.mid, unsigned(dev->wVID), unsigned(newPid));
    LogPrint("- Dev Path(hCmd)=   %s", dev->szCmdPath.c_str());
    LogPrint("- Dev Path(hNotify)=%s", dev->szNotifyPath.c_str());
  }

  // The service thread runs before anyone can reach the object.
  dev->StartService();
  {
    std::lock_guard<std::mutex> lock(list_.Mutex());
    DevEntry& e = list_.EntryLocked(idx);
    e.pDev = dev;
    e.szCmdPath = dev->szCmdPath;
    e.szNotifyPath = dev->szNotifyPath;
  }
  if (p.plus) LogPrint("PostMessage, g_hWndDrv=%x", unsigned(uintptr_t(&sink_)));
  sink_.Post(WM_NEW_DEVICE, idx, 0);
  return true;
}

// ---- Release.

void DeviceManager::ReleaseDev(size_t index) {
  if (index >= list_.Size()) return;
  std::shared_ptr<CHidDev> dev;
  {
    std::lock_guard<std::mutex> lock(list_.Mutex());
    DevEntry& e = list_.EntryLocked(index);
    dev = std::move(e.pDev);
    e.pDev = nullptr;
    e.szCmdPath.clear();
    e.szNotifyPath.clear();
  }
  if (!dev) return;
  dev->StopService();  // joined: the service thread is done with the object
  dev->ClearHandle();  // closes the interfaces; exchanges elsewhere fail from now on
  // `dev` may outlive this call in the hands of other threads.
}

void DeviceManager::ReleaseAll() {
  for (size_t i = 0; i < list_.Size(); ++i) ReleaseDev(i);
}

bool DeviceManager::GiveOfflineDevice() {
  const int cur = list_.Current();
  if (cur < 0) return false;
  const size_t idx = size_t(cur);
  std::shared_ptr<CHidDev> dev;
  {
    std::lock_guard<std::mutex> lock(list_.Mutex());
    DevEntry& e = list_.EntryLocked(idx);
    if (e.pDev || !e.pDevCfg) return false;
    if (e.pDevCfg->nFw != 0)
      dev = std::make_shared<CDevProPlus>();
    else
      dev = std::make_shared<CDevPro>();
    dev->pEntry = &e;
    dev->nEntryParam = idx;
    dev->pDevCfg = e.pDevCfg;
    dev->SetOfflineMarker();
    dev->SetNotifyWnd(&sink_);
    e.pDev = dev;
  }
  sink_.Post(WM_NEW_DEVICE, idx, 0);
  return true;
}

// ---- Plug events and the FINDDEV timer.

int DeviceManager::OnDeviceChange(const HotplugEvent& ev) {
  uint16_t vid = 0, pid = 0;
  if (!PathStringToId(ev.name, &vid, &pid)) {
    LogPrint("OnDeviceChange: path_string_to_id err");
    return 0;
  }
  LogPrint("OnDeviceChange: vid=%04x pid=%04x", unsigned(vid), unsigned(pid));
  if (!cfg_.IsOurs(vid, pid)) {
    LogPrint("OnDeviceChange: isn't our device");
    return 0;
  }
  int counter = 0;
  if (ev.arrival) {
    LogPrint("Device IN");
    counter = 5;
  } else {
    LogPrint("Device OUT");
    std::lock_guard<std::mutex> connect(connectMu_);
    ++removals_;
    WindowHooks hooks;
    {
      std::lock_guard<std::mutex> lock(hooksMu_);
      hooks = hooks_;
    }
    for (size_t i = 0; i < list_.Size(); ++i) {
      DevEntryView v = list_.View(i);
      // The offline stand-in has no interface to lose.
      if (!v.bConnected || v.bOffline) continue;
      const bool plus = dynamic_cast<CDevProPlus*>(v.pDev.get()) != nullptr;
      int err = 0;
      auto test = transport_.Open(v.szCmdPath, plus ? HidRole::ProPlus : HidRole::ProCommand, &err);
      if (test) continue;  // still there
      LogPrint("Device OUT:  cid=%x,mid=%x,pid=%04x", v.pDev->cid, v.pDev->mid,
               unsigned(v.pDev->wPID));
      if (int(i) == list_.Current()) {
        if (hooks.currentRemoved) hooks.currentRemoved(i);
        counter = 1;
      }
      if (hooks.profileReadRunning && hooks.profileReadRunning()) SleepMs(t_.removalReadWaitMs);
      v.pDev.reset();
      ReleaseDev(i);
      // A connection of this model that lost to the one now gone gets its
      // turn: one rescan.
      if (ForgetLosersOf(i)) counter = std::max(counter, 1);
      if (hooks.listChanged) hooks.listChanged();
    }
    ForgetGoneLosers(nullptr);
  }
  std::lock_guard<std::mutex> lock(uiMu_);
  counter_ = counter;
  if (!timerRunning_ && counter_ > 0) {
    LogPrint("SetTimer FINDDEV_TIMER_ID");
    timerRunning_ = true;
    std::shared_ptr<Guard> g = guard_;
    host_.SetTimer(FINDDEV_TIMER_ID, t_.rescanPeriodMs, [g, this] {
      std::lock_guard<std::mutex> alive(g->mu);
      if (g->alive) OnFindDevTimer();
    });
  }
  return 0;
}

void DeviceManager::OnFindDevTimer() {
  {
    std::lock_guard<std::mutex> lock(uiMu_);
    --counter_;
    if (counter_ <= 0) {
      timerRunning_ = false;
      host_.KillTimer(FINDDEV_TIMER_ID);
    }
  }
  Scan();
}

bool DeviceManager::OnNewDevice(uintptr_t wParam) {
  std::shared_ptr<CHidDev> dev = wParam < list_.Size() ? list_.Device(wParam) : nullptr;
  if (!dev) {
    LogPrint("OnNewDevice: invalid param, pDEV=%x", unsigned(wParam));
    return true;
  }
  LogPrint("OnNewDevice: cid=%x,mid=%x,pid=%04x(%s)", dev->cid, dev->mid, unsigned(dev->wPID),
           cfg_.IsWired(dev->wPID) ? "Wired" : "Wireless");
  {
    std::lock_guard<std::mutex> lock(uiMu_);
    if (timerRunning_) host_.KillTimer(FINDDEV_TIMER_ID);
    timerRunning_ = false;
  }
  return list_.ConnectedCount() <= size_t(kMaxConnectedDevices);
}

bool DeviceManager::FindDevTimerRunning() const {
  std::lock_guard<std::mutex> lock(uiMu_);
  return timerRunning_;
}

int DeviceManager::RescanCounter() const {
  std::lock_guard<std::mutex> lock(uiMu_);
  return counter_;
}

bool DeviceManager::SettledLocked() const {
  if (scans_.load() < 1 || scanning_.load() > 0) return false;
  for (const ProbeSlot& s : list_.BusySlots())
    if (s.state != ProbeState::WaitingForMouse) return false;
  return true;
}

bool DeviceManager::Settled() const {
  std::lock_guard<std::mutex> lock(stateMu_);
  return SettledLocked();
}

bool DeviceManager::WaitSettled(int timeoutMs) const {
  std::unique_lock<std::mutex> lock(stateMu_);
  return stateCv_.wait_for(lock, std::chrono::milliseconds(std::max(0, timeoutMs)),
                           [&] { return SettledLocked(); });
}

}  // namespace tolvane
