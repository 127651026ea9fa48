// Reads of user and installation files take regular files only: a FIFO,
// device node or socket put in place of one (lang.ini, text.xml, cfg.ini)
// must neither block the program nor be read.
#pragma once

#include <string>

namespace tolvane {

// True when `path` names a regular file (links followed). Looks at the file
// without opening it, so it never blocks.
bool IsRegularFile(const std::string& path);

}  // namespace tolvane
