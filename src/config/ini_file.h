// A read-only INI file with the private-profile reading rules.
//
// - Section and key names are case-insensitive (ASCII letters).
// - The first section of a name is the one that counts; the lines of a later
//   section with the same name are ignored. Within a section the first
//   occurrence of a key wins.
// - A line whose first non-blank character is ';' is a comment. Lines without
//   '=' and lines before the first section are ignored.
// - Spaces and tabs around names and values are trimmed; a value enclosed in a
//   matching pair of double or single quotes loses them.
// - A missing or unreadable file behaves like a file without keys.
// - Lines end at LF, CR or a NUL byte. A UTF-8 byte-order mark is skipped; a
//   file starting with a UTF-16 byte-order mark is converted to UTF-8.
//
// Loading is one linear pass. Hostile files are bounded: at most kMaxFileBytes
// are read and at most kMaxEntries distinct keys are kept (real files hold a
// few thousand); the rest of such a file is ignored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tolvane {

class IniFile {
 public:
  static constexpr size_t kMaxFileBytes = 64u * 1024 * 1024;
  static constexpr size_t kMaxEntries = 1u << 16;

  // Reads `path`; returns false (and holds no keys) when it cannot be read.
  bool Load(const std::string& path);
  // Parses text already in memory (replaces what was loaded before).
  void LoadText(std::string_view text);

  // The value of a key as stored (trimmed, quotes removed), or none.
  std::optional<std::string_view> Find(std::string_view section, std::string_view key) const;

  // The value cut to at most bufChars - 1 characters (UTF-8 sequences count
  // as one character, as the wide characters of a buffer would); `def` when
  // the key is missing.
  std::string GetString(std::string_view section, std::string_view key, std::string_view def,
                        size_t bufChars) const;

  // The private-profile integer reader: the key missing or its value empty
  // gives `def`; otherwise leading blanks are skipped, an optional '+' or '-'
  // is taken, then leading decimal digits are read (wrapping modulo 2^32) and
  // reading stops at the first other character. So "12px" is 12, "abc" is 0,
  // "0x20" is 0 and "-1" is 0xFFFFFFFF.
  uint32_t GetInt(std::string_view section, std::string_view key, uint32_t def) const;

  size_t SectionCount() const { return sections_.size(); }
  size_t EntryCount() const { return entries_; }

 private:
  struct Section {
    std::unordered_map<std::string, std::string> keys;
  };
  std::unordered_map<std::string, Section> sections_;
  size_t entries_ = 0;
};

// The integer rule of IniFile::GetInt applied to a text (no default case).
uint32_t ProfileInt(std::string_view text);

// Whether `a` and `b` are equal but for the case of ASCII letters, the rule
// of section and key names (and of charset names).
bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b);

// Cuts `s` to at most `maxChars` characters without splitting a UTF-8
// sequence.
std::string CutChars(std::string_view s, size_t maxChars);

// Comma-separated numbers in base 10 or 16: at most `maxCount` of them, read
// from the text cut to rawBufChars - 1 characters. Reading stops at the first
// token that is not entirely a number (blanks around a token are allowed; a
// sign is allowed; base 16 tokens may carry "0x"). Magnitudes saturate at
// 2^32 so no token can overflow.
std::vector<int64_t> ParseNumberList(std::string_view text, size_t maxCount, int base,
                                     size_t rawBufChars = 259);

}  // namespace tolvane
