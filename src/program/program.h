// The program: start-up, the transport, discovery, the device list, the
// local stores, the macro library and the profile session, started in one
// order and ended in one order. The window, tolvanectl, the soak and the
// start-up tests all run on it.
//
// Threading contract
// ------------------
// The thread that calls Program's public operations (the window's thread, or
// tolvanectl's main thread) never waits on a device:
//  - every public operation except Start, Exit, Wait, WaitApplyIdle and
//    WaitDevicesSettled returns at once: it does a few copies under short
//    locks, never a device exchange, never a sleep, and never takes a lock
//    that another thread holds across an exchange;
//  - device work runs on threads the program owns: one worker for the
//    operations below and the decoding of device notifications, the
//    discovery host thread (scans, plug events, the rescan and battery
//    timers, the 2000 ms wait of a removal during a read), the probe
//    threads, the service thread of each device, the apply thread and one
//    thread per profile read;
//  - results come back only as events through the one EventSink given to
//    the constructor, from any of those threads (event_sink.h): the window
//    messages (WM_NEW_DEVICE, WM_DEVICE_BEHAVIOR, WM_SYNC_OK) and
//    WM_OPERATION_DONE, WM_BATTERY, WM_PROFILE_SWITCHED,
//    WM_BEHAVIOR_DECODED, WM_DEVICE_LIST_CHANGED, WM_CURRENT_REMOVED,
//    WM_READ_DONE, WM_APPLY_DONE, WM_PROGRAM_MESSAGE, WM_LIGHTING_CHECKED;
//  - each started operation returns a ticket and ends with exactly one
//    WM_OPERATION_DONE for that ticket: also when it is refused, when its
//    device vanished meanwhile (then it fails), and when Exit cancels it;
//  - each profile read has its own ticket, created before the read starts,
//    so that a waiter arriving after a fast read, or a read that ran while
//    no window was shown, neither hangs nor ends another wait early;
//  - the gate CanChangeSettings answers from a connection state that
//    discovery and the worker keep current, not from the device;
//  - the record is never handed out: Profile() is a copy, and changes go
//    through Edit, which runs an edit function under the store's lock;
//  - messages for the user (refusals, failures) are queued and announced by
//    WM_PROGRAM_MESSAGE unless a notifier of one's own is given (the CLI's
//    stderr notifier prints at once); a worker never waits for a message
//    box.
// Wait(ticket) exists for tolvanectl and tests only; the window's thread
// never calls it, nor any other blocking call listed above.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "program/app_core.h"
#include "app/event_sink.h"
#include "app/notifier.h"
#include "device/device_manager.h"
#include "device/discovery_host.h"
#include "device/report_trace.h"
#include "profile/profile_edit.h"
#include "profile/profile_session.h"
#include "profile/profile_store.h"

namespace tolvane {

class MacroLibrary;
namespace sim {
class SimTransport;
struct SimCatalogue;
}  // namespace sim

using Ticket = uint64_t;

struct ProgramOptions {
  std::string dataDir;  // empty: the usual search
  std::string userDir;  // empty: the XDG data folder
  std::vector<std::string> args = {"tolvane"};
  bool singleInstance = true;
  std::string instanceDir;  // lock and socket folder; empty: the runtime folder
  std::function<void(const platform::InstanceMessage&)> onInstanceMessage;
  // Virtual mice (--simulate specs) instead of the hidraw devices. With
  // `eepromDir`, a spec without its own eeprom= keeps its EEPROM image in
  // that folder ("mouse<N>.bin", N its position), so changes survive a restart.
  std::vector<std::string> simulate;
  std::string eepromDir;
  // Without devices: the current entry gets the offline object, as with
  // cfg.ini GoWithNoDev, and discovery does not run.
  bool offline = false;
  int offlineEntry = -1;  // with `offline`: the entry to work on (-1: DefDevIndex)
  ReportTraceFn trace;    // every report sent and received
  std::optional<DiscoveryTimings> discovery;
  std::function<void(SessionOptions&)> tuneSession;  // tests shorten waits here
  // Messages straight to this notifier (it must not block for long); null:
  // queued (TakeMessages).
  Notifier* notifier = nullptr;
  std::function<bool()> windowVisible;  // default: visible
  bool loadMacros = true;

  // ---- For rigs whose devices are not in a cfg.ini (the soak).
  // A transport of the caller's (borrowed) instead of hidraw or --simulate.
  HidTransport* transport = nullptr;
  // The device list's models and USB ids instead of the catalogue's. With
  // it the start-up sequence is skipped (no cfg.ini, no folders, no lock):
  // `userDir` is the store folder as given, and the session starts from its
  // own defaults.
  std::optional<DiscoveryConfig> devices;
  TextFn texts;          // the store's texts; empty: the language file's
  PointerQuery pointer;  // the system's pointer settings; empty: asked
  // False: device notifications are passed on but not acted on (no decoding,
  // no re-read after a reset); for rigs that drive the session themselves.
  bool followDevice = true;
};

// What Edit did.
struct EditOutcome {
  bool ok = false;
  bool gateRefused = false;  // a read runs or the device is away (message queued)
  EditResult edit;           // the edit function's answer
  bool requested = false;    // a write was requested
};

class Program {
 public:
  explicit Program(EventSink& sink);
  ~Program();  // Exit()
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Start-up in its order: folders, texts, catalogue and logger, single
  // instance, language, transport, device list, stores, macro library,
  // session (apply thread, battery timer), worker, discovery (its first scan
  // runs on the host thread). Blocks for file work only.
  StartResult Start(const ProgramOptions& options);
  // Why Start failed when the reason is not the catalogue's (a --simulate
  // spec); empty otherwise.
  const std::string& StartError() const { return startError_; }
  // Exit in its order: pending operations end (failed), every connected
  // device is told TellDrvStatus 0, the current model's store is saved,
  // discovery stops and releases the devices, the session stops (gSetting.dct,
  // apply thread, reads), mac.dct is saved when `saveMacros`, the threads are
  // joined, "Driver exit" is logged. Waits for a write or read in progress.
  // Returns how many devices were told. Idempotent.
  int Exit(bool saveMacros = false);

  // ---- Answers at once.
  std::vector<DevEntryView> Devices() const;  // every entry of the device list
  int Current() const;                        // current entry, -1 for none
  const DevCfg* CurrentModel() const;
  int CurDpiLevel() const;                     // the current device's
  std::optional<ProfileFile> Profile() const;  // a copy of the current record
  int ProfileIndex() const;                    // position of the current record
  int CanChangeSettings(int index = -1);
  bool ReadRunning() const;
  bool Plus() const;  // the current device speaks PRO+
  bool ApplyNow() const { return applyNow_; }  // changes are written at once
  std::vector<RecordingNotifier::Entry> TakeMessages();

  // ---- Operations: each returns its ticket at once; WM_OPERATION_DONE follows.
  Ticket ChooseDevice(int index);      // gate, store, battery, TellDrvStatus(1), read
  Ticket ReadProfile();                // the current device's active profile
  Ticket ReadBattery(int index = -1);  // WM_BATTERY, then done; -1: the current entry
  Ticket SwitchProfile(int profile);   // WM_PROFILE_SWITCHED, a read, then done
  Ticket TellDriverStatus(int status);
  Ticket RestoreDefaults();  // the caller has asked the user already
  Ticket ImportProfile(const std::string& path, bool withProgress = false);  // done when requested
  Ticket ExportProfile(const std::string& path);
  void WindowShown();  // battery read of PRO models, on the worker
  // Whether the current mouse takes a lighting change now: after 10 ms its
  // GetCmd0FFlag is asked; WM_LIGHTING_CHECKED carries the answer, then done
  // (failed when the mouse could not be asked).
  Ticket CheckLighting();

  // A change of the current record: the gate, then `fn` (one of the edit
  // functions of profile_edit.h) under the store's lock, then the write
  // request when cfg.ini ApplyNow is set or `alwaysApply`.
  using EditFn = std::function<EditResult(ProfileFile&, const EditModel&)>;
  EditOutcome Edit(const EditFn& fn, bool alwaysApply = false);
  // A correction the program makes to the current record by itself, to
  // follow what the mouse does (no gate, no write): `fn` under the store's
  // lock, skipped while a read runs. True when `fn` changed the record.
  bool Adjust(const EditFn& fn);
  void RequestApply(uint32_t flags);
  void RequestApplyEx(uint32_t flags, uint32_t data);
  void SetProgressWindow(std::shared_ptr<EventSink> window);

  // ---- For tolvanectl and tests only; never from the window's thread.
  bool Wait(Ticket ticket, int timeoutMs);          // true when it ended in time
  std::optional<bool> Result(Ticket ticket) const;  // ok, failed, or still running
  bool WaitApplyIdle(int timeoutMs);
  int LastApplyResult() const;
  bool WaitDevicesSettled(int timeoutMs);
  DeviceManager& Manager() { return *mgr_; }
  ProfileStore& Store() { return *store_; }
  MacroLibrary& Library() { return *library_; }
  ProfileSession& Session() { return *session_; }
  SessionDevices& DeviceAccess() { return *devices_; }
  DiscoveryHost& Host() { return *host_; }
  HidTransport& Transport() { return *transport_; }
  sim::SimTransport* Simulated() { return sim_; }  // null on hidraw
  AppCore& App() { return app_; }

 private:
  class Relay;
  class QueueNotifier;
  struct Job {
    Ticket ticket;
    std::function<void(Ticket)> run;  // completes its ticket, now or later
  };
  Ticket NewTicket();
  EditModel CurrentEditModel() const;  // what edit functions check against
  void Complete(Ticket t, bool ok);
  Ticket Enqueue(std::function<void(Ticket)> run);
  void Post(std::function<void()> task);  // a worker task without a ticket
  void WorkerLoop();
  void StopWorker();
  bool BuildTransport(const ProgramOptions& o);
  SessionHooks SessionHooksFor(const ProgramOptions& o);
  void StartDiscovery(const ProgramOptions& o);
  void OnDeviceEvent(uint32_t msg, uintptr_t w, intptr_t l);
  void OnListChanged();
  void RefreshLink(int index);  // worker: asks the device
  int LinkState(int index) const;
  void SetLink(int index, int state);
  void DecodeBehavior(uintptr_t entry, intptr_t lParam);
  SessionDevice CurrentDevice() const;

  EventSink& sink_;
  AppCore app_;
  bool started_ = false;
  bool exited_ = false;
  bool offline_ = false;
  std::string startError_;
  std::unique_ptr<QueueNotifier> queue_;
  Notifier* notifier_ = nullptr;
  std::unique_ptr<Relay> relay_;
  std::shared_ptr<sim::SimCatalogue> simCat_;
  std::unique_ptr<HidTransport> base_;
  std::unique_ptr<HidTransport> traced_;
  HidTransport* transport_ = nullptr;
  sim::SimTransport* sim_ = nullptr;
  std::unique_ptr<LoopHost> host_;
  std::unique_ptr<DeviceManager> mgr_;
  std::unique_ptr<SessionDevices> devices_;
  std::unique_ptr<ProfileStore> store_;
  std::unique_ptr<MacroLibrary> library_;
  std::unique_ptr<ProfileSession> session_;
  bool applyNow_ = false;
  bool followDevice_ = true;

  std::unique_ptr<std::atomic<int>[]> link_;  // per entry: 1 connected, 0 not
  size_t linkCount_ = 0;

  mutable std::mutex ticketMu_;
  std::condition_variable ticketCv_;
  Ticket nextTicket_ = 0;
  std::map<Ticket, int> tickets_;  // 0 running, 1 done, 2 failed, 3 ending

  std::mutex workMu_;
  std::condition_variable workCv_;
  std::deque<Job> jobs_;
  bool workStop_ = false;
  std::thread worker_;
};

}  // namespace tolvane
