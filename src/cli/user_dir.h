// The per-user data folder for commands that work on local files.
#pragma once

#include "cli/cli.h"

namespace tolvane::cli {

// Sets UserDataDir from --user-dir, or to the XDG default with the folder
// "Tolvane" when it is not set yet, and creates the folder when missing.
void EnsureUserDataDir(const CliContext& ctx);

}  // namespace tolvane::cli
