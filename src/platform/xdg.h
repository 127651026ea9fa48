// Folders of the XDG base-directory and user-dirs conventions.
#pragma once

#include <string>

namespace tolvane::platform {

// $HOME, or the password database entry when HOME is unset.
std::string HomeDir();

// $XDG_DATA_HOME, default ~/.local/share. No trailing separator.
std::string DataHome();

// $XDG_CONFIG_HOME, default ~/.config. No trailing separator.
std::string ConfigHome();

// $XDG_CACHE_HOME, default ~/.cache. No trailing separator.
std::string CacheHome();
// The desktop folder: XDG_DESKTOP_DIR from $XDG_CONFIG_HOME/user-dirs.dirs,
// else ~/Desktop. No trailing separator.
std::string DesktopDir();

// $XDG_RUNTIME_DIR when it is set and usable, else a per-user folder under
// /tmp ("/tmp/tolvane-<uid>", created with mode 0700). No trailing separator.
std::string RuntimeDir();

// Folder of the running executable, from /proc/self/exe. No trailing separator;
// empty when it cannot be read.
std::string ExecutableDir();

// True when `path` names an existing directory.
bool IsDirectory(const std::string& path);

// True when `path` names an existing regular file.
bool IsFile(const std::string& path);

}  // namespace tolvane::platform
