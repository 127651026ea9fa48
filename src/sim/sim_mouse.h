// One virtual mouse (or receiver with its mouse): firmware, state and the USB
// endpoints the host reaches it through.
//
// Every member is safe to call from any thread. Commands are handled at once
// under the mouse's lock; replies and notifications become input reports that
// every open reading handle receives (each handle has its own queue, as each
// open hidraw file has), visible after the reply latency.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/report_trace.h"
#include "device/transport.h"
#include "sim/sim_descriptor.h"
#include "sim/sim_firmware.h"
#include "sim/sim_state.h"

namespace tolvane::sim {

// Report id of the input reports the firmware sends (both families).
constexpr uint8_t kInputReportId = 9;
constexpr uint8_t kCommandReportId = 8;

// Byte 16 that makes all 17 bytes sum to 0x55.
uint8_t ReportChecksum(const Report& r);

struct MouseOptions {
  int latencyMs = 0;         // reply latency
  int wakeAfterMs = -1;      // an asleep wireless mouse wakes this long after plug-in; -1 never
  std::string eepromPath;    // raw image written back after every EEPROM change; empty: none
  bool mouseCollection = true;  // also list the system-owned pointer collection
};

class VirtualMouse : public std::enable_shared_from_this<VirtualMouse> {
 public:
  VirtualMouse(const MouseState& state, MouseOptions opt);
  ~VirtualMouse();
  VirtualMouse(const VirtualMouse&) = delete;
  VirtualMouse& operator=(const VirtualMouse&) = delete;

  // --- identity and interfaces ---
  Family family() const { return family_; }
  Link link() const { return link_; }
  uint16_t vid() const { return vid_; }
  uint16_t pid() const { return pid_; }
  // The USB interfaces with their report descriptors.
  std::vector<UsbInterface> UsbInterfaces() const;
  // The interface records a host enumerates from those descriptors (paths
  // under the plug-in base).
  std::vector<HidIfInfo> Interfaces() const;
  bool Connected() const;
  std::string Base() const;

  // --- the mouse's own actions (notifications as the Parts describe) ---
  void PressDpiButton();
  void CycleRate();
  void Reset();
  void ChangeLight(LightKind kind);
  void SetBattery(uint8_t level, bool charging);
  void RaiseNotification(uint8_t flags);  // any flag set, current values
  void SetAsleep(bool asleep);            // wireless: mouse off/on behind the receiver
  void InjectInput(const Report& report); // one raw input report, no latency
  void SendGarbage(int count, uint32_t seed);  // reports no command id can match

  // --- fault injection (each counts down per reply or command) ---
  void SetLatency(int ms);
  void DropReplies(int n);                   // the next n replies never arrive
  void DelayReplies(int n, int ms);          // the next n replies arrive ms late
  void WrongIdReplies(int n, uint8_t id);    // the next n replies carry command id `id`
  void FailReplies(int n, uint8_t status);   // the next n replies carry a failing status
  void ForeignReplies(int n);                // a reply for another command precedes the next n
  void RejectSends(int n);                   // the next n command reports are refused (EPIPE)
  void StallWrites(int n);                   // PRO+: the next n writes stay pending
  void UnplugAfterReports(int n);            // handle n more reports (in + out), then vanish
  void DenyOpen(bool deny);                  // Open fails with EACCES
  void LockLighting(bool locked);            // command 0x0F answers "lighting locked"

  // --- state access ---
  MouseState Snapshot() const;
  Eeprom EepromCopy() const;
  void PokeEeprom(uint16_t addr, const std::vector<uint8_t>& bytes);  // no notification
  int CommandsHandled() const;
  std::string LastError() const;  // last EEPROM file error, empty if none

  // --- used by SimTransport and its handles ---
  struct Reader;
  void Attach(std::string base, ReportTraceFn trace, std::function<void()> onGone);
  void Detach();  // unplugged by the host side: handles see NotConnected
  void SetTrace(ReportTraceFn trace);
  std::shared_ptr<Reader> OpenReader(uint64_t* generation);
  void CloseReader(const std::shared_ptr<Reader>& r);
  uint64_t Generation() const;
  bool OpenDenied() const;
  HidStatus Command(const Report& report, bool viaFeature, uint64_t gen, int timeoutMs);
  HidStatus Read(const std::shared_ptr<Reader>& r, uint64_t gen, Report& out, int timeoutMs);
  void Cancel(const std::shared_ptr<Reader>& r);
  // The exchange lock of a mouse whose EEPROM image is a file: an advisory
  // lock (flock) on the image's lock file, image path + ".lock", which
  // processes sharing the image honour. While it is held, every command sees
  // the image as the file holds it. Nested holds count. Without an image
  // file there is nothing to share and Lock always succeeds.
  bool LockExchange(int timeoutMs);
  void UnlockExchange();

 private:
  using Clock = std::chrono::steady_clock;
  void DeliverLocked(const Payload& p, Clock::time_point due);
  void DeliverReportLocked(const Report& r, Clock::time_point due);
  void NotifyLocked(const std::optional<Payload>& p);
  void PersistLocked();
  void CountReportLocked(bool* vanish);
  void GoneLocked();
  void FinishVanish();

  const Family family_;
  const Link link_;
  const uint16_t vid_, pid_;

  mutable std::mutex mu_;
  std::condition_variable cv_;  // wakes readers and stalled writers
  MouseState state_;
  Firmware fw_;
  MouseOptions opt_;
  std::string base_;
  bool connected_ = false;
  uint64_t generation_ = 0;
  Clock::time_point wakeAt_{};
  ReportTraceFn trace_;
  std::function<void()> onGone_;
  std::list<std::shared_ptr<Reader>> readers_;
  std::string lastError_;
  int commands_ = 0;

  std::mutex lockMu_;  // guards lockFd_ and lockHolds_; never taken inside mu_
  int lockFd_ = -1;
  int lockHolds_ = 0;

  int drop_ = 0, delayN_ = 0, delayMs_ = 0, wrongN_ = 0, failN_ = 0, foreignN_ = 0,
      rejectN_ = 0, stallN_ = 0, unplugAfter_ = -1;
  uint8_t wrongId_ = 0, failStatus_ = 1;
  bool denyOpen_ = false;
};

}  // namespace tolvane::sim
