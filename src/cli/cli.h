// tolvanectl: the command-line tool. Each command file registers its
// subcommands on the shared CLI::App; RunCli parses and runs the chosen one.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

namespace tolvane::cli {

// Exit statuses of every command.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// Options shared by every command, filled by the parser.
struct CliContext {
  std::string dataDir;                // --data-dir
  std::string userDir;                // --user-dir
  std::vector<std::string> simulate;  // --simulate SPEC, repeatable
  bool trace = false;                 // --trace
  int device = 0;                     // --device N (position in `list`)
  bool offline = false;               // --offline

  // The chosen subcommand's work, set by its parse callback.
  std::function<int()> action;

  // Prints a one-line failure message on stderr ("tolvanectl: <text>").
  // While the device test set by SetDeviceBusyTest says that another
  // process keeps the device, the one line is kDeviceBusy instead (once).
  static void Fail(const std::string& text);

  // The device commands' test (their session's); empty to clear.
  static void SetDeviceBusyTest(std::function<bool()> test);
  static bool DeviceBusy();
};

// The failure line of a command whose device another process keeps locked.
constexpr const char* kDeviceBusy = "the device is busy: another program is using it";

// A command file's registration function.
using Registrar = void (*)(CLI::App& app, CliContext& ctx);

// Runs the tool: parses argv and returns the exit status.
int RunCli(int argc, char** argv);

// Every command file's registrar, in the order `--help` lists them.
void RegisterVersionCommand(CLI::App& app, CliContext& ctx);
void RegisterModelsCommands(CLI::App& app, CliContext& ctx);  // models, sensor
void RegisterDeviceCommands(CLI::App& app, CliContext& ctx);  // list, eeprom
void RegisterMacroCommands(CLI::App& app, CliContext& ctx);
void RegisterStoreCommands(CLI::App& app, CliContext& ctx);    // profiles, export, import, restore
void RegisterProfileCommands(CLI::App& app, CliContext& ctx);  // show, set, profile, battery, watch
void RegisterUdevCommand(CLI::App& app, CliContext& ctx);      // udev-rules

}  // namespace tolvane::cli
