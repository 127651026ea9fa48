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
