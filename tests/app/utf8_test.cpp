#include "app/utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tolvane {
namespace {

std::vector<uint32_t> Decode(std::string_view s) {
  std::vector<uint32_t> out;
  for (size_t i = 0; i < s.size();) out.push_back(NextCodePoint(s, i));
  return out;
}

TEST(Utf8, EveryLengthRoundTrips) {
  std::string s;
  for (uint32_t cp : {0x41u, 0x7Fu, 0x80u, 0xE9u, 0x7FFu, 0x800u, 0x20ACu, 0xFFFDu, 0xFFFFu,
                      0x10000u, 0x1F600u, 0x10FFFFu})
    AppendUtf8(s, cp);
  EXPECT_EQ(s.size(), 2u * 1 + 3 * 2 + 4 * 3 + 3 * 4);  // 2x1, 3x2, 4x3, 3x4 bytes
  EXPECT_EQ(Decode(s), (std::vector<uint32_t>{0x41, 0x7F, 0x80, 0xE9, 0x7FF, 0x800, 0x20AC,
                                              0xFFFD, 0xFFFF, 0x10000, 0x1F600, 0x10FFFF}));
}

// Each bad sequence costs one replacement character per byte it gives up on,
// and the text after it still decodes.
TEST(Utf8, BadSequencesGiveReplacementCharacters) {
  const uint32_t R = 0xFFFD;
  EXPECT_EQ(Decode("\xC0\x80" "a"), (std::vector<uint32_t>{R, R, 'a'}));         // overlong
  EXPECT_EQ(Decode("\xED\xA0\x80" "a"), (std::vector<uint32_t>{R, R, R, 'a'}));  // surrogate
  EXPECT_EQ(Decode("\xF5\x80\x80" "a"), (std::vector<uint32_t>{R, R, R, 'a'}));  // no lead byte
  EXPECT_EQ(Decode("\xF4\x90\x80\x80"), (std::vector<uint32_t>{R, R, R, R}));    // above U+10FFFF
  EXPECT_EQ(Decode("\xE2\x82"), (std::vector<uint32_t>{R, R}));                  // cut short
  EXPECT_EQ(Decode("\xE2" "a\xAC"), (std::vector<uint32_t>{R, 'a', R}));
}

}  // namespace
}  // namespace tolvane
