#include "app/utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tolvane {
namespace {

TEST(Utf8, EveryLengthRoundTrips) {
  std::string s;
  for (uint32_t cp : {0x41u, 0x7Fu, 0x80u, 0xE9u, 0x7FFu, 0x800u, 0x20ACu, 0xFFFDu, 0xFFFFu,
                      0x10000u, 0x1F600u, 0x10FFFFu})
    AppendUtf8(s, cp);
  EXPECT_EQ(s.size(), 2u * 1 + 3 * 2 + 4 * 3 + 3 * 4);  // 2x1, 3x2, 4x3, 3x4 bytes
  EXPECT_EQ(CodePoints(s), (std::vector<uint32_t>{0x41, 0x7F, 0x80, 0xE9, 0x7FF, 0x800, 0x20AC,
                                              0xFFFD, 0xFFFF, 0x10000, 0x1F600, 0x10FFFF}));
}

// Each bad sequence costs one replacement character per byte it gives up on,
// and the text after it still decodes.
TEST(Utf8, BadSequencesGiveReplacementCharacters) {
  const uint32_t R = 0xFFFD;
  EXPECT_EQ(CodePoints("\xC0\x80" "a"), (std::vector<uint32_t>{R, R, 'a'}));         // overlong
  EXPECT_EQ(CodePoints("\xED\xA0\x80" "a"), (std::vector<uint32_t>{R, R, R, 'a'}));  // surrogate
  EXPECT_EQ(CodePoints("\xF5\x80\x80" "a"), (std::vector<uint32_t>{R, R, R, 'a'}));  // no lead byte
  EXPECT_EQ(CodePoints("\xF4\x90\x80\x80"), (std::vector<uint32_t>{R, R, R, R}));    // above U+10FFFF
  EXPECT_EQ(CodePoints("\xE2\x82"), (std::vector<uint32_t>{R, R}));                  // cut short
  EXPECT_EQ(CodePoints("\xE2" "a\xAC"), (std::vector<uint32_t>{R, 'a', R}));
}

// A sequence's length where it is whole; 0 for a byte that starts none, so
// that an encoded U+FFFD is not taken for a bad byte.
TEST(Utf8, SequenceLengthTellsWholeSequencesFromBadBytes) {
  const std::string_view text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xEF\xBF\xBD";
  EXPECT_EQ(Utf8SequenceLength(text, 0), 1u);
  EXPECT_EQ(Utf8SequenceLength(text, 1), 2u);
  EXPECT_EQ(Utf8SequenceLength(text, 3), 3u);
  EXPECT_EQ(Utf8SequenceLength(text, 6), 4u);
  EXPECT_EQ(Utf8SequenceLength(text, 10), 3u);  // U+FFFD itself
  EXPECT_EQ(Utf8SequenceLength(text, 2), 0u);   // a continuation byte
  for (std::string_view bad : {"\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82",
                               "\xF5\x80\x80\x80"})
    EXPECT_EQ(Utf8SequenceLength(bad, 0), 0u) << bad.size();
}

}  // namespace
}  // namespace tolvane
