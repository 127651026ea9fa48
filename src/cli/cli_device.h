// The device side of tolvanectl: the transport (virtual mice of --simulate,
// else the hidraw devices), discovery until it settles, and the device that
// --device N chooses. Every device command starts here.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "device/device_manager.h"
#include "device/discovery_host.h"
#include "device/hid_dev.h"
#include "device/transport.h"

namespace tolvane::cli {

// How long discovery may take before a command goes on with what it found.
constexpr int kSettleBudgetMs = 4500;

// One connected device, in `list` order.
struct ListedDevice {
  int position = 0;  // what --device takes
  DevEntryView entry;
};

// A receiver whose mouse is off: probed, not yet identified.
struct WaitingReceiver {
  ProbeSlot slot;
};

class DeviceSession {
 public:
  ~DeviceSession();  // releases every device, joins every thread

  DeviceManager& Manager() { return *mgr_; }
  // Connected devices (offline stand-ins left out), in device-list order.
  std::vector<ListedDevice> Devices() const;
  std::vector<WaitingReceiver> Waiting() const;
  // Nodes of ours that could not be opened for lack of permission (hidraw).
  std::vector<std::string> AccessProblems() const;
  bool Simulated() const { return simulated_; }

 private:
  friend std::unique_ptr<DeviceSession> StartDeviceSession(const CliContext& ctx);
  DeviceSession() = default;

  bool simulated_ = false;
  std::shared_ptr<void> keepAlive_;          // the virtual mice's catalogue copy
  std::unique_ptr<HidTransport> base_;       // sim or hidraw
  std::unique_ptr<HidTransport> traced_;     // --trace wrapper over base_
  NullEventSink sink_;
  std::unique_ptr<LoopHost> host_;
  std::unique_ptr<DeviceManager> mgr_;
};

// Loads the catalogue, builds the transport, starts discovery and waits until
// it settles (at most kSettleBudgetMs). Null after printing the reason.
std::unique_ptr<DeviceSession> StartDeviceSession(const CliContext& ctx);

// The connected device that --device N names, in a started session (kept in
// `*session`). Null after printing the reason ("no device", "no device N").
std::shared_ptr<CHidDev> OpenChosenDevice(const CliContext& ctx,
                                          std::unique_ptr<DeviceSession>* session);

}  // namespace tolvane::cli
