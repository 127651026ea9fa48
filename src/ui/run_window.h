// Runs the main window over a backend until the user exits.
#pragma once

#include <string>

#include "ui/qt_event_sink.h"
#include "ui/window_backend.h"
#include "ui/window_logic.h"

namespace tolvane::ui {

}  // namespace tolvane::ui
namespace tolvane {
class Program;
}
namespace tolvane::ui {

struct RunOptions {
  Program* program = nullptr;  // the core the pages work on (null: a test backend)
  bool startHidden = false;   // -s or the start-hidden setting
  std::string screenshot;     // save the window as PNG and return instead of running
  int page = 0;               // the page of the screenshot
};

class CTolvaneDlg;

// The pages that show the current device's settings, given to the window
// before it starts, each made when first needed. The one place where a page
// built on the program is added:
//   dlg.SetPageMaker(kPageButtons, [&] { return new CKeyDlg(..., program, ...); });
void AddProgramPages(Program& program, CTolvaneDlg& dlg);
// Makes SIGTERM, SIGINT, SIGHUP and the end of the desktop session run the
// window's exit.
void InstallQuitHandlers(CTolvaneDlg& window);

// The backend posts its events into `sink` (created on this thread before the
// backend starts); the window takes them from there. Needs a QApplication.
// Returns the process's exit code.
int RunWindow(WindowBackend& backend, QtEventSink& sink, const RunOptions& options);

}  // namespace tolvane::ui
