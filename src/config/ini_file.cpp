#include "config/ini_file.h"

#include <algorithm>
#include <cstdio>

#include "app/regular_file.h"
#include "app/utf8.h"

namespace tolvane {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return out;
}

// UTF-16 (after its byte-order mark) to UTF-8; lone surrogates become U+FFFD.
std::string Utf16ToUtf8(std::string_view in, bool bigEndian) {
  std::string out;
  out.reserve(in.size());
  auto unit = [&](size_t i) -> uint32_t {
    auto b0 = uint8_t(in[i]), b1 = uint8_t(in[i + 1]);
    return bigEndian ? (uint32_t(b0) << 8 | b1) : (uint32_t(b1) << 8 | b0);
  };
  size_t n = in.size() & ~size_t(1);
  for (size_t i = 0; i < n; i += 2) {
    uint32_t u = unit(i);
    if (u >= 0xD800 && u <= 0xDBFF && i + 3 < n) {
      uint32_t lo = unit(i + 2);
      if (lo >= 0xDC00 && lo <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
        i += 2;
        continue;
      }
    }
    if (u >= 0xD800 && u <= 0xDFFF) u = 0xFFFD;
    AppendUtf8(out, u);
  }
  return out;
}

}  // namespace

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [&](char x, char y) { return lower(x) == lower(y); });
}

std::string CutChars(std::string_view s, size_t maxChars) {
  size_t chars = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if ((uint8_t(s[i]) & 0xC0) == 0x80) continue;  // continuation byte
    if (chars == maxChars) return std::string(s.substr(0, i));
    ++chars;
  }
  return std::string(s);
}

uint32_t ProfileInt(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  uint32_t v = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) v = v * 10u + uint32_t(s[i] - '0');
  return negative ? uint32_t(0u - v) : v;
}

std::vector<int64_t> ParseNumberList(std::string_view text, size_t maxCount, int base,
                                     size_t rawBufChars) {
  std::vector<int64_t> out;
  if (rawBufChars == 0) return out;
  std::string raw = CutChars(text, rawBufChars - 1);
  std::string_view rest(raw);
  constexpr int64_t kCap = int64_t(1) << 32;
  while (out.size() < maxCount && !rest.empty()) {
    size_t comma = rest.find(',');
    std::string_view tok = Trim(rest.substr(0, comma));
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    bool negative = false;
    if (!tok.empty() && (tok[0] == '-' || tok[0] == '+')) {
      negative = tok[0] == '-';
      tok.remove_prefix(1);
    }
    if (base == 16 && tok.size() > 2 && tok[0] == '0' && (tok[1] == 'x' || tok[1] == 'X'))
      tok.remove_prefix(2);
    if (tok.empty()) break;
    int64_t v = 0;
    bool ok = true;
    for (char c : tok) {
      int d;
      if (c >= '0' && c <= '9') d = c - '0';
      else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
      else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
      else { ok = false; break; }
      v = v * base + d;
      if (v > kCap) v = kCap;
    }
    if (!ok) break;
    out.push_back(negative ? -v : v);
  }
  return out;
}

bool IniFile::Load(const std::string& path) {
  sections_.clear();
  entries_ = 0;
  if (!IsRegularFile(path)) return false;  // a FIFO would block the read
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  std::string data;
  if (std::fseek(f, 0, SEEK_END) == 0) {
    long size = std::ftell(f);
    if (size > 0) data.reserve(std::min<size_t>(size_t(size), kMaxFileBytes));
    std::rewind(f);
  }
  char buf[1 << 16];
  size_t got;
  while (data.size() < kMaxFileBytes && (got = std::fread(buf, 1, sizeof buf, f)) > 0)
    data.append(buf, std::min(got, kMaxFileBytes - data.size()));
  std::fclose(f);
  LoadText(data);
  return true;
}

void IniFile::LoadText(std::string_view text) {
  sections_.clear();
  entries_ = 0;
  std::string converted;
  if (text.size() >= 2 && uint8_t(text[0]) == 0xFF && uint8_t(text[1]) == 0xFE) {
    converted = Utf16ToUtf8(text.substr(2), false);
    text = converted;
  } else if (text.size() >= 2 && uint8_t(text[0]) == 0xFE && uint8_t(text[1]) == 0xFF) {
    converted = Utf16ToUtf8(text.substr(2), true);
    text = converted;
  } else if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") {
    text.remove_prefix(3);
  }

  Section* current = nullptr;  // null: before any section or in a duplicate one
  std::string lowerKey;
  const char* p = text.data();
  const char* const stop = p + text.size();
  while (p < stop) {
    const char* end = p;
    while (end < stop && *end != '\n' && *end != '\r' && *end != '\0') ++end;
    std::string_view line = Trim(std::string_view(p, size_t(end - p)));
    p = end + 1;
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      size_t close = line.find(']');
      std::string name = Lower(Trim(line.substr(1, close == std::string_view::npos ? line.npos : close - 1)));
      if (sections_.count(name)) {
        current = nullptr;
      } else if (entries_ < kMaxEntries) {
        current = &sections_[name];
        ++entries_;
      } else {
        current = nullptr;
      }
      continue;
    }
    if (!current) continue;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    std::string_view key = Trim(line.substr(0, eq));
    if (key.empty()) continue;
    std::string_view value = Trim(line.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    if (entries_ >= kMaxEntries) continue;
    lowerKey.assign(key);
    for (char& c : lowerKey)
      if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    if (current->keys.find(lowerKey) != current->keys.end()) continue;  // the first one wins
    current->keys.emplace(lowerKey, std::string(value));
    ++entries_;
  }
}

std::optional<std::string_view> IniFile::Find(std::string_view section, std::string_view key) const {
  auto s = sections_.find(Lower(section));
  if (s == sections_.end()) return std::nullopt;
  auto k = s->second.keys.find(Lower(key));
  if (k == s->second.keys.end()) return std::nullopt;
  return std::string_view(k->second);
}

std::string IniFile::GetString(std::string_view section, std::string_view key, std::string_view def,
                               size_t bufChars) const {
  if (bufChars == 0) return {};
  auto v = Find(section, key);
  return CutChars(v ? *v : def, bufChars - 1);
}

uint32_t IniFile::GetInt(std::string_view section, std::string_view key, uint32_t def) const {
  auto v = Find(section, key);
  if (!v || v->empty()) return def;
  return ProfileInt(*v);
}

}  // namespace tolvane
