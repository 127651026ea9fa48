// Messages from the program's logic to whoever shows it (the GUI or the CLI).
//
// Background threads never touch a window: they post these events, carrying
// the same message numbers and parameters as the window messages they stand
// for. The GUI turns them into Qt events on its own thread; the CLI prints
// or waits for them.
#pragma once

#include <cstdint>

namespace tolvane {

constexpr uint32_t WM_NEW_DEVICE = 0x07F5;       // wParam: device-list entry index
constexpr uint32_t WM_DEVICE_BEHAVIOR = 0x07EB;  // wParam: entry index, lParam: kind*256+value
constexpr uint32_t WM_SYNC_OK = 0x0437;          // a profile read has finished
constexpr uint32_t WM_TRAY_NOTIFY = 0x046C;      // tray icon; also sent by a second instance
constexpr uint32_t WM_PROGRESS = 0x042B;         // wParam: percent, to the progress window

// Results that the operations of Program deliver as events instead of
// return values. A ticket is the number an operation returned when it was
// started; each ticket ends with exactly one WM_OPERATION_DONE.
constexpr uint32_t WM_OPERATION_DONE = 0x0900;  // wParam: ticket, lParam: 1 done, 0 failed
constexpr uint32_t WM_BATTERY = 0x0901;         // wParam: entry, lParam: BatteryParam or -1 (failed)
constexpr uint32_t WM_PROFILE_SWITCHED = 0x0902;  // wParam: ticket, lParam: profile, -1 refused
constexpr uint32_t WM_BEHAVIOR_DECODED = 0x0903;  // wParam: entry, lParam: kind*256+value; record updated
constexpr uint32_t WM_DEVICE_LIST_CHANGED = 0x0904;  // wParam: entry released or connected
constexpr uint32_t WM_CURRENT_REMOVED = 0x0905;      // wParam: entry; the current device has gone
constexpr uint32_t WM_READ_DONE = 0x0906;        // wParam: read ticket, lParam: 1 read, 0 failed
constexpr uint32_t WM_APPLY_DONE = 0x0907;       // lParam: the write's result (1, 0, -1 no device)
constexpr uint32_t WM_PROGRAM_MESSAGE = 0x0908;  // a message waits in the program's message queue
// Posted by whoever runs Program::Exit away from the window's thread when it
// has returned (the window then closes and the event loop ends).
constexpr uint32_t WM_EXIT_DONE = 0x0909;
// wParam: the check's ticket, lParam: 1 the mouse refuses lighting changes
// now, 0 it takes them (or could not be asked).
constexpr uint32_t WM_LIGHTING_CHECKED = 0x090A;

// WM_BATTERY's lParam: power in bits 0-7, charging in bit 8.
constexpr intptr_t BatteryParam(int power, bool charging) {
  return intptr_t((power & 0xFF) | (charging ? 0x100 : 0));
}

class EventSink {
 public:
  virtual ~EventSink() = default;
  // Called from any thread; must not block for long.
  virtual void Post(uint32_t msg, uintptr_t wParam, intptr_t lParam) = 0;
};

// A sink that drops everything.
class NullEventSink : public EventSink {
 public:
  void Post(uint32_t, uintptr_t, intptr_t) override {}
};

}  // namespace tolvane
