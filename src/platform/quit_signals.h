// SIGTERM, SIGINT and SIGHUP as a readable descriptor, so that the window's
// event loop can run the program's full exit when the process is asked to end.
#pragma once

namespace tolvane::platform {

// Installs handlers for the three signals (once per process) that write one
// byte per signal into a pipe, and returns the pipe's read end (non-blocking),
// or -1 when the pipe could not be made. The handlers stay for the life of
// the process.
int QuitSignalFd();

// Reads and discards what the handlers wrote; true when at least one signal
// was pending.
bool DrainQuitSignals(int fd);

}  // namespace tolvane::platform
