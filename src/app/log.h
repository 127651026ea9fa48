// The program's one log function and its hex dump.
//
// LogLevel 0 logs nothing, 1 sends entries to the debugger output (stderr
// here, each entry prefixed "BY: "), 2 or more appends them to Log.txt on the
// desktop, opening and closing the file for every entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tolvane {

// Log level from cfg.ini `Debug`. Written during start-up only.
extern int LogLevel;

// Logs one entry, printf style. Callable from any thread.
void LogPrint(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Dumps `len` bytes as lowercase hex through LogPrint, `bytesPerLine` per
// entry (0 = one entry), each line headed by `title` when it is not null.
void LogHex(const void* data, size_t len, int bytesPerLine, const char* title);

// Logger set-up, run as soon as LogLevel is known: chooses the debugger-output
// or the file variant and empties a log file larger than 512000 bytes.
void SetupLogger();

// Path of the log file the file variant writes ("<desktop>/Log.txt").
const std::string& LogFilePath();

// Where the debugger-output variant sends its text. The default writes the
// text and a line feed to stderr. Tests replace it to see the entries; pass an
// empty function to restore the default.
using DebugOutputFn = std::function<void(std::string_view)>;
void SetDebugOutput(DebugOutputFn fn);

// Overrides the desktop folder the log file goes to (tests and scripts).
void SetLogDirectory(const std::string& dir);

// Sends text to the debugger output regardless of the variant in use.
void DebugOutput(std::string_view text);

}  // namespace tolvane
