// The background read and apply work and its hand-shakes with the window,
// shared by the GUI and tolvanectl.
//
// The apply thread lives from Start to Stop and writes the current profile
// to the current device whenever a request comes (RequestApply,
// RequestApplyEx); only the latest request's flags and item exist, each
// request is one write. A profile read (ReadCurCfgThread) runs on a thread of
// its own per read, holds the process-wide read lock for the whole read,
// adopts the result only on success, saves the store and posts WM_SYNC_OK.
// The gate CanChangeSettings refuses changes while a read runs or while the
// device is away. Device notifications of kind 3 (profile reset) start a new
// read unless they echo the program's own restore-defaults; kind 7 reads the
// battery; a 30-second timer polls the battery of PRO devices.
//
// Threads: requests, the gate, notifications and the restore run on the
// thread that calls them (Program's worker; tests call them directly);
// timers run on the host thread; reads and writes on their own threads.
// Windows are reached only through the event sink, the notifier and the
// hooks. Every read has its own ticket, created before the read starts.
#pragma once

#include <deque>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "app/event_sink.h"
#include "config/dev_cfg.h"
#include "profile/profile_store.h"

namespace tolvane {

class CHidDev;
class DiscoveryHost;
class MacroLibrary;
class Notifier;

// 1 while no profile read runs, 0 during one.
extern std::atomic<int> g_bInitProOK;
// The process-wide read lock, held by a read for its whole length.
std::mutex& ReadProfileMutex();

constexpr uint32_t kBatteryTimerId = 242;
constexpr uint32_t kWaitAnimationTimerId = 0x1120;
constexpr uint32_t kApplyWithProgress = 0x8000;
constexpr uint32_t kRestoreFlags = 0x108;    // pointer settings, then the closing command
constexpr uint32_t WM_CLOSE_WINDOW = 0x0010;  // to the progress window
constexpr const char* kProgressTitle = "MyProgressDlg..";
constexpr const char* kUpdateFailed = "   Update settings failed!      ";
constexpr int kMaxPendingRequests = 100;

// The main window's current device entry, as the session sees it.
struct SessionDevice {
  int index = -1;                 // device-list position; -1 for none
  std::shared_ptr<CHidDev> dev;   // the device object, or null
  const DevCfg* cfg = nullptr;    // its catalogue model
  bool Connected() const;         // an object with a command interface (offline ones too)
};

// Access to the device list (the main window's, or a test's).
class SessionDevices {
 public:
  virtual ~SessionDevices() = default;
  virtual SessionDevice Current() const = 0;
  virtual SessionDevice At(int index) const = 0;
  virtual void SetCurrent(int index) = 0;
  virtual int CurDpiLevel(int index) const = 0;
  virtual void SetCurDpiLevel(int index, int level) = 0;
  // The profile reader and writer the session runs on a device of the list:
  // GetProfile and ApplySetting (profile/profile_device.h), unless a test's
  // list answers in the device's place.
  virtual int ReadProfile(CHidDev& dev, ProfileFile* file, MacroLibrary* library);
  virtual int WriteProfile(CHidDev& dev, ProfileFile* file, EventSink* progress, uint32_t msg,
                           uint32_t flag, uint32_t data, MacroLibrary* library);
};

struct SessionOptions {
  bool applyNow = false;     // cfg.ini ApplyNow
  bool goWithNoDev = false;  // cfg.ini GoWithNoDev
  ProfileDefaults defaults;  // for default profiles
  // Waits; the defaults are the program's, tests shorten some.
  int progressLooks = 20;          // looks for the progress window ...
  int progressLookMs = 100;        // ... with this pause before each
  int progressCloseGapMs = 20;     // between the two close messages
  uint32_t resetEchoMs = 5000;     // a reset notification this soon after our own is its echo
  int batteryPeriodMs = 30000;     // timer 242
  int waitAnimationDelayMs = 200;  // timer 0x1120
  int behaviorPowerDelayMs = 15;   // kind 7: before the battery read
  std::function<uint32_t()> tick;  // millisecond tick; empty: the steady clock
};

// What the window shows; every hook is optional. The thread each runs on is
// noted.
struct SessionHooks {
  std::function<void(int power, bool charging)> showBattery;  // caller / host thread
  std::function<void(const std::string& text)> showReadWait;  // kind 3: until the read ends
  std::function<void()> openWaitAnimation;                   // host thread, timer 0x1120
  std::function<bool()> windowVisible;                       // default: true
  std::function<void(uint64_t read, bool ok)> readDone;      // read thread, once per read
  // The device's connection state as last seen (1 connected), kept by the
  // owner from discovery and the service thread; empty: the gate asks the
  // device itself (an exchange).
  std::function<int(int index)> connectState;
  // Battery read failed (no device, or no answer); caller / host thread.
  std::function<void()> batteryFailed;
  std::function<void()> refreshPages;                        // caller's thread
  std::function<void(int result)> applyDone;                 // apply thread
};

class ProfileSession {
 public:
  // Everything is borrowed and must outlive the session; `library` may be null.
  ProfileSession(ProfileStore& store, SessionDevices& devices, MacroLibrary* library,
                 EventSink& window, Notifier& notifier, DiscoveryHost& host,
                 SessionOptions options = {}, SessionHooks hooks = {});
  ~ProfileSession();  // Stop()
  ProfileSession(const ProfileSession&) = delete;
  ProfileSession& operator=(const ProfileSession&) = delete;

  // Main-window start: loads gSetting.dct, starts the apply thread and the
  // battery timer.
  void Start();
  // Main-window destruction: saves gSetting.dct, ends the apply thread (at
  // once when idle or waiting for a progress window; a write in progress
  // finishes or fails first), waits for running reads, stops the timers and
  // empties the profile list. Idempotent. Not from the host thread.
  void Stop();

  // ---- Apply requests.
  void RequestApply(uint32_t flags);                 // with progress window, all items
  void RequestApplyEx(uint32_t flags, uint32_t data);  // without
  // The progress dialog registers itself when it opens and withdraws when it
  // closes; it receives WM_PROGRESS (percent) and WM_CLOSE_WINDOW.
  void SetProgressWindow(std::shared_ptr<EventSink> window);
  // Blocks until no request is pending or being written (false on time-out).
  bool WaitApplyIdle(int timeoutMs);
  int AppliesDone() const { return appliesDone_.load(); }
  int LastApplyResult() const { return lastApplyResult_.load(); }

  // ---- Reads. Each read gets a ticket (from 1 on) before its thread
  // starts; `done` runs once on the read thread at its end (ok: the record
  // was read and adopted).
  uint64_t StartRead(int index, std::function<void(bool ok)> done = {});
  // True once read `ticket` has ended, whenever that was (never consumed).
  bool WaitRead(uint64_t ticket, int timeoutMs);
  // Waits for the latest read started so far; true at once when it ended
  // already or when none was started.
  bool WaitReadDone(int timeoutMs);
  uint64_t LastReadTicket() const;

  // ---- The window's operations.
  int CanChangeSettings(int index = -1);  // -1: the current entry
  // Choosing a device: gate, make it current, load its store, battery,
  // read, wait animation. False when refused (then `readDone` never runs).
  bool ChooseDevice(int index, std::function<void(bool ok)> readDone = {});
  // WM_DEVICE_BEHAVIOR: true when the notification was handled or ignored
  // here (kinds 3 and 7, other devices, missing profile); false leaves the
  // kind to the window.
  bool OnDeviceBehavior(uintptr_t wParam, intptr_t lParam);
  // Battery read of the current device; 1 when it answered.
  int GetPower();
  void OnWindowShown();  // battery read for PRO models
  // Restore defaults (the confirmation is asked through `confirm`; empty:
  // no question). True when the write was requested.
  bool RestoreDefaults(const std::function<bool()>& confirm = {});
  // Export and import of the current profile.
  bool ExportProfile(const std::string& path);
  // `withProgress`: the write is requested like RequestApply (a progress
  // window accompanies it; the groups written are the same).
  bool ImportProfile(const std::string& path, bool withProgress = false);
  // Saves the current model's store (exit, back to the overview).
  int SaveCurrentStore();
  // Query-end-session: the macro library snapshot (mac.dct). 1 or 0.
  int SaveMacroSnapshot();

  GlobalSettings Globals() const;
  void SetGlobals(const GlobalSettings& g);
  uint32_t ResetTickCount() const { return m_nResetTickCount.load(); }

 private:
  void ApplyThread();
  bool ReadCurCfgThread(int index);
  int ConnectState(const SessionDevice& d) const;
  void ReapReads(bool all);
  uint32_t Tick() const;
  bool Visible() const;
  std::string Text(const char* id) const;

  ProfileStore& store_;
  SessionDevices& devices_;
  MacroLibrary* library_;
  EventSink& window_;
  Notifier& notifier_;
  DiscoveryHost& host_;
  const SessionOptions opt_;
  const SessionHooks hooks_;

  // ApplyRequest: the waiting requests and the exit event, under one lock.
  void QueueRequestLocked(uint32_t flags, uint32_t data);
  std::mutex reqMu_;
  std::condition_variable reqCv_;
  // Requests waiting for the apply thread, oldest first. Each keeps its own
  // flag and item, so a quick second change never hides the first; a request
  // equal to one still waiting is not queued twice (the write takes the
  // record as it is when it runs).
  std::deque<std::pair<uint32_t, uint32_t>> requests_;
  bool busy_ = false;
  bool exit_ = false;
  std::shared_ptr<EventSink> progress_;
  std::thread applyThread_;
  std::atomic<int> appliesDone_{0};
  std::atomic<int> lastApplyResult_{-1};

  // Read threads and the read-done event.
  struct Read {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };
  std::mutex readsMu_;
  std::list<Read> reads_;
  mutable std::mutex doneMu_;
  std::condition_variable doneCv_;
  uint64_t lastRead_ = 0;           // tickets handed out
  std::set<uint64_t> readsRunning_;  // tickets whose read has not ended

  std::atomic<uint32_t> m_nResetTickCount{0};
  std::atomic<bool> hasReset_{false};

  mutable std::mutex globalsMu_;
  GlobalSettings globals_;
  bool started_ = false;
  bool stopped_ = false;
};

}  // namespace tolvane
