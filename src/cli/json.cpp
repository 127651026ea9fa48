#include "cli/json.h"

#include <cstdio>

#include "app/utf8.h"

namespace tolvane::cli {

std::string JsonString(std::string_view s) {
  std::string out = "\"";
  for (size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    const auto u = static_cast<unsigned char>(c);
    if (c == '"') {
      out += "\\\"";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (u < 0x20 || u == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", u);
      out += buf;
    } else if (u < 0x80) {
      out += c;
    } else if (size_t n = Utf8SequenceLength(s, i)) {
      out.append(s.substr(i, n));
      i += n - 1;
    } else {
      out += "\\ufffd";
    }
  }
  return out + "\"";
}

}  // namespace tolvane::cli
