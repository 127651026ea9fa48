#include "program/program.h"

#include <algorithm>
#include <chrono>

#include "app/log.h"
#include "app/paths.h"
#include "config/catalogue.h"
#include "config/texts.h"
#include "device/dev_pro.h"
#include "device/link_options.h"
#include "device/tracing_transport.h"
#include "macro/macro_library.h"
#include "platform/hidraw_transport.h"
#include "profile/dev_list_devices.h"
#include "profile/device_behavior.h"
#include "sim/sim_spec.h"
#include "sim/sim_transport.h"

namespace tolvane {

// What the device layer posts (probe and service threads) passes here first.
class Program::Relay : public EventSink {
 public:
  explicit Relay(Program& p) : p_(p) {}
  void Post(uint32_t msg, uintptr_t w, intptr_t l) override { p_.OnDeviceEvent(msg, w, l); }

 private:
  Program& p_;
};

// Keeps messages for whoever shows them and says so with WM_PROGRAM_MESSAGE.
class Program::QueueNotifier : public Notifier {
 public:
  explicit QueueNotifier(EventSink& sink) : sink_(sink) {}
  void Message(Caption caption, const std::string& text) override {
    kept_.Message(caption, text);
    sink_.Post(WM_PROGRAM_MESSAGE, 0, 0);
  }
  std::vector<RecordingNotifier::Entry> Take() {
    auto e = kept_.Entries();
    kept_.Clear();
    return e;
  }

 private:
  EventSink& sink_;
  RecordingNotifier kept_;
};

namespace {

// The device list of a program without discovery: the chosen entry gets the
// offline object.
std::shared_ptr<CHidDev> MakeOfflineDevice(const DevCfg& model, size_t index, EventSink& sink) {
  std::shared_ptr<CHidDev> dev;
  if (model.nFw != 0)
    dev = std::make_shared<CDevProPlus>();
  else
    dev = std::make_shared<CDevPro>();
  dev->pDevCfg = &model;
  dev->nEntryParam = index;
  dev->cid = uint8_t(model.nCid);
  dev->mid = uint8_t(model.nMid);
  dev->SetOfflineMarker();
  dev->SetNotifyWnd(&sink);
  return dev;
}

}  // namespace

Program::Program(EventSink& sink) : sink_(sink), relay_(std::make_unique<Relay>(*this)) {}

Program::~Program() { Exit(); }

// ---- Start ---------------------------------------------------------------------

bool Program::BuildTransport(const ProgramOptions& o) {
  if (o.offline) return true;
  if (!o.simulate.empty()) {
    simCat_ = std::make_shared<sim::SimCatalogue>(sim::SimCatalogueFrom(Cat()));
    auto t = std::make_unique<sim::SimTransport>();
    for (size_t i = 0; i < o.simulate.size(); ++i) {
      std::string spec = o.simulate[i];
      if (!o.eepromDir.empty() && spec.find("eeprom=") == std::string::npos)
        spec += std::string(spec.find(':') == std::string::npos ? ":" : ",") +
                "eeprom=" + o.eepromDir + "/mouse" + std::to_string(i) + ".bin";
      std::string err;
      auto m = sim::MakeVirtualMouse(spec, *simCat_, &err);
      if (!m) {
        startError_ = err.empty() ? "--simulate " + spec + ": not a virtual mouse" : err;
        return false;
      }
      t->Plug(m);
    }
    sim_ = t.get();
    base_ = std::move(t);
  } else {
    base_ = std::make_unique<platform::HidrawTransport>();
  }
  transport_ = base_.get();
  if (o.trace) {
    traced_ = std::make_unique<TracingTransport>(*base_, o.trace);
    transport_ = traced_.get();
  }
  return true;
}

StartResult Program::Start(const ProgramOptions& o) {
  if (started_) return StartResult::Ok;
  if (!o.notifier) queue_ = std::make_unique<QueueNotifier>(sink_);
  notifier_ = o.notifier ? o.notifier : queue_.get();
  const bool rig = o.devices.has_value();
  if (!rig) {
    StartupOptions so;
    so.dataDir = o.dataDir;
    so.userDir = o.userDir;
    so.args = o.args;
    so.singleInstance = o.singleInstance;
    so.instanceDir = o.instanceDir;
    const StartResult r = app_.Startup(so, *notifier_, o.onInstanceMessage);
    if (r != StartResult::Ok) return r;
    std::vector<std::string> folders;
    for (const Language& l : Cat().languages) folders.push_back(l.folder);
    LoadChosenLanguage(folders);
  }
  const OptCfg& opt = Cat().opt;
  offline_ = o.offline;
  followDevice_ = o.followDevice;
  if (offline_) {
    LinkOptions lo = GetLinkOptions();
    lo.bGoWithNoDev = true;
    SetLinkOptions(lo);
  }
  if (o.transport) {
    transport_ = o.transport;
  } else if (!BuildTransport(o)) {
    return StartResult::DataInitFailed;
  }
  if (!transport_) {
    // Offline: a transport that finds nothing.
    base_ = std::make_unique<sim::SimTransport>();
    transport_ = base_.get();
  }

  host_ = std::make_unique<LoopHost>();
  DiscoveryConfig dc = rig ? *o.devices : DiscoveryConfigFrom(Cat());
  if (offline_ && o.offlineEntry >= 0) dc.defDevIndex = o.offlineEntry;
  mgr_ = std::make_unique<DeviceManager>(*transport_, std::move(dc), *relay_, *host_,
                                         o.discovery.value_or(DiscoveryTimings{}));
  linkCount_ = mgr_->List().Size();
  link_ = std::make_unique<std::atomic<int>[]>(linkCount_);
  for (size_t i = 0; i < linkCount_; ++i) link_[i] = 0;
  devices_ = std::make_unique<DevListSessionDevices>(mgr_->List());
  const std::string dir = rig ? o.userDir : UserDataDir;
  store_ = std::make_unique<ProfileStore>(dir, o.texts ? o.texts : DefaultTexts(), o.pointer);
  library_ = std::make_unique<MacroLibrary>(dir, !rig && opt.MacroDir != 0);
  if (!rig) library_->SetTextSource([](const char* id) { return Tx(id); });

  SessionOptions so;
  if (!rig) {
    so.applyNow = opt.ApplyNow != 0;
    so.goWithNoDev = opt.GoWithNoDev != 0 || offline_;
    so.defaults = ProfileDefaultsFrom(opt);
  }
  if (o.tuneSession) o.tuneSession(so);
  applyNow_ = so.applyNow;
  session_ = std::make_unique<ProfileSession>(*store_, *devices_, library_.get(), sink_, *notifier_,
                                              *host_, so, SessionHooksFor(o));
  mgr_->SetWindowHooks({[] { return g_bInitProOK.load() == 0; },
                        [this](size_t index) {
                          SetLink(int(index), 0);
                          sink_.Post(WM_CURRENT_REMOVED, index, 0);
                        },
                        [this] { OnListChanged(); }});

  started_ = true;
  session_->Start();
  if (o.loadMacros) library_->Load();
  worker_ = std::thread(&Program::WorkerLoop, this);
  StartDiscovery(o);
  return StartResult::Ok;
}

SessionHooks Program::SessionHooksFor(const ProgramOptions& o) {
  SessionHooks h;
  h.windowVisible = o.windowVisible;
  h.showBattery = [this](int power, bool charging) {
    sink_.Post(WM_BATTERY, uintptr_t(std::max(0, devices_->Current().index)),
               BatteryParam(power, charging));
  };
  h.batteryFailed = [this] {
    sink_.Post(WM_BATTERY, uintptr_t(std::max(0, devices_->Current().index)), -1);
  };
  h.readDone = [this](uint64_t read, bool ok) { sink_.Post(WM_READ_DONE, read, ok ? 1 : 0); };
  h.applyDone = [this](int result) { sink_.Post(WM_APPLY_DONE, 0, result); };
  h.connectState = [this](int index) { return LinkState(index); };
  return h;
}

void Program::StartDiscovery(const ProgramOptions& o) {
  if (!offline_) {
    mgr_->Start();
    return;
  }
  // No discovery: the entry gets the offline object right away.
  CDevList& list = mgr_->List();
  const int cur = o.offlineEntry >= 0 ? o.offlineEntry : list.Current();
  if (cur < 0 || size_t(cur) >= list.Size()) return;
  list.SetCurrent(cur);
  const DevCfg* model = list.View(size_t(cur)).pDevCfg;
  if (!model) return;
  auto dev = MakeOfflineDevice(*model, size_t(cur), *relay_);
  list.WithEntry(size_t(cur), [&](DevEntry& e) {
    dev->pEntry = &e;
    e.pDev = dev;
  });
  SetLink(cur, 1);
  sink_.Post(WM_NEW_DEVICE, size_t(cur), 0);
}

// ---- Exit ----------------------------------------------------------------------

int Program::Exit(bool saveMacros) {
  if (!started_ || exited_) {
    if (!exited_) app_.Shutdown();
    exited_ = true;
    return 0;
  }
  exited_ = true;
  LogPrint("OnExit");
  StopWorker();
  const int current = mgr_->List().Current();
  bool currentConnected = false;
  int told = 0;
  for (const DevEntryView& v : mgr_->List().Views()) {
    if (!v.bConnected) continue;
    v.pDev->TellDrvStatus(0);
    ++told;
    if (int(v.nIndex) == current) currentConnected = true;
  }
  if (currentConnected) session_->SaveCurrentStore();
  mgr_->Shutdown();
  session_->Stop();
  if (saveMacros) session_->SaveMacroSnapshot();
  host_->Stop();
  app_.Shutdown();
  return told;
}

// ---- Tickets and the worker ------------------------------------------------------

Ticket Program::NewTicket() {
  std::lock_guard l(ticketMu_);
  const Ticket t = ++nextTicket_;
  tickets_[t] = 0;
  return t;
}

void Program::Complete(Ticket t, bool ok) {
  {
    std::lock_guard l(ticketMu_);
    auto it = tickets_.find(t);
    if (it == tickets_.end() || it->second != 0) return;  // once
    it->second = 3;  // ending: its event goes out before waiters see the end
  }
  sink_.Post(WM_OPERATION_DONE, t, ok ? 1 : 0);
  {
    std::lock_guard l(ticketMu_);
    tickets_[t] = ok ? 1 : 2;
  }
  ticketCv_.notify_all();
}

Ticket Program::Enqueue(std::function<void(Ticket)> run) {
  const Ticket t = NewTicket();
  bool refused = false;
  {
    std::lock_guard l(workMu_);
    if (workStop_ || !started_)
      refused = true;
    else
      jobs_.push_back({t, std::move(run)});
  }
  if (refused)
    Complete(t, false);
  else
    workCv_.notify_one();
  return t;
}

void Program::Post(std::function<void()> task) {
  {
    std::lock_guard l(workMu_);
    if (workStop_) return;
    jobs_.push_back({0, [task = std::move(task)](Ticket) { task(); }});
  }
  workCv_.notify_one();
}

void Program::WorkerLoop() {
  std::unique_lock l(workMu_);
  for (;;) {
    workCv_.wait(l, [&] { return workStop_ || !jobs_.empty(); });
    if (workStop_) break;
    Job job = std::move(jobs_.front());
    jobs_.pop_front();
    l.unlock();
    job.run(job.ticket);
    l.lock();
  }
  // Operations that never ran still end, once.
  std::deque<Job> left;
  left.swap(jobs_);
  l.unlock();
  for (const Job& j : left)
    if (j.ticket) Complete(j.ticket, false);
}

void Program::StopWorker() {
  {
    std::lock_guard l(workMu_);
    workStop_ = true;
  }
  workCv_.notify_all();
  if (worker_.joinable()) worker_.join();
}

bool Program::Wait(Ticket ticket, int timeoutMs) {
  std::unique_lock l(ticketMu_);
  return ticketCv_.wait_for(l, std::chrono::milliseconds(timeoutMs), [&] {
    auto it = tickets_.find(ticket);
    return it == tickets_.end() || it->second == 1 || it->second == 2;
  });
}

std::optional<bool> Program::Result(Ticket ticket) const {
  std::lock_guard l(ticketMu_);
  auto it = tickets_.find(ticket);
  if (it == tickets_.end() || (it->second != 1 && it->second != 2)) return std::nullopt;
  return it->second == 1;
}

// ---- Device events and the connection state ------------------------------------------

int Program::LinkState(int index) const {
  if (index < 0 || size_t(index) >= linkCount_) return 0;
  return link_[size_t(index)].load();
}

void Program::SetLink(int index, int state) {
  if (index >= 0 && size_t(index) < linkCount_) link_[size_t(index)] = state;
}

void Program::RefreshLink(int index) {
  if (index < 0 || size_t(index) >= linkCount_) return;
  std::shared_ptr<CHidDev> dev = mgr_->List().Device(size_t(index));
  if (!dev || !dev->HasCmd()) {
    SetLink(index, 0);
    return;
  }
  if (IsOfflineDevice(dev.get())) return;
  SetLink(index, dev->GetConnectStatus() == 1 ? 1 : 0);
}

void Program::OnListChanged() {
  for (const DevEntryView& v : mgr_->List().Views())
    if (!v.bConnected) SetLink(int(v.nIndex), 0);
  sink_.Post(WM_DEVICE_LIST_CHANGED, 0, 0);
}

void Program::OnDeviceEvent(uint32_t msg, uintptr_t w, intptr_t l) {
  if (msg == WM_NEW_DEVICE) {
    // The probe found it answering as connected.
    SetLink(int(w), 1);
    DeviceManager* mgr = mgr_.get();
    host_->Post([mgr, w] { mgr->OnNewDevice(w); });
  } else if (msg == WM_DEVICE_BEHAVIOR) {
    // A notification is a reply: the mouse is there.
    SetLink(int(w), 1);
    if (followDevice_) Post([this, w, l] { DecodeBehavior(w, l); });
  }
  sink_.Post(msg, w, l);
}

void Program::DecodeBehavior(uintptr_t entry, intptr_t lParam) {
  if (session_->OnDeviceBehavior(entry, lParam)) return;  // kinds 3, 7, others' notifications
  const SessionDevice cur = devices_->Current();
  if (!cur.dev || !cur.cfg) return;
  const int kind = int((lParam >> 8) & 0xFF), value = int(lParam & 0xFF);
  const bool plus = dynamic_cast<CDevProPlus*>(cur.dev.get()) != nullptr;
  BehaviorChange change;
  if (!ReadBehavior(*cur.dev, *cur.cfg, plus, kind, value, &change)) return;
  int level = -1;
  bool applied = false;
  {
    // Only while no read runs: a read would overwrite the change anyway,
    // and the record must not change under it.
    std::lock_guard read(ReadProfileMutex());
    store_->Edit([&](ProfileFile& f) { applied = ApplyBehavior(change, f, &level); });
    if (level >= 0) devices_->SetCurDpiLevel(cur.index, level);
  }
  if (applied) sink_.Post(WM_BEHAVIOR_DECODED, entry, lParam);
}

// ---- Answers ---------------------------------------------------------------------

std::vector<DevEntryView> Program::Devices() const { return mgr_->List().Views(); }
int Program::Current() const { return mgr_->List().Current(); }
SessionDevice Program::CurrentDevice() const { return devices_->Current(); }
const DevCfg* Program::CurrentModel() const { return CurrentDevice().cfg; }
int Program::CurDpiLevel() const { return devices_->CurDpiLevel(Current()); }
std::optional<ProfileFile> Program::Profile() const { return store_->Current(); }
int Program::ProfileIndex() const { return store_->CurrentIndex(); }
bool Program::ReadRunning() const { return g_bInitProOK.load() == 0; }

bool Program::Plus() const {
  const SessionDevice d = CurrentDevice();
  if (d.dev) return dynamic_cast<CDevProPlus*>(d.dev.get()) != nullptr;
  return d.cfg && d.cfg->nFw != 0;
}

int Program::CanChangeSettings(int index) {
  const int r = session_->CanChangeSettings(index);
  // A refusal for a device that was away: look again, off this thread.
  if (r == 0 && !ReadRunning()) {
    const int i = index < 0 ? Current() : index;
    Post([this, i] { RefreshLink(i); });
  }
  return r;
}

std::vector<RecordingNotifier::Entry> Program::TakeMessages() {
  return queue_ ? queue_->Take() : std::vector<RecordingNotifier::Entry>{};
}

// ---- Operations ---------------------------------------------------------------------

Ticket Program::ChooseDevice(int index) {
  return Enqueue([this, index](Ticket t) {
    RefreshLink(index);
    const bool started = session_->ChooseDevice(index, [this, t](bool ok) { Complete(t, ok); });
    if (!started) Complete(t, false);
  });
}

Ticket Program::ReadProfile() {
  return Enqueue([this](Ticket t) {
    const int cur = Current();
    if (cur < 0) return Complete(t, false);
    session_->StartRead(cur, [this, t](bool ok) { Complete(t, ok); });
  });
}

Ticket Program::ReadBattery(int index) {
  return Enqueue([this, index](Ticket t) {
    const int i = index < 0 ? Current() : index;
    if (i == Current()) return Complete(t, session_->GetPower() == 1);  // the window's reading
    std::shared_ptr<CHidDev> dev =
        i >= 0 && size_t(i) < linkCount_ ? mgr_->List().Device(size_t(i)) : nullptr;
    int power = 0, charging = 0;
    const bool ok = dev && dev->HasCmd() && dev->GetPower(power, charging);
    if (ok) LogPrint("GetPower: nPower=0x%x, bCharging=0x%x", unsigned(power), unsigned(charging));
    sink_.Post(WM_BATTERY, uintptr_t(std::max(0, i)),
               ok && power <= 100 ? BatteryParam(power, charging != 0) : -1);
    Complete(t, ok);
  });
}

Ticket Program::SwitchProfile(int profile) {
  return Enqueue([this, profile](Ticket t) {
    const SessionDevice d = CurrentDevice();
    if (profile < 0 || profile > 3 || !d.Connected() || !d.dev->SetCurProfile(profile)) {
      sink_.Post(WM_PROFILE_SWITCHED, t, -1);
      return Complete(t, false);
    }
    sink_.Post(WM_PROFILE_SWITCHED, t, profile);
    // The switched-to profile is read, as after the device's own switch.
    session_->StartRead(d.index, [this, t](bool ok) { Complete(t, ok); });
  });
}

Ticket Program::TellDriverStatus(int status) {
  return Enqueue([this, status](Ticket t) {
    const SessionDevice d = CurrentDevice();
    Complete(t, d.Connected() && d.dev->TellDrvStatus(status) != 0);
  });
}

Ticket Program::RestoreDefaults() {
  return Enqueue([this](Ticket t) { Complete(t, session_->RestoreDefaults()); });
}

Ticket Program::ImportProfile(const std::string& path, bool withProgress) {
  return Enqueue([this, path, withProgress](Ticket t) {
    Complete(t, session_->ImportProfile(path, withProgress));
  });
}

Ticket Program::ExportProfile(const std::string& path) {
  return Enqueue([this, path](Ticket t) { Complete(t, session_->ExportProfile(path)); });
}

Ticket Program::CheckLighting() {
  return Enqueue([this](Ticket t) {
    const SessionDevice d = CurrentDevice();
    int flag = 0;
    bool asked = false;
    if (d.dev) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      asked = d.dev->GetCmd0FFlag(flag) != 0;
    }
    sink_.Post(WM_LIGHTING_CHECKED, t, asked && flag ? 1 : 0);
    Complete(t, asked);
  });
}

void Program::WindowShown() {
  Post([this] { session_->OnWindowShown(); });
}

EditModel Program::CurrentEditModel() const {
  EditModel m;
  m.model = CurrentModel();
  m.plus = Plus();
  m.library = library_.get();
  return m;
}

EditOutcome Program::Edit(const EditFn& fn, bool alwaysApply) {
  EditOutcome out;
  if (!CanChangeSettings()) {
    out.gateRefused = true;
    return out;
  }
  const EditModel m = CurrentEditModel();
  if (!store_->Edit([&](ProfileFile& f) { out.edit = fn(f, m); })) {
    out.edit = EditRefused("no profile to change");
    return out;
  }
  if (!out.edit.ok) return out;
  out.ok = true;
  if (out.edit.curDpiLevel) devices_->SetCurDpiLevel(Current(), *out.edit.curDpiLevel);
  if (applyNow_ || alwaysApply) {
    session_->RequestApplyEx(out.edit.flag, out.edit.item);
    out.requested = true;
  }
  return out;
}

bool Program::Adjust(const EditFn& fn) {
  // A read holds this lock across its exchanges: never wait for it.
  std::unique_lock read(ReadProfileMutex(), std::try_to_lock);
  if (!read.owns_lock() || ReadRunning()) return false;
  const EditModel m = CurrentEditModel();
  bool changed = false;
  store_->Edit([&](ProfileFile& f) { changed = fn(f, m).ok; });
  return changed;
}

void Program::RequestApply(uint32_t flags) { session_->RequestApply(flags); }
void Program::RequestApplyEx(uint32_t flags, uint32_t data) {
  session_->RequestApplyEx(flags, data);
}
void Program::SetProgressWindow(std::shared_ptr<EventSink> w) {
  session_->SetProgressWindow(std::move(w));
}
bool Program::WaitApplyIdle(int timeoutMs) { return session_->WaitApplyIdle(timeoutMs); }
int Program::LastApplyResult() const { return session_->LastApplyResult(); }
bool Program::WaitDevicesSettled(int timeoutMs) { return offline_ || mgr_->WaitSettled(timeoutMs); }

}  // namespace tolvane
