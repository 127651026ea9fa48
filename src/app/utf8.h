// UTF-8: the one encoder and decoder of code points the program uses (texts,
// INI and XML files, macro names, the JSON of desktop settings).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane {

// Appends code point `cp` (up to U+10FFFF) in UTF-8.
void AppendUtf8(std::string& out, uint32_t cp);

// The code point at s[i], advancing `i` past it. An invalid, overlong or
// truncated sequence and an encoded surrogate give U+FFFD and advance by one
// byte. `i` must be below s.size().
uint32_t NextCodePoint(std::string_view s, size_t& i);

// The length of the valid UTF-8 sequence at s[i] (1 for ASCII), or 0 where
// NextCodePoint would give U+FFFD for an invalid byte. `i` must be below
// s.size().
size_t Utf8SequenceLength(std::string_view s, size_t i);

// Every code point of `s`, decoded as NextCodePoint does.
std::vector<uint32_t> CodePoints(std::string_view s);

}  // namespace tolvane
