#include "sim/sim_transport.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <deque>

namespace tolvane::sim {

struct SimTransport::Core {
  std::mutex mu;
  std::condition_variable cv;
  std::vector<std::shared_ptr<VirtualMouse>> mice;
  std::vector<std::pair<HidIfInfo, int>> foreign;
  std::deque<HotplugEvent> events;
  std::function<void(const HotplugEvent&)> listener;
  bool listening = false;
  bool stop = false;
  uint64_t nextId = 1;
  ReportTraceFn trace;

  void QueueLocked(bool arrival, const VirtualMouse& m) {
    if (listening) {
      events.push_back({arrival, EventName(m)});
      cv.notify_all();
    }
  }
  void Remove(const std::shared_ptr<VirtualMouse>& m) {
    std::lock_guard lk(mu);
    auto it = std::find(mice.begin(), mice.end(), m);
    if (it == mice.end()) return;
    mice.erase(it);
    QueueLocked(false, *m);
  }
};

namespace {

class SimHandle : public HidHandle {
 public:
  SimHandle(std::shared_ptr<VirtualMouse> m, HidRole role) : m_(std::move(m)), role_(role) {
    if (role_ == HidRole::ProCommand)
      gen_ = m_->Generation();
    else
      reader_ = m_->OpenReader(&gen_);
  }
  ~SimHandle() override {
    if (reader_) m_->CloseReader(reader_);
  }

  HidStatus SendFeature(const Report& report) override {
    if (role_ != HidRole::ProCommand) return Fail(HidStatus::Failed, EBADF);
    return Note(m_->Command(report, true, gen_, 0));
  }
  HidStatus Write(const Report& report, int timeoutMs) override {
    if (role_ != HidRole::ProPlus) return Fail(HidStatus::Failed, EBADF);
    return Note(m_->Command(report, false, gen_, timeoutMs));
  }
  HidStatus Read(Report& report, int timeoutMs) override {
    if (!reader_) return Fail(HidStatus::Failed, EBADF);
    return Note(m_->Read(reader_, gen_, report, timeoutMs));
  }
  bool Lock(int timeoutMs) override {
    if (m_->LockExchange(timeoutMs)) return true;
    Fail(HidStatus::Failed, EBUSY);
    return false;
  }
  void Unlock() override { m_->UnlockExchange(); }
  void CancelRead() override {
    if (reader_) m_->Cancel(reader_);
  }
  int LastError() const override { return err_.load(); }

 private:
  HidStatus Fail(HidStatus s, int e) {
    err_ = e;
    return s;
  }
  HidStatus Note(HidStatus s) {
    switch (s) {
      case HidStatus::NotConnected: err_ = ENODEV; break;
      case HidStatus::Failed: err_ = EPIPE; break;
      case HidStatus::Timeout: err_ = ETIMEDOUT; break;
      default: break;
    }
    return s;
  }

  std::shared_ptr<VirtualMouse> m_;
  HidRole role_;
  uint64_t gen_ = 0;
  std::shared_ptr<VirtualMouse::Reader> reader_;
  std::atomic<int> err_{0};
};

}  // namespace

SimTransport::SimTransport() : core_(std::make_shared<Core>()) {}

SimTransport::~SimTransport() {
  SimTransport::StopHotplug();
  std::vector<std::shared_ptr<VirtualMouse>> mice;
  {
    std::lock_guard lk(core_->mu);
    mice.swap(core_->mice);
  }
  for (auto& m : mice) m->Detach();
}

std::string SimTransport::EventName(const VirtualMouse& m) {
  char ids[40];
  std::snprintf(ids, sizeof ids, "VID_%04X&PID_%04X", m.vid(), m.pid());
  return "sim#" + std::string(ids) + "#" + m.Base();
}

void SimTransport::Plug(const std::shared_ptr<VirtualMouse>& mouse) {
  if (!mouse) return;
  std::lock_guard lk(core_->mu);
  if (std::find(core_->mice.begin(), core_->mice.end(), mouse) != core_->mice.end()) return;
  std::weak_ptr<Core> weakCore = core_;
  std::weak_ptr<VirtualMouse> weakMouse = mouse;
  mouse->Attach("sim/" + std::to_string(core_->nextId++), core_->trace, [weakCore, weakMouse] {
    auto c = weakCore.lock();
    auto m = weakMouse.lock();
    if (c && m) c->Remove(m);
  });
  core_->mice.push_back(mouse);
  core_->QueueLocked(true, *mouse);
}

void SimTransport::Unplug(const std::shared_ptr<VirtualMouse>& mouse) {
  if (!mouse) return;
  mouse->Detach();
  core_->Remove(mouse);
}

std::vector<std::shared_ptr<VirtualMouse>> SimTransport::Mice() const {
  std::lock_guard lk(core_->mu);
  return core_->mice;
}

void SimTransport::AddForeign(const HidIfInfo& info, int openErr) {
  std::lock_guard lk(core_->mu);
  core_->foreign.emplace_back(info, openErr);
}

void SimTransport::SetTrace(ReportTraceFn fn) {
  std::lock_guard lk(core_->mu);
  core_->trace = fn;
  for (auto& m : core_->mice) m->SetTrace(fn);
}

std::vector<HidIfInfo> SimTransport::Enumerate() {
  std::vector<std::shared_ptr<VirtualMouse>> mice;
  std::vector<HidIfInfo> out;
  {
    std::lock_guard lk(core_->mu);
    mice = core_->mice;
    for (auto& f : core_->foreign) out.push_back(f.first);
  }
  for (auto& m : mice) {
    if (!m->Connected()) continue;
    auto ifs = m->Interfaces();
    out.insert(out.end(), ifs.begin(), ifs.end());
  }
  return out;
}

std::unique_ptr<HidHandle> SimTransport::Open(const std::string& path, HidRole role, int* err) {
  auto fail = [&](int e) -> std::unique_ptr<HidHandle> {
    if (err) *err = e;
    return nullptr;
  };
  std::vector<std::shared_ptr<VirtualMouse>> mice;
  {
    std::lock_guard lk(core_->mu);
    for (auto& f : core_->foreign)
      if (f.first.szPath == path) return fail(f.second);
    mice = core_->mice;
  }
  for (auto& m : mice) {
    std::string base = m->Base();
    if (path.size() <= base.size() || path.compare(0, base.size(), base) != 0 ||
        path[base.size()] != '/')
      continue;
    if (!m->Connected()) return fail(ENODEV);
    std::string name = path.substr(base.size() + 1);
    if (name == "mouse") return fail(EACCES);  // the system owns the pointer collection
    bool fits = (name == "notify" && role == HidRole::ProNotify && m->family() == Family::Pro) ||
                (name == "cmd" && role == HidRole::ProCommand && m->family() == Family::Pro) ||
                (name == "dev" && role == HidRole::ProPlus && m->family() == Family::ProPlus);
    if (!fits) return fail(name == "notify" || name == "cmd" || name == "dev" ? EINVAL : ENOENT);
    if (m->OpenDenied()) return fail(EACCES);
    if (err) *err = 0;
    return std::make_unique<SimHandle>(m, role);
  }
  return fail(ENOENT);
}

bool SimTransport::StartHotplug(std::function<void(const HotplugEvent&)> fn) {
  if (hotplug_.joinable() && hotplug_.get_id() == std::this_thread::get_id()) return false;
  StopHotplug();
  {
    std::lock_guard lk(core_->mu);
    core_->listener = std::move(fn);
    core_->listening = true;
    core_->stop = false;
    core_->events.clear();
  }
  hotplug_ = std::thread([c = core_] {
    std::unique_lock lk(c->mu);
    for (;;) {
      c->cv.wait(lk, [&] { return c->stop || !c->events.empty(); });
      if (c->stop) return;
      HotplugEvent ev = c->events.front();
      c->events.pop_front();
      auto fn = c->listener;
      lk.unlock();
      if (fn) fn(ev);
      lk.lock();
    }
  });
  return true;
}

void SimTransport::StopHotplug() {
  {
    std::lock_guard lk(core_->mu);
    core_->stop = true;
    core_->listening = false;
    core_->cv.notify_all();
  }
  // From the listener itself the thread cannot be joined here; it has been
  // told to stop and the next call or the destructor joins it.
  if (hotplug_.joinable() && hotplug_.get_id() == std::this_thread::get_id()) return;
  if (hotplug_.joinable()) hotplug_.join();
  std::lock_guard lk(core_->mu);
  core_->listener = nullptr;
  core_->events.clear();
}

}  // namespace tolvane::sim
