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
//
// The events are the core's (app/event_sink.h), with their parameters:
//  WM_NEW_DEVICE          wParam: entry that got a device
//  WM_DEVICE_LIST_CHANGED an entry was released or connected: ask Devices()
//  WM_CURRENT_REMOVED     wParam: the current entry, whose device has gone
//  WM_SYNC_OK             a profile read has finished and was adopted
//  WM_OPERATION_DONE      wParam: ticket of ChooseDevice or RequestBattery,
//                         lParam: 1 done, 0 failed (a refused choice too)
//  WM_BATTERY             wParam: entry, lParam: BatteryParam or -1 (no answer)
//  WM_DEVICE_BEHAVIOR     wParam: entry, lParam: kind*256+value (the mouse's own change)
//  WM_BEHAVIOR_DECODED    the same, once the record holds the change
//  WM_PROGRAM_MESSAGE     messages for the user wait in TakeMessages()
//  WM_EXIT_DONE           the work of Exit has finished
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/event_sink.h"

namespace tolvane::ui {

// One connected (or offline-simulated) model of the device list, as a tile
// shows it and the title strip describes it.
struct DeviceTile {
  int entry = -1;            // device-list entry index; the events carry it
  std::string modelName;     // catalogue `Name`
  std::string skinFolder;    // the model's skin sub-folder ("%02x%02x" of cid, mid);
                             // its mouse.png (may be missing) is the tile's picture
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

// The two global settings of gSetting.dct, and the low-battery notice's
// switch, kept in a file of its own (gSetting.dct keeps its 8 bytes).
struct WindowSettings {
  bool startHidden = false;
  bool runAtLogon = false;
  bool lowBatteryNotice = true;
  bool operator==(const WindowSettings&) const = default;
};

class WindowBackend {
 public:
  virtual ~WindowBackend() = default;

  virtual WindowConfig Config() const = 0;

  // The entries that have a device object, in list order (at most four are
  // shown). A copy; later changes arrive as WM_NEW_DEVICE / WM_DEVICE_LIST_CHANGED.
  virtual std::vector<DeviceTile> Devices() const = 0;
  virtual std::optional<DeviceTile> Device(int entry) const = 0;
  // The current entry, -1 for none.
  virtual int CurrentEntry() const = 0;
  // The skin sub-folder of the model the core works on ("%02x%02x"), known
  // as soon as the core has a current mouse; empty without one.
  virtual std::string CurrentSkinFolder() const { return {}; }

  // The gate, from cached state: Busy while a profile read runs,
  // NotConnected when `entry` (or, for -1, the current entry) has no
  // connected device.
  virtual Gate CanChangeSettings(int entry = -1) const = 0;

  // Makes `entry` current and starts reading its profile. Returns a nonzero
  // ticket; the end of the read is WM_OPERATION_DONE carrying it.
  virtual uint64_t ChooseDevice(int entry) = 0;
  // Leaves the current device for the device list: saves its store and tells
  // it that no page shows it. Returns at once.
  virtual void LeaveDevice() = 0;
  // The window was shown (true) or hidden (false): the current device is told.
  virtual void WindowShown(bool shown) = 0;
  // Every change of the window's visibility (the core's battery and wait
  // rules ask for it from other threads).
  virtual void VisibilityChanged(bool) {}
  // Asks the current device for its battery; the result is WM_BATTERY, then
  // WM_OPERATION_DONE with the ticket. Returns 0 when there is nothing to ask.
  virtual uint64_t RequestBattery() = 0;
  // The rescan after plug events (it runs in the core): the tries left and
  // whether its 1000 ms timer runs.
  virtual int RescanCount() const = 0;
  virtual bool RescanTimerActive() const = 0;
  // The messages for the user queued since the last call (WM_PROGRAM_MESSAGE).
  virtual std::vector<std::string> TakeMessages() = 0;

  virtual WindowSettings Settings() const = 0;
  // Writes gSetting.dct (and the notice's file when its switch changed);
  // false when a write failed (the old file stays).
  virtual bool SaveSettings(const WindowSettings& s) = 0;

  // Display names of the languages, in list order, and the current index.
  virtual std::vector<std::string> Languages() const = 0;
  virtual int CurrentLanguage() const = 0;
  // Loads the language's texts and remembers the choice; false for an index
  // outside the list (nothing changes).
  virtual bool ChooseLanguage(int index) = 0;

  // The progress dialog's sink while it is open (WM_PROGRESS, WM_CLOSE_WINDOW
  // arrive there from the apply thread); null when it closes.
  virtual void SetProgressWindow(std::shared_ptr<EventSink>) {}

  // Starts the exit: devices told, stores saved, device list emptied, the
  // core's threads joined. Returns at once; the end is WM_EXIT_DONE.
  virtual void Exit() = 0;
};

}  // namespace tolvane::ui
