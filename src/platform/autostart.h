// Start at log-on: the XDG autostart entry of the window program.
#pragma once

#include <string>

namespace tolvane::platform {

// The application id; names the autostart entry and the icon.
constexpr const char* kApplicationId = "io.github.tolvane.Tolvane";

// $XDG_CONFIG_HOME/autostart (default ~/.config/autostart). No trailing separator.
std::string AutostartDir();

// `dir`/<application id>.desktop.
std::string AutostartEntryPath(const std::string& dir);

// The entry's text: a desktop entry of type Application whose Exec starts
// `program` with "-s" (the program path quoted as the desktop-entry format
// asks when it holds reserved characters), with Icon and TryExec.
std::string AutostartEntryText(const std::string& program, const std::string& name);

// `arg` as one argument of an Exec key.
std::string QuoteExecArgument(const std::string& arg);

}  // namespace tolvane::platform
