// The folders and texts of commands that work on local files.
#pragma once

#include "cli/cli.h"

namespace tolvane::cli {

// Sets UserDataDir from --user-dir, or to the XDG default with the folder
// "Tolvane" when it is not set yet, and creates the folder when missing.
// False, after the one-line message, when it is not a usable folder (a
// regular file, say).
bool EnsureUserDataDir(const CliContext& ctx);

// False, after the one-line message, when UserDataDir is not a folder.
bool CheckUserDataDir();

// Chooses ProgramDir (--data-dir, else the usual search) when it is not set
// yet or --data-dir is given, and loads its default text.xml into Texts()
// unless that file is already loaded.
void EnsureTexts(const CliContext& ctx);

}  // namespace tolvane::cli
