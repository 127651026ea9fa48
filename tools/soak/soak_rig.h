// The world of one soak run: up to four virtual mice on the simulated
// transport, discovery over a transport that records the EEPROM writes each
// mouse took, and the profile session with its store and macro library in a
// fresh user folder. Built like the program builds them (DeviceManager,
// DevListSessionDevices, ProfileSession), with discovery's waits shortened.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/event_sink.h"
#include "app/notifier.h"
#include "support/temp_folder.h"
#include "device/device_manager.h"
#include "device/discovery_host.h"
#include "device/forwarding_transport.h"
#include "macro/macro_library.h"
#include "profile/dev_list_devices.h"
#include "profile/profile_session.h"
#include "profile/profile_store.h"
#include "sim/sim_spec.h"
#include "program/program.h"
#include "sim/sim_transport.h"
#include "soak_checks.h"

namespace tolvane::soak {

// Models 0-3: PRO, PRO+, PRO, PRO+, every page switch on, six buttons.
sim::SimCatalogue SoakCatalogue();
DiscoveryTimings SoakTimings();

// Records every EEPROM write command a mouse took (sent without error), by
// the mouse whose interface it went to, and counts the handles still open.
class WriteRecorder : public ForwardingTransport {
 public:
  explicit WriteRecorder(HidTransport& inner) : ForwardingTransport(inner) {}
  std::unique_ptr<HidHandle> Open(const std::string& path, HidRole role, int* err) override;

  // The interfaces of a mouse live under its plug-in base ("sim/N").
  void SetBase(size_t mouse, const std::string& base);
  std::vector<SentWrite> Take(size_t mouse);  // and forget them
  int LiveHandles() const { return live_->load(); }

 private:
  class Handle;
  void Record(const std::string& path, const Report& r);
  std::mutex mu_;
  std::vector<std::string> bases_;
  std::vector<std::vector<SentWrite>> writes_;
  std::shared_ptr<std::atomic<int>> live_ = std::make_shared<std::atomic<int>>(0);
};

// WM_NEW_DEVICE and WM_SYNC_OK counts.
class SoakWindow : public EventSink {
 public:
  void Post(uint32_t msg, uintptr_t wParam, intptr_t lParam) override;
  int SyncOk() const { return syncOk_.load(); }

 private:
  std::atomic<int> syncOk_{0};
};

struct SoakMouse {
  std::shared_ptr<sim::VirtualMouse> mouse;
  size_t entry = 0;  // device-list entry (= model index)
  bool plus = false;
  bool wireless = false;
  bool plugged = false;
};

class SoakRig {
  // First, so that it goes last, after the program has shut down.
  test::TempFolder folder_{"soak"};

 public:
  SoakRig(int mice, uint32_t seed, int boundScale);
  ~SoakRig();  // Shutdown()
  SoakRig(const SoakRig&) = delete;
  SoakRig& operator=(const SoakRig&) = delete;

  // Starts discovery and the session; false when the mice were not all
  // connected in time.
  bool Start();
  // Ends the session, discovery and the host thread, in the program's order.
  void Shutdown();

  void Plug(size_t m);
  void Unplug(size_t m);
  // Waits until mouse m's entry has a connected device object (bounded).
  bool WaitConnected(size_t m, int timeoutMs);
  std::shared_ptr<CHidDev> Device(size_t m);

  const std::string& Dir() const { return dir_; }
  sim::SimCatalogue cat;
  std::vector<SoakMouse> mice;

  sim::SimTransport transport;
  WriteRecorder recorder{transport};
  SoakWindow window;
  RecordingNotifier notes;
  // The program, wired as every front end wires it; the pointers below are
  // its parts, set by Start and valid until the rig ends.
  std::unique_ptr<Program> program;
  DiscoveryHost* host = nullptr;
  DeviceManager* mgr = nullptr;
  SessionDevices* devices = nullptr;
  ProfileStore* store = nullptr;
  MacroLibrary* library = nullptr;
  ProfileSession* session = nullptr;

 private:
  std::string root_, dir_;
  bool down_ = false;
};

}  // namespace tolvane::soak
