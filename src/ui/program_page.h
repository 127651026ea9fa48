// A page of the main window that shows the current device's settings (the
// button, macro, DPI and lighting pages).
//
// A page is a view. It paints, forwards the user's input to the edit
// functions of the program and repaints when the core says something
// changed. The window owns the page, places it at its page rectangle and
// hands every core event to it on the window's thread.
#pragma once

#include <cstdint>

namespace tolvane::ui {

class ProgramPage {
 public:
  virtual ~ProgramPage() = default;

  // A core event (numbers of app/event_sink.h), on the window's thread, after
  // the window itself has handled it. Reads ending (WM_SYNC_OK, WM_READ_DONE),
  // the mouse's own changes (WM_BEHAVIOR_DECODED) and the like are the page's
  // cue to show the record again.
  virtual void OnCoreEvent(uint32_t msg, uintptr_t wParam, intptr_t lParam) = 0;
  // The current device changed or its profile was read: show it from scratch.
  virtual void Refresh() = 0;
  // The language changed: every text of the page again.
  virtual void Relabel() = 0;
  // The window is about to show another page. A page that must stay (the
  // macro page while it records) says why to the user and answers true.
  virtual bool RefuseLeave() { return false; }
};

}  // namespace tolvane::ui
