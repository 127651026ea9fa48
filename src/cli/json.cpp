#include "cli/json.h"

#include <cstdio>

namespace tolvane::cli {

namespace {

// Length of the valid UTF-8 sequence starting at s[i], or 0.
size_t Utf8Length(std::string_view s, size_t i) {
  const auto b = static_cast<unsigned char>(s[i]);
  size_t n;
  unsigned min;
  unsigned cp;
  if (b >= 0xC2 && b <= 0xDF) n = 2, min = 0x80, cp = b & 0x1F;
  else if (b >= 0xE0 && b <= 0xEF) n = 3, min = 0x800, cp = b & 0x0F;
  else if (b >= 0xF0 && b <= 0xF4) n = 4, min = 0x10000, cp = b & 0x07;
  else return 0;
  if (i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    const auto c = static_cast<unsigned char>(s[i + k]);
    if ((c & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (c & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

}  // namespace

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
    } else if (size_t n = Utf8Length(s, i)) {
      out.append(s.substr(i, n));
      i += n - 1;
    } else {
      out += "\\ufffd";
    }
  }
  return out + "\"";
}

}  // namespace tolvane::cli
