// The process-wide device list: one entry per catalogue model in use, in
// catalogue order, kept for the life of the process, and the table of probe
// slots (pending identifications).
//
// Ownership: an entry holds its device object through a shared pointer.
// Whoever works with a device (a page, the read or apply thread, a probe that
// takes over a model) copies the pointer out under the list lock and keeps
// its copy for as long as it calls the object. ReleaseDev takes the pointer
// out of the entry, stops the service thread and closes the handles; the
// object itself goes when the last copy is dropped, so it is never deleted
// while another thread still calls it (its commands just fail once the
// handles are closed).
//
// Locking: one mutex over the entries, the current entry and the probe slots.
// It is never held while a device command runs or a thread is joined.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "config/dev_cfg.h"
#include "device/hid_dev.h"

namespace tolvane {

struct DevEntry {
  std::shared_ptr<CHidDev> pDev;   // connected device, or null
  const DevCfg* pDevCfg = nullptr; // the catalogue model
  uint32_t dwConnectTick = 0;      // tick count (ms) at connection
  uint16_t wWiredVer = 0;          // bcdDevice of the last wired connection
  uint16_t wWirelessVer = 0;       // bcdDevice of the last wireless connection
  std::shared_ptr<void> pMousePic; // device picture, the window's business
  // The current DPI level lives in one place, the device object
  // (CHidDev::nCurDpiLevel): the pages, the writer and the device's own
  // notifications all use that one.
  size_t nIndex = 0;               // position in the list: WM_NEW_DEVICE wParam
  // Interface paths of pDev, kept here so that scans can compare them
  // without touching the object.
  std::string szCmdPath, szNotifyPath;
};

// A copy of one entry, for readers outside the lock.
struct DevEntryView {
  size_t nIndex = 0;
  const DevCfg* pDevCfg = nullptr;
  std::shared_ptr<CHidDev> pDev;
  bool bConnected = false;  // pDev with an open command interface (offline marker too)
  bool bOffline = false;    // pDev is the offline object of "GoWithNoDev"
  uint32_t dwConnectTick = 0;
  uint16_t wWiredVer = 0, wWirelessVer = 0;
  int nCurDpiLevel = 0;  // pDev's current DPI level; 0 without a device
  std::string szCmdPath, szNotifyPath;
};

constexpr size_t kProbeSlots = 10;

// What a probe is doing, for `list` and for waiting until discovery settles.
enum class ProbeState {
  Identifying,      // asking who the device is
  WaitingForMouse,  // a receiver whose mouse answers "not connected"
};

// A pending identification. The probe thread owns the handles; the slot keeps
// the paths, so that scans do not open an interface that is being probed.
struct ProbeSlot {
  bool bBusy = false;
  std::string szCmdPath;     // PRO: command interface; PRO+: the interface
  std::string szNotifyPath;  // PRO only
  bool bPlus = false;
  uint16_t wPID = 0;
  uint16_t wVersion = 0;
  bool bWireless = false;
  ProbeState state = ProbeState::Identifying;
};

// True when the device object is the offline stand-in (no real interface).
inline bool IsOfflineDevice(const CHidDev* d) { return d && d->HasCmd() && !d->Cmd(); }

class CDevList {
 public:
  // One entry per model, in the order given (the catalogue order of the
  // models in use). The models must outlive the list.
  explicit CDevList(const std::vector<const DevCfg*>& models = {});

  std::mutex& Mutex() const { return mu_; }

  size_t Size() const { return entries_.size(); }  // fixed at construction

  // ---- Locked readers.
  std::shared_ptr<CHidDev> Device(size_t index) const;
  DevEntryView View(size_t index) const;
  std::vector<DevEntryView> Views() const;
  // Entries whose device has an open command interface (offline ones too).
  size_t ConnectedCount() const;
  // The first entry whose model has this identity, or -1.
  int FindByIdentity(uint8_t cid, uint8_t mid) const;

  // The current entry, -1 for none.
  int Current() const;
  void SetCurrent(int index);  // out of range: none

  // Lets the window keep its own fields (picture, DPI level) under the lock.
  template <class F>
  auto WithEntry(size_t index, F&& f) {
    std::lock_guard<std::mutex> lock(mu_);
    return f(*entries_.at(index));
  }

  // ---- For callers that hold Mutex().
  DevEntry& EntryLocked(size_t index) { return *entries_.at(index); }
  const DevEntry& EntryLocked(size_t index) const { return *entries_.at(index); }
  std::array<ProbeSlot, kProbeSlots>& SlotsLocked() { return slots_; }
  const std::array<ProbeSlot, kProbeSlots>& SlotsLocked() const { return slots_; }
  DevEntryView ViewLocked(size_t index) const;

  // ---- Probe slots (locked).
  // Takes a free slot for these paths; -1 when all are busy.
  int TakeSlot(const ProbeSlot& content);
  void FreeSlot(int slot);
  void SetSlotState(int slot, ProbeState state);
  std::vector<ProbeSlot> BusySlots() const;

 private:
  mutable std::mutex mu_;
  std::vector<std::unique_ptr<DevEntry>> entries_;  // stable addresses (pEntry)
  std::array<ProbeSlot, kProbeSlots> slots_{};
  int current_ = -1;
};

}  // namespace tolvane
