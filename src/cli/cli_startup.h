// The start-up steps tolvanectl needs for now: the program folder and the
// catalogue (later folded into the application start-up sequence).
#pragma once

#include "cli/cli.h"

namespace tolvane {
class Notifier;
}

namespace tolvane::cli {

// Resolves ProgramDir from --data-dir and loads ProgramDir + "cfg.ini" into
// the process-wide catalogue, with loading messages through `n`. On failure
// prints a one-line message and returns false.
bool LoadCatalogueForCli(const CliContext& ctx, Notifier& n);

}  // namespace tolvane::cli
