// The start-up of tolvanectl: the application's own start-up sequence
// (program folder, texts, catalogue, user data folder), without the
// single-instance lock, which belongs to the window program.
#pragma once

#include "cli/cli.h"

namespace tolvane {
class Notifier;
}

namespace tolvane::cli {

// Runs the start-up with --data-dir and --user-dir, loading ProgramDir +
// "cfg.ini" into the process-wide catalogue with loading messages through
// `n`, and building UserDataDir. On failure prints a one-line message and
// returns false. Only the first call in a process starts anything.
bool LoadCatalogueForCli(const CliContext& ctx, Notifier& n);
// The program's start-up (Program::Start) has loaded the catalogue: later
// LoadCatalogueForCli calls do nothing.
void NoteCatalogueLoaded();
// After a start-up: false, after the one-line message, when the catalogue
// is an empty or damaged file's (it names no application folder) or
// UserDataDir is not a folder.
bool CheckStartedCatalogue();

}  // namespace tolvane::cli
