// The program's start-up and its last exit step, shared by the GUI and the CLI.
//
// Startup runs, in order: program folder, default texts, catalogue (which
// sets up the logger), the launch log lines, the argument count, the user data
// folder, the single-instance check, the OS-version step and the application
// font. The main window (GUI) or the command (CLI) runs after it; Shutdown is
// the application's exit step and runs after a failed start-up too.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/notifier.h"
#include "platform/single_instance.h"

namespace tolvane {

constexpr const char* kInstanceName = "MUTEX_QX_WIRELESS";
constexpr const char* kDataInitFailed = "     Data Init failed.     ";

struct StartupOptions {
  std::string dataDir;            // --data-dir; empty: the usual search
  std::string userDir;            // --user-dir; empty: the XDG data folder
  std::vector<std::string> args;  // the command line, program name first
  bool singleInstance = true;     // take the per-user instance lock
  std::string instanceDir;        // folder of the lock and socket; empty: runtime folder
};

enum class StartResult {
  Ok,
  DataInitFailed,  // cfg.ini could not be loaded; the message box was shown
  AlreadyRunning,  // another copy runs and was asked to show itself
};

// Hands the folders that the platform layer finds (executable folder, XDG
// data home, desktop) to the application layer (SetSessionFolderSource).
// Startup calls it first; entry points that resolve folders before Startup
// call it themselves.
void UsePlatformFolders();

// Classifies the running system the way the program's version checks expect:
// always 0 ("anything else") here, so no DPI-awareness call is made.
int GetOsVersionCode();

class AppCore {
 public:
  AppCore() = default;
  ~AppCore();
  AppCore(const AppCore&) = delete;
  AppCore& operator=(const AppCore&) = delete;

  // Start-up. `onInstanceMessage` receives what later copies send (the tray
  // notification), on a thread of the instance lock's own.
  StartResult Startup(const StartupOptions& options, Notifier& notifier,
                      std::function<void(const platform::InstanceMessage&)> onInstanceMessage = {});

  // Exit: closes the instance lock, logs "Driver exit" and tells whether the
  // application font must be unregistered (dialog started and FontName set).
  // Safe to call more than once; only the first call does anything.
  void Shutdown();

  // More than one command-line argument: the window starts hidden in the tray.
  bool startedWithArgs() const { return startedWithArgs_; }

  // Set by the GUI right before it creates the main window.
  void SetDialogStarted() { dialogStarted_ = true; }
  bool dialogStarted() const { return dialogStarted_; }

  // ProgramDir + "appfont.ttf" when cfg.ini names a FontName and the file
  // exists; empty otherwise (no application font, defaults are used).
  const std::string& appFontPath() const { return appFontPath_; }

  // True once Shutdown asked for the font to be unregistered.
  bool fontUnregistered() const { return fontUnregistered_; }

 private:
  std::unique_ptr<platform::SingleInstance> instance_;
  bool startedWithArgs_ = false;
  bool dialogStarted_ = false;
  bool started_ = false;
  bool shutDown_ = false;
  bool fontUnregistered_ = false;
  std::string appFontPath_;
};

}  // namespace tolvane
