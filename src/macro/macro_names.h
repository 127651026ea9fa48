// Macro names: the name rule for names the user types, safe file names for
// names that come from files, profile exports or a device, and the
// case-insensitive comparison of the library.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "records/st_macro.h"

namespace tolvane {

// The eleven characters a typed macro or folder name may not contain.
constexpr std::string_view kForbiddenNameChars = "/\\?+=-*&%!#";

// Applies the name rule to a typed name: refused (false) when it holds a
// forbidden character, a control character, or nothing usable once
// everything from its last '.' on is cut ("", "." and ".."). On success
// `out` is the name without that tail.
bool AcceptTypedName(std::string_view name, std::string& out);

// Turns a name from outside (a macro file's title, a profile export, a
// device's EEPROM) into one that is safe as the last component of a path
// inside the library: separators and control characters become '_',
// invalid UTF-8 is replaced, the name keeps at most 39 UTF-16 units, and an
// empty name, "." or ".." becomes "Macro"; a leading '.' (a hidden file)
// becomes '_'.
std::string SafeMacroFileName(std::string_view name);

// Case-insensitive equality of two UTF-8 names (ASCII, Latin-1, Greek and
// Cyrillic letters fold), compared over at most `maxUnits` UTF-16 units.
bool SameNameNoCase(std::string_view a, std::string_view b, size_t maxUnits = SIZE_MAX);

// Number of UTF-16 units `name` takes.
size_t Utf16Length(std::string_view name);

// Keeps at most `maxUnits` UTF-16 units of `name` without splitting a
// character.
std::string TruncateUnits(std::string_view name, size_t maxUnits);

}  // namespace tolvane
