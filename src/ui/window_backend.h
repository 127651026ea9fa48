// What the main window needs from the program's core, and nothing more.
//
// The window is a view: it asks for copies of the core's state, requests
// device work and reacts to the events the work produces. Every call below
// returns at once; no call waits on a mouse, a sleep or a lock held across a
// device exchange. Device work (choosing a device, reading its profile,
// reading the battery, telling the devices that the program goes away) is
// started by a call and ends with exactly one event, posted through the
// EventSink the backend was given; a request whose device vanished still
// ends, once, with a failure.
//
// Calls come from the window's thread only. Events may be posted from any
// thread; the window's QtEventSink delivers them on the window's thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/event_sink.h"

namespace tolvane::ui {

// Events of the window beyond those of app/event_sink.h. Parameters:
//  WM_SYNC_OK        wParam: ticket of ChooseDevice, lParam: 1 read, 0 failed
//  WM_DEVICE_CHANGE  wParam: kDeviceArrived or kDeviceRemoved, lParam: the
//                    removed device's entry index (-1 for an arrival)
//  WM_BATTERY        wParam: ticket of RequestBattery, lParam: level (0..100,
//                    -1 when the device did not answer) | charging << 8
//  WM_EXIT_DONE      the work of Exit has finished (stores saved, devices told)
constexpr uint32_t WM_DEVICE_CHANGE = 0x0219;
constexpr uint32_t WM_BATTERY = 0x07EC;
constexpr uint32_t WM_EXIT_DONE = 0x07EE;
constexpr uintptr_t kDeviceArrived = 0x8000;
constexpr uintptr_t kDeviceRemoved = 0x8004;

// One connected (or offline-simulated) model of the device list, as a tile
// shows it and the title strip describes it.
struct DeviceTile {
  int entry = -1;            // device-list entry index; the events carry it
  std::string modelName;     // catalogue `Name`
  std::string picturePath;   // the model's mouse.png; may be missing
  std::string skinFolder;    // the model's skin sub-folder ("%02x%02x" of cid, mid)
  bool connected = false;    // the device answers (false: an offline stand-in)
  bool wireless = false;     // connected through the receiver
  uint16_t wiredVer = 0;     // firmware of the last wired connection, 0 none
  uint16_t wirelessVer = 0;  // firmware of the last receiver connection, 0 none
  bool hasMainLight = false; // catalogue ShowMainEffect
  bool hasLogoLight = false; // catalogue ShowLogoEffect
  bool readsBattery = false; // the model reports a battery (the timer asks it)
};

// The window's part of cfg.ini, fixed for the run.
struct WindowConfig {
  std::string title;         // Title
  uint32_t drvVer = 0;       // DrvVer
  uint32_t txtColor = 0;     // Txt_clr, 0x00BBGGRR
  uint32_t clrMask = 0;      // clrMask: 0 leaves the window unshaped
  int powerX = 850, powerY = 50;  // ptPower
  bool showPowerAtStart = false;  // ShowPower == 0
  std::string programDir;    // holds wait.gif and appico.ico; ends with '/'
};

// Why a change (or a choice of device) is refused.
enum class Gate { Ok, Busy, NotConnected };

// The two global settings of gSetting.dct.
struct WindowSettings {
  bool startHidden = false;
  bool runAtLogon = false;
  bool operator==(const WindowSettings&) const = default;
};

class WindowBackend {
 public:
  virtual ~WindowBackend() = default;

  virtual WindowConfig Config() const = 0;

  // The entries that have a device object, in list order (at most four are
  // shown). A copy; later changes arrive as WM_NEW_DEVICE / WM_DEVICE_CHANGE.
  virtual std::vector<DeviceTile> Devices() const = 0;
  virtual std::optional<DeviceTile> Device(int entry) const = 0;
  // The current entry, -1 for none.
  virtual int CurrentEntry() const = 0;

  // The gate, from cached state: Busy while a profile read runs,
  // NotConnected when `entry` (or, for -1, the current entry) has no
  // connected device.
  virtual Gate CanChangeSettings(int entry = -1) const = 0;

  // Makes `entry` current and starts reading its profile. Returns a nonzero
  // ticket; the result is WM_SYNC_OK carrying it.
  virtual uint64_t ChooseDevice(int entry) = 0;
  // Leaves the current device for the device list: saves its store and tells
  // it that no page shows it. Returns at once.
  virtual void LeaveDevice() = 0;
  // The window was shown (true) or hidden (false): the current device is told.
  virtual void WindowShown(bool shown) = 0;
  // Asks the current device for its battery; the result is WM_BATTERY.
  // Returns 0 when there is nothing to ask.
  virtual uint64_t RequestBattery() = 0;
  // One discovery pass (the rescan timer); new devices arrive as events.
  virtual void Rescan() = 0;

  virtual WindowSettings Settings() const = 0;
  // Writes gSetting.dct; false when the write failed (the old file stays).
  virtual bool SaveSettings(const WindowSettings& s) = 0;

  // Display names of the languages, in list order, and the current index.
  virtual std::vector<std::string> Languages() const = 0;
  virtual int CurrentLanguage() const = 0;
  // Loads the language's texts and remembers the choice; false for an index
  // outside the list (nothing changes).
  virtual bool ChooseLanguage(int index) = 0;

  // Starts the exit: devices told, stores saved, device list emptied. The
  // end is WM_EXIT_DONE.
  virtual void Exit() = 0;
};

}  // namespace tolvane::ui
