// The one way the program replaces a file it saves (profile stores,
// gSetting.dct, mac.dct, macro files, exports, lang.ini and the other
// settings files, EEPROM images of the virtual mouse), so that a crash or a
// power loss leaves either the old or the new content.
#pragma once

#include <cstddef>
#include <string>

namespace tolvane {

// Creates every missing folder on the way to the file `path`. 1 or 0.
int MakeSureFolderExist(const std::string& path);

// Replaces `path` with `len` bytes: written to a temporary file in the same
// folder (".~<pid>.<n>.<name>"), flushed to disk, renamed over the old file,
// then the folder is flushed so that the rename survives a crash; the old
// content stays until the new one is complete. Missing folders are created unless
// `makeFolders` is false (then ENOENT). Returns 0 or the errno of the step
// that failed; `createFailed` (when given) tells whether the file could not
// even be created.
int WriteFileReplacing(const std::string& path, const void* data, size_t len,
                       bool* createFailed = nullptr, bool makeFolders = true);

// Removes `path` when it is a temporary file of WriteFileReplacing
// (".~<pid>.<n>.<name>") whose process is gone: a save that was killed
// before its rename. True when it was removed.
bool RemoveIfStaleTemp(const std::string& path);

}  // namespace tolvane
