// The start of the screenshot tools: the program on one virtual mouse with a
// user folder of its own, the main window over it, the mouse chosen.
#pragma once

#include <QApplication>

#include <memory>
#include <string>

#include "program/program.h"
#include "ui/main_window.h"
#include "ui/program_backend.h"
#include "ui/qt_event_sink.h"

namespace tolvane::tools {

class ShotRig {
 public:
  ShotRig(const char* tool, QApplication& app);
  ~ShotRig();

  // The user folder (with a trailing '/'), made now and removed with the rig.
  const std::string& UserDir() const { return user_; }
  // Starts the program on the mouse `spec` and builds the window (skin,
  // menus, the core's events to the window); false, said on stderr, when
  // the program did not start.
  bool Start(const std::string& spec);
  // Shows the window, lets the devices' events of the start in, chooses the
  // first mouse and waits until its profile has been read.
  void ShowAndChoose();
  // Delivers events for `ms` milliseconds.
  static void Pump(int ms);

  Program& Core() { return program_; }
  ui::CTolvaneDlg& Window() { return *window_; }

 private:
  const char* tool_;
  std::string user_;
  ui::QtEventSink sink_;
  Program program_;
  std::unique_ptr<ui::ProgramBackend> backend_;
  std::unique_ptr<ui::CTolvaneDlg> window_;
};

}  // namespace tolvane::tools
