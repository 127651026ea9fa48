#include "sim/sim_mouse.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>
#include <deque>
#include <random>

#include "app/log.h"
#include "platform/hid_descriptor.h"

namespace tolvane::sim {

uint8_t ReportChecksum(const Report& r) {
  uint8_t sum = 0;
  for (size_t i = 0; i + 1 < r.size(); ++i) sum = uint8_t(sum + r[i]);
  return uint8_t(0x55 - sum);
}

struct VirtualMouse::Reader {
  std::deque<std::pair<Clock::time_point, Report>> queue;  // ordered by due time
  bool cancelled = false;
};

VirtualMouse::VirtualMouse(const MouseState& state, MouseOptions opt)
    : family_(state.family),
      link_(state.link),
      vid_(state.vid),
      pid_(state.pid),
      state_(state),
      fw_(state_),
      opt_(std::move(opt)) {}

VirtualMouse::~VirtualMouse() {
  if (lockFd_ >= 0) ::close(lockFd_);
}

std::vector<UsbInterface> VirtualMouse::UsbInterfaces() const {
  return UsbInterfacesOf(family_, opt_.mouseCollection);
}

// What a host learns from the descriptors: one record per top-level collection.
std::vector<HidIfInfo> VirtualMouse::Interfaces() const {
  std::lock_guard lk(mu_);
  std::vector<HidIfInfo> out;
  for (const UsbInterface& u : UsbInterfacesOf(family_, opt_.mouseCollection)) {
    const platform::HidDescriptor d = platform::ParseReportDescriptor(u.descriptor);
    for (const platform::HidCollection& c : d.collections) {
      HidIfInfo i;
      i.szPath = base_ + "/" + u.name;
      i.nInputLen = c.InputLen();
      i.nOutputLen = c.OutputLen();
      i.nFeatureLen = c.FeatureLen();
      i.nUsagePage = c.usagePage;
      i.nUsage = c.usage;
      i.nVID = vid_;
      i.nPID = pid_;
      i.nVersion = state_.version;
      out.push_back(i);
    }
  }
  return out;
}

bool VirtualMouse::Connected() const {
  std::lock_guard lk(mu_);
  return connected_;
}

std::string VirtualMouse::Base() const {
  std::lock_guard lk(mu_);
  return base_;
}

// ---------------------------------------------------------------- delivery

void VirtualMouse::DeliverReportLocked(const Report& r, Clock::time_point due) {
  if (!connected_) return;
  for (auto& rd : readers_) {
    auto it = std::upper_bound(rd->queue.begin(), rd->queue.end(), due,
                               [](Clock::time_point t, const auto& e) { return t < e.first; });
    rd->queue.insert(it, {due, r});
  }
  cv_.notify_all();
}

void VirtualMouse::DeliverLocked(const Payload& p, Clock::time_point due) {
  Report r{};
  r[0] = kInputReportId;
  std::copy(p.begin(), p.end(), r.begin() + 1);
  r[16] = ReportChecksum(r);
  DeliverReportLocked(r, due);
}

void VirtualMouse::NotifyLocked(const std::optional<Payload>& p) {
  if (fw_.TakeEepromChanged()) PersistLocked();
  if (p) DeliverLocked(*p, Clock::now() + std::chrono::milliseconds(opt_.latencyMs));
}

void VirtualMouse::PersistLocked() {
  if (opt_.eepromPath.empty()) return;
  std::string err;
  if (!SaveEepromFile(opt_.eepromPath, state_.eeprom, &err)) {
    lastError_ = err;
    LogPrint("VirtualMouse: %s", err.c_str());
  }
}

void VirtualMouse::CountReportLocked(bool* vanish) {
  if (unplugAfter_ < 0) return;
  if (unplugAfter_ == 0) {
    unplugAfter_ = -1;
    *vanish = true;
  } else {
    --unplugAfter_;
  }
}

void VirtualMouse::GoneLocked() {
  connected_ = false;
  readers_.clear();
  cv_.notify_all();
}

void VirtualMouse::FinishVanish() {
  std::function<void()> gone;
  {
    std::lock_guard lk(mu_);
    gone = onGone_;
  }
  if (gone) gone();
}

// ---------------------------------------------------------------- host side

void VirtualMouse::Attach(std::string base, ReportTraceFn trace, std::function<void()> onGone) {
  std::lock_guard lk(mu_);
  base_ = std::move(base);
  trace_ = std::move(trace);
  onGone_ = std::move(onGone);
  connected_ = true;
  ++generation_;
  cv_.notify_all();  // readers of the last connection end
  readers_.clear();
  wakeAt_ = Clock::now() + std::chrono::milliseconds(std::max(0, opt_.wakeAfterMs));
}

void VirtualMouse::Detach() {
  std::lock_guard lk(mu_);
  onGone_ = nullptr;
  GoneLocked();
}

void VirtualMouse::SetTrace(ReportTraceFn trace) {
  std::lock_guard lk(mu_);
  trace_ = std::move(trace);
}

std::shared_ptr<VirtualMouse::Reader> VirtualMouse::OpenReader(uint64_t* generation) {
  std::lock_guard lk(mu_);
  auto r = std::make_shared<Reader>();
  readers_.push_back(r);
  *generation = generation_;
  return r;
}

void VirtualMouse::CloseReader(const std::shared_ptr<Reader>& r) {
  std::lock_guard lk(mu_);
  readers_.remove(r);
}

uint64_t VirtualMouse::Generation() const {
  std::lock_guard lk(mu_);
  return generation_;
}

bool VirtualMouse::OpenDenied() const {
  std::lock_guard lk(mu_);
  return denyOpen_;
}

HidStatus VirtualMouse::Command(const Report& report, bool viaFeature, uint64_t gen,
                                int timeoutMs) {
  ReportTraceFn trace;
  {
    std::lock_guard lk(mu_);
    trace = trace_;
  }
  if (trace) trace(TraceDir::ToDevice, report);

  std::unique_lock lk(mu_);
  if (!connected_ || gen != generation_) return HidStatus::NotConnected;
  bool vanish = false;
  CountReportLocked(&vanish);
  if (vanish) {
    GoneLocked();
    lk.unlock();
    FinishVanish();
    return HidStatus::NotConnected;
  }
  // The PRO command collection has only its feature report, the PRO+
  // collection only its output report.
  if (viaFeature != (family_ == Family::Pro)) return HidStatus::Failed;
  if (rejectN_ > 0) {
    --rejectN_;
    return HidStatus::Failed;
  }
  if (!viaFeature && stallN_ > 0) {
    --stallN_;
    uint64_t g = generation_;
    cv_.wait_for(lk, std::chrono::milliseconds(std::max(0, timeoutMs)),
                 [&] { return !connected_ || generation_ != g; });
    return connected_ && generation_ == g ? HidStatus::Timeout : HidStatus::NotConnected;
  }
  if (report[0] != kCommandReportId) return HidStatus::Failed;

  ++commands_;
  // Another process may have changed a shared image since the last command.
  if (!opt_.eepromPath.empty()) LoadEepromFile(opt_.eepromPath, state_.eeprom, nullptr);
  auto now = Clock::now();
  if (state_.asleep && opt_.wakeAfterMs >= 0 && now >= wakeAt_) state_.asleep = false;

  Payload req;
  std::copy(report.begin() + 1, report.begin() + 16, req.begin());
  std::vector<Payload> out = fw_.HandleCommand(req);
  if (fw_.TakeEepromChanged()) PersistLocked();

  auto due = now + std::chrono::milliseconds(opt_.latencyMs);
  for (size_t i = 0; i < out.size(); ++i) {
    Payload p = out[i];
    if (i == 0) {  // the reply proper; notifications after it are not faulted
      if (drop_ > 0) {
        --drop_;
        continue;
      }
      CountReportLocked(&vanish);
      if (vanish) break;
      if (foreignN_ > 0) {
        --foreignN_;
        Payload f{};
        f[0] = p[0] == 0x03 ? 0x04 : 0x03;
        f[5] = 1;
        DeliverLocked(f, due);
      }
      if (wrongN_ > 0) {
        --wrongN_;
        p[0] = wrongId_;
      }
      if (failN_ > 0) {
        --failN_;
        p[1] = failStatus_;
      }
      if (delayN_ > 0) {
        --delayN_;
        DeliverLocked(p, due + std::chrono::milliseconds(delayMs_));
        continue;
      }
    }
    DeliverLocked(p, due);
  }
  if (vanish) {
    GoneLocked();
    lk.unlock();
    FinishVanish();
  }
  return HidStatus::Ok;
}

HidStatus VirtualMouse::Read(const std::shared_ptr<Reader>& r, uint64_t gen, Report& out,
                             int timeoutMs) {
  std::unique_lock lk(mu_);
  const bool bounded = timeoutMs >= 0;  // negative: until a report, a cancel or the end
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(0, timeoutMs));
  for (;;) {
    if (!connected_ || gen != generation_) return HidStatus::NotConnected;
    if (r->cancelled) {
      r->cancelled = false;
      return HidStatus::Cancelled;
    }
    auto now = Clock::now();
    if (!r->queue.empty() && r->queue.front().first <= now) {
      out = r->queue.front().second;
      r->queue.pop_front();
      ReportTraceFn trace = trace_;
      lk.unlock();
      if (trace) trace(TraceDir::FromDevice, out);
      return HidStatus::Ok;
    }
    if (bounded && now >= deadline) return HidStatus::Timeout;
    if (!bounded && r->queue.empty()) {
      cv_.wait(lk);
      continue;
    }
    auto wake = bounded ? deadline : r->queue.front().first;
    if (!r->queue.empty()) wake = std::min(wake, r->queue.front().first);
    cv_.wait_until(lk, wake);
  }
}

void VirtualMouse::Cancel(const std::shared_ptr<Reader>& r) {
  std::lock_guard lk(mu_);
  r->cancelled = true;
  cv_.notify_all();
}

// ---------------------------------------------------------------- actions

void VirtualMouse::PressDpiButton() {
  std::lock_guard lk(mu_);
  NotifyLocked(fw_.PressDpiButton());
}

void VirtualMouse::CycleRate() {
  std::lock_guard lk(mu_);
  NotifyLocked(fw_.CycleRate());
}

void VirtualMouse::Reset() {
  std::lock_guard lk(mu_);
  NotifyLocked(fw_.ResetSettings());
}

void VirtualMouse::ChangeLight(LightKind kind) {
  std::lock_guard lk(mu_);
  NotifyLocked(fw_.ChangeLight(kind));
}

void VirtualMouse::SetBattery(uint8_t level, bool charging) {
  std::lock_guard lk(mu_);
  NotifyLocked(fw_.SetBattery(level, charging));
}

void VirtualMouse::RaiseNotification(uint8_t flags) {
  std::lock_guard lk(mu_);
  NotifyLocked(fw_.Notification(flags));
}

void VirtualMouse::LockLighting(bool locked) {
  std::lock_guard lk(mu_);
  state_.cmd0F = locked ? 0 : 1;
}

void VirtualMouse::SetAsleep(bool asleep) {
  std::lock_guard lk(mu_);
  if (link_ == Link::Wireless) state_.asleep = asleep;
}

void VirtualMouse::InjectInput(const Report& report) {
  std::lock_guard lk(mu_);
  DeliverReportLocked(report, Clock::now());
}

void VirtualMouse::SendGarbage(int count, uint32_t seed) {
  std::mt19937 rng(seed);
  std::lock_guard lk(mu_);
  for (int i = 0; i < count; ++i) {
    Report r;
    for (auto& b : r) b = uint8_t(rng());
    // Payload byte 0 stays outside the command and notification ids, so a
    // garbage report can never pass as a reply.
    uint8_t id = uint8_t(rng() % 0xF0);
    r[1] = id == 0 ? 0 : uint8_t(id + 0x10);
    DeliverReportLocked(r, Clock::now());
  }
}

// ---------------------------------------------------------------- faults

void VirtualMouse::SetLatency(int ms) {
  std::lock_guard lk(mu_);
  opt_.latencyMs = std::max(0, ms);
}
void VirtualMouse::DropReplies(int n) {
  std::lock_guard lk(mu_);
  drop_ = n;
}
void VirtualMouse::DelayReplies(int n, int ms) {
  std::lock_guard lk(mu_);
  delayN_ = n;
  delayMs_ = ms;
}
void VirtualMouse::WrongIdReplies(int n, uint8_t id) {
  std::lock_guard lk(mu_);
  wrongN_ = n;
  wrongId_ = id;
}
void VirtualMouse::FailReplies(int n, uint8_t status) {
  std::lock_guard lk(mu_);
  failN_ = n;
  failStatus_ = status ? status : 1;
}
void VirtualMouse::ForeignReplies(int n) {
  std::lock_guard lk(mu_);
  foreignN_ = n;
}
void VirtualMouse::RejectSends(int n) {
  std::lock_guard lk(mu_);
  rejectN_ = n;
}
void VirtualMouse::StallWrites(int n) {
  std::lock_guard lk(mu_);
  stallN_ = n;
}
void VirtualMouse::UnplugAfterReports(int n) {
  std::lock_guard lk(mu_);
  unplugAfter_ = n < 0 ? -1 : n;
}
void VirtualMouse::DenyOpen(bool deny) {
  std::lock_guard lk(mu_);
  denyOpen_ = deny;
}

// ---------------------------------------------------------------- state

MouseState VirtualMouse::Snapshot() const {
  std::lock_guard lk(mu_);
  return state_;
}

Eeprom VirtualMouse::EepromCopy() const {
  std::lock_guard lk(mu_);
  return state_.eeprom;
}

bool VirtualMouse::LockExchange(int timeoutMs) {
  std::lock_guard lk(lockMu_);
  if (opt_.eepromPath.empty()) return true;
  if (lockHolds_ > 0) {
    ++lockHolds_;
    return true;
  }
  if (lockFd_ < 0) {
    lockFd_ = ::open((opt_.eepromPath + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lockFd_ < 0) {
      LogPrint("VirtualMouse: cannot open %s.lock, err=%d", opt_.eepromPath.c_str(), errno);
      return false;
    }
  }
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (::flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) return false;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  lockHolds_ = 1;
  return true;
}

void VirtualMouse::UnlockExchange() {
  std::lock_guard lk(lockMu_);
  if (lockHolds_ == 0) return;
  if (--lockHolds_ == 0) ::flock(lockFd_, LOCK_UN);
}

void VirtualMouse::PokeEeprom(uint16_t addr, const std::vector<uint8_t>& bytes) {
  std::lock_guard lk(mu_);
  for (size_t i = 0; i < bytes.size() && addr + i < kEepromSize; ++i)
    state_.eeprom[addr + i] = bytes[i];
  PersistLocked();
}

int VirtualMouse::CommandsHandled() const {
  std::lock_guard lk(mu_);
  return commands_;
}

std::string VirtualMouse::LastError() const {
  std::lock_guard lk(mu_);
  return lastError_;
}

}  // namespace tolvane::sim
