#include "macro/macro_names.h"

#include <vector>

#include "app/utf8.h"

namespace tolvane {

namespace {

char32_t FoldCase(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;  // Latin-1
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;  // Greek
  if (c >= 0x410 && c <= 0x42F) return c + 32;  // Cyrillic
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 &&
      c != 0x17F) {
    // Latin Extended-A pairs: even upper / odd lower, shifted at 0x139..0x148
    // and 0x179..0x17E.
    bool shifted = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (shifted ? (c % 2 == 1) : (c % 2 == 0)) return c + 1;
  }
  return c;
}

bool IsControl(char32_t c) { return c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0); }

}  // namespace

size_t Utf16Length(std::string_view name) {
  size_t n = 0;
  for (char32_t cp : CodePoints(name)) n += cp >= 0x10000 ? 2 : 1;
  return n;
}

std::string TruncateUnits(std::string_view name, size_t maxUnits) {
  std::string out;
  size_t units = 0;
  for (char32_t cp : CodePoints(name)) {
    size_t u = cp >= 0x10000 ? 2 : 1;
    if (units + u > maxUnits) break;
    units += u;
    AppendUtf8(out, cp);
  }
  return out;
}

bool AcceptTypedName(std::string_view name, std::string& out) {
  for (char c : name) {
    if (kForbiddenNameChars.find(c) != std::string_view::npos) return false;
  }
  for (char32_t cp : CodePoints(name)) {
    if (IsControl(cp)) return false;
  }
  std::string_view cut = name;
  if (size_t dot = cut.rfind('.'); dot != std::string_view::npos) cut = cut.substr(0, dot);
  if (cut.empty() || cut == "." || cut == "..") return false;
  out = std::string(cut);
  return true;
}

std::string SafeMacroFileName(std::string_view name) {
  std::string out;
  for (char32_t cp : CodePoints(name)) {
    if (cp == '/' || cp == '\\' || IsControl(cp)) cp = '_';
    AppendUtf8(out, cp);
  }
  out = TruncateUnits(out, kMacroNameUnits - 1);
  if (out.empty() || out == "." || out == "..") out = "Macro";
  if (out[0] == '.') out[0] = '_';  // a visible file, not a hidden one
  return out;
}

bool SameNameNoCase(std::string_view a, std::string_view b, size_t maxUnits) {
  const std::vector<uint32_t> ca = CodePoints(a), cb = CodePoints(b);
  size_t units = 0, i = 0;
  for (; i < ca.size() && i < cb.size(); ++i) {
    if (units >= maxUnits) return true;
    if (FoldCase(ca[i]) != FoldCase(cb[i])) return false;
    units += ca[i] >= 0x10000 ? 2 : 1;
  }
  if (units >= maxUnits) return true;
  return ca.size() == cb.size();
}

}  // namespace tolvane
