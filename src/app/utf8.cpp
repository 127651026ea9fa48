#include "app/utf8.h"

namespace tolvane {

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | (cp >> 18));
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

uint32_t NextCodePoint(std::string_view s, size_t& i) {
  const auto b = [&](size_t k) { return uint8_t(s[k]); };
  const uint8_t c = b(i);
  if (c < 0x80) {
    ++i;
    return c;
  }
  const size_t len = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 && c < 0xF0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
  if (len == 0 || i + len > s.size()) {
    ++i;
    return 0xFFFD;
  }
  uint32_t cp = c & (0x7F >> len);
  for (size_t k = 1; k < len; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) {
      ++i;
      return 0xFFFD;
    }
    cp = cp << 6 | (b(i + k) & 0x3F);
  }
  if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
      (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))) {
    ++i;
    return 0xFFFD;
  }
  i += len;
  return cp;
}

size_t Utf8SequenceLength(std::string_view s, size_t i) {
  size_t next = i;
  const uint32_t cp = NextCodePoint(s, next);
  // An invalid byte is one step to U+FFFD; an encoded U+FFFD takes three.
  if (cp == 0xFFFD && next == i + 1) return 0;
  return next - i;
}

std::vector<uint32_t> CodePoints(std::string_view s) {
  std::vector<uint32_t> cps;
  for (size_t i = 0; i < s.size();) cps.push_back(NextCodePoint(s, i));
  return cps;
}

}  // namespace tolvane
