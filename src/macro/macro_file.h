// Macro files (.qxm): one StMacro, every byte rotated right by 2 bits, and
// the file operations the library needs.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/atomic_file.h"
#include "records/st_macro.h"

namespace tolvane {

constexpr size_t kMacroFileSize = sizeof(StMacro);  // 834
constexpr const char* kMacroExtension = ".qxm";

inline uint8_t RotateToFile(uint8_t b) { return static_cast<uint8_t>((b >> 2) | (b << 6)); }
inline uint8_t RotateFromFile(uint8_t s) { return static_cast<uint8_t>((s << 2) | (s >> 6)); }

std::array<uint8_t, kMacroFileSize> EncodeMacroFile(const StMacro& m);
StMacro DecodeMacroFile(const uint8_t* bytes);  // kMacroFileSize bytes

// Events before the end of the list (the first event whose code and delay are
// both 0), never more than the 91 slots of the record.
int MacroEventCount(const StMacro& m);

enum class MacroFileStatus { Ok, OpenFailed, ReadFailed, BadMagic };

struct MacroFileRead {
  MacroFileStatus status = MacroFileStatus::OpenFailed;
  int error = 0;  // errno of a failed open or read (0 for a short file)
  StMacro macro{};
};

// Reads the first 834 bytes of `path` (only regular files; a longer file is
// fine). A short file is ReadFailed with error 0.
MacroFileRead ReadMacroFile(const std::string& path);

// Writes the encoded macro to `path` through WriteFileReplacing.
int WriteMacroFile(const std::string& path, const StMacro& m);

// Copies `from` to `to` replacing `to` only when the copy is complete.
// Returns 0 or an errno.
int CopyFileReplacing(const std::string& from, const std::string& to);

// Moves a file or folder; never replaces an existing target (EEXIST).
// Returns 0 or an errno.
int MoveNoReplace(const std::string& from, const std::string& to);

// Deletes a folder with its files and with its subfolders whose names do not
// begin with '.' or '$' (links are removed, never followed). Returns 0 or the
// errno that stopped it; logs "DeleteFile %s, err=%d" for a file that could
// not be deleted.
int DeleteFolderTree(const std::string& path);

// True for a regular file that starts with the PNG signature.
bool LooksLikePng(const std::string& path);

}  // namespace tolvane
