// Hand-written JSON output of tolvanectl.
#pragma once

#include <string>
#include <string_view>

namespace tolvane::cli {

// `s` as a quoted JSON string: quotes, backslashes and control characters
// escaped, valid UTF-8 passed through, invalid bytes replaced by U+FFFD.
std::string JsonString(std::string_view s);

}  // namespace tolvane::cli
