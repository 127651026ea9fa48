// The device side of tolvanectl: the program (virtual mice of --simulate,
// else the hidraw devices) with discovery until it settles, and the device
// that --device N chooses. Every device command starts here.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "device/device_manager.h"
#include "device/discovery_host.h"
#include "device/hid_dev.h"
#include "device/transport.h"
#include "program/program.h"

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

// What the program reports to a command: battery readings, and the device's
// own notifications when `watch` prints them.
class CliEvents : public EventSink {
 public:
  void Post(uint32_t msg, uintptr_t wParam, intptr_t lParam) override;
  // WM_BATTERY's last lParam (-1 before any reading or after a failed one).
  intptr_t Battery() const { return battery_.load(); }
  // Prints WM_DEVICE_BEHAVIOR lines from now on.
  void PrintNotifications(bool on) { print_ = on; }
  int Printed() const { return printed_.load(); }
  // WM_PROFILE_SWITCHED's last lParam (the profile, or -1 when refused).
  intptr_t Switched() const { return switched_.load(); }

 private:
  std::atomic<intptr_t> battery_{-1};
  std::atomic<intptr_t> switched_{-1};
  std::atomic<bool> print_{false};
  std::atomic<int> printed_{0};
  std::mutex mu_;
};

class DeviceSession {
 public:
  ~DeviceSession();  // the program's exit: every thread joined

  Program& Prog() { return *program_; }
  DeviceManager& Manager() { return program_->Manager(); }
  CliEvents& Events() { return events_; }
  // Connected devices (offline stand-ins left out), in device-list order.
  std::vector<ListedDevice> Devices() const;
  std::vector<WaitingReceiver> Waiting() const;
  // Nodes of ours that could not be opened for lack of permission (hidraw).
  std::vector<std::string> AccessProblems() const;
  // True when another process keeps our device locked: the chosen device
  // (once ChosenEntry chose one) could not get its lock for its last
  // exchange, or, before that, discovery could not get the lock of one of
  // our mice.
  bool Busy() const;
  bool Simulated() const { return program_->Simulated() != nullptr; }
  bool Offline() const { return offline_; }

 private:
  friend std::unique_ptr<DeviceSession> StartDeviceSession(const CliContext& ctx, bool offline);
  DeviceSession() = default;

  friend int ChosenEntry(const CliContext& ctx, DeviceSession& session);
  CliEvents events_;  // outlives the program, whose threads post to it
  std::unique_ptr<Program> program_;
  bool offline_ = false;
  std::atomic<int> chosen_{-1};  // the entry ChosenEntry chose
};

// Starts the program (catalogue, transport, discovery) and waits until
// discovery settles (at most kSettleBudgetMs). With `offline` there is no
// discovery and entry --device gets the offline object. Null after printing
// the reason.
std::unique_ptr<DeviceSession> StartDeviceSession(const CliContext& ctx, bool offline = false);

// The device-list entry of the device --device N names (offline: entry N),
// or -1 after printing the reason.
int ChosenEntry(const CliContext& ctx, DeviceSession& session);

// The connected device that --device N names, in a started session (kept in
// `*session`). Null after printing the reason ("no device", "no device N").
std::shared_ptr<CHidDev> OpenChosenDevice(const CliContext& ctx,
                                          std::unique_ptr<DeviceSession>* session);

}  // namespace tolvane::cli
