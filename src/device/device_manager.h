// Discovery, identification and connection of our devices.
//
// DeviceManager turns HID interfaces into connected device objects: a scan
// pairs the PRO interfaces by echo and opens the PRO+ interfaces, one probe
// thread per candidate asks the device who it is, finds the model in the
// device list, settles a second connection of the same model (cable against
// receiver), creates the device object, starts its service thread and posts
// WM_NEW_DEVICE with the entry's index. Plug events and the FINDDEV timer
// keep the list current.
//
// The GUI and tolvanectl both use it. Scans, plug events and timer ticks run
// on the host thread (DiscoveryHost); probe and pairing threads are owned by
// the manager and joined by Shutdown (pairing threads within their scan).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/event_sink.h"
#include "config/dev_cfg.h"
#include "device/dev_list.h"
#include "device/discovery_host.h"
#include "device/transport.h"

namespace tolvane {

struct Catalogue;

constexpr uint32_t FINDDEV_TIMER_ID = 246;
constexpr int kMaxConnectedDevices = 4;  // one more ends the program (main window)

// What discovery reads from the catalogue.
struct DiscoveryConfig {
  std::vector<uint16_t> vids;          // "VID"
  std::vector<uint16_t> wiredPids;     // "PID"
  std::vector<uint16_t> wirelessPids;  // "PID2"
  uint32_t spotFw = 3;                 // bit 0: PRO scan, bit 1: PRO+ scan
  bool goWithNoDev = false;
  int defDevIndex = 0;                 // current entry at start-up
  std::vector<const DevCfg*> models;   // the models in use, catalogue order

  bool IsOurs(uint32_t vid, uint32_t pid) const;
  bool IsWired(uint32_t pid) const;
  bool IsWireless(uint32_t pid) const;
};

// The catalogue's lists and the models it uses (the catalogue must outlive
// the manager).
DiscoveryConfig DiscoveryConfigFrom(const Catalogue& cat);

// Waits and periods; the defaults are the program's. Tests shorten them.
struct DiscoveryTimings {
  int notifyOpenSleepMs = 50;   // after starting each pairing read
  int echoWaitMs = 100;         // after each echo
  int matchReadMs = 1000;       // pairing read time-out
  int probeReadMs = 200;        // identification read time-out
  int probeShortSleepMs = 200;  // before each of the first attempts
  int probeShortTries = 4;      // attempts with the short sleep
  int probeLongSleepMs = 2000;  // from then on
  int takeoverSleepMs = 15;
  int rescanPeriodMs = 1000;    // FINDDEV timer
  int removalReadWaitMs = 2000; // before releasing a device a profile read uses
};

// Interface name of a plug event -> vendor and product id ("VID_" and "PID_"
// followed by four hex digits, case-insensitive).
bool PathStringToId(const std::string& name, uint16_t* vid, uint16_t* pid);

class DeviceManager {
 public:
  // Everything but the config is borrowed and must outlive the manager.
  DeviceManager(HidTransport& transport, DiscoveryConfig config, EventSink& sink,
                DiscoveryHost& host, const DiscoveryTimings& timings = {});
  ~DeviceManager();  // Shutdown()
  DeviceManager(const DeviceManager&) = delete;
  DeviceManager& operator=(const DeviceManager&) = delete;

  CDevList& List() { return list_; }
  const CDevList& List() const { return list_; }
  const DiscoveryConfig& Config() const { return cfg_; }

  // Hooks of the main window, called on the host thread (all optional).
  struct WindowHooks {
    std::function<bool()> profileReadRunning;         // a profile read uses the device
    std::function<void(size_t index)> currentRemoved; // hide the current-device view
    std::function<void()> listChanged;                // redraw the device list
  };
  void SetWindowHooks(WindowHooks hooks);

  // Start-up on the host thread: plug events on, the first scan, and with
  // "GoWithNoDev" the offline object for the current entry.
  void Start();
  // Stops plug events and the timer, ends and joins every probe, releases
  // every device ("empties the device list"). Not from the host thread.
  void Shutdown();

  // ---- Host-thread work (thread-safe; scans never overlap).
  void Scan();
  void FindOurDevice_PRO(const std::vector<HidIfInfo>& ifs);
  void FindOurDevice_PROPLUS(const std::vector<HidIfInfo>& ifs);
  int OnDeviceChange(const HotplugEvent& ev);  // always 0
  void OnFindDevTimer();
  // Gives the current entry its offline object when it has no device; posts
  // WM_NEW_DEVICE for it. False when nothing was done.
  bool GiveOfflineDevice();

  // The window's answer to WM_NEW_DEVICE: logs the device, stops the FINDDEV
  // timer. Returns false when more than kMaxConnectedDevices entries have a
  // device (the window then shows its message and exits).
  bool OnNewDevice(uintptr_t wParam);

  // Stops and drops the entry's device object (see dev_list.h for ownership).
  void ReleaseDev(size_t index);
  void ReleaseAll();

  // ---- State for the CLI and tests.
  bool FindDevTimerRunning() const;
  int RescanCounter() const;
  int ScanCount() const { return scans_.load(); }
  // True when no scan runs and every busy probe is waiting for its mouse.
  bool Settled() const;
  // Blocks until Settled() (true) or the time-out (false).
  bool WaitSettled(int timeoutMs) const;
  // Interfaces of our mice (paths) that discovery could not talk to because
  // another process held the device's lock past kDeviceLockWaitMs; a path
  // leaves the list once discovery gets its lock again.
  std::vector<std::string> BusyNodes() const;

 private:
  struct Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };
  struct Probe;  // one identification
  // Host tasks and timer ticks of a manager that has shut down do nothing;
  // Shutdown waits for the one that runs.
  struct Guard {
    std::mutex mu;
    bool alive = true;
  };
  void PostToHost(std::function<void(DeviceManager&)> fn);
  bool Stopping() const;
  bool SettledLocked() const;
  void StartWorker(std::function<void()> fn);
  void ReapWorkers();
  // Takes a probe slot for the probe's interfaces and starts its thread;
  // `finder` names the scan in the log.
  void StartProbe(std::shared_ptr<Probe> probe, const char* finder);
  void ProbeThread(std::shared_ptr<Probe> probe);
  bool Connect(Probe& p);
  bool SleepUnlessStopping(int ms);
  void SignalState();
  bool PathInUseLocked(const std::string& path, bool notify) const;
  // A connection that lost a takeover is not probed again while it stays
  // plugged in; otherwise every rescan would hand the model back and forth
  // between cable and receiver.
  void RememberLoser(const std::string& path, HidRole role, size_t entry);
  void ForgetGoneLosers(const std::vector<HidIfInfo>* present);
  bool ForgetLosersOf(size_t entry);  // true when there were any
  // Takes the device's lock for discovery's own exchanges on `h`; notes the
  // path as busy when another process keeps it.
  bool LockForProbe(HidHandle& h, const std::string& path);

  HidTransport& transport_;
  const DiscoveryConfig cfg_;
  EventSink& sink_;
  DiscoveryHost& host_;
  const DiscoveryTimings t_;
  CDevList list_;

  std::mutex hooksMu_;
  WindowHooks hooks_;

  std::mutex scanMu_;        // one scan at a time
  std::mutex connectMu_;     // one probe at a time through takeover and connection
  std::atomic<uint64_t> removals_{0};  // removal events handled
  uint64_t scanRemovals_ = 0;          // removals_ when the running scan enumerated
  mutable std::mutex uiMu_;  // rescan counter and timer state
  int counter_ = 0;
  bool timerRunning_ = false;

  std::mutex workersMu_;
  std::list<Worker> workers_;

  // Stop flag and the wake-up of sleeping probes; also signalled whenever
  // the settled state may have changed.
  mutable std::mutex stateMu_;
  mutable std::condition_variable stateCv_;
  bool stopping_ = false;
  std::atomic<int> scanning_{0};
  std::atomic<int> scans_{0};
  std::atomic<bool> hotplugOn_{false};
  std::shared_ptr<Guard> guard_;
  struct Loser {
    HidRole role;
    size_t entry;
  };
  std::map<std::string, Loser> losers_;  // under list_.Mutex()
  std::set<std::string> busy_;           // under list_.Mutex()
};

}  // namespace tolvane
