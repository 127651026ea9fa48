#include "macro/hd_macro.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "../support/guarded_bytes.h"
#include "support/log_capture.h"

namespace tolvane {
namespace {

StMacro NewMacro(std::string_view name = "m") {
  StMacro m{};
  m.dwMagicNumber = kMacroMagic;
  m.bAutoDelay = 1;
  m.wRepeat = 1;
  SetMacroName(m, name);
  return m;
}

void Add(StMacro& m, int i, uint16_t code, uint16_t flag, uint32_t delay) {
  m.stEvents[i] = MacroEvent{code, flag, delay};
}

// Sum of the count byte, the events and the checksum byte, modulo 256.
uint8_t CheckedSum(const HdMacro& h, size_t len) {
  uint8_t s = 0;
  for (size_t i = 31; i <= len; ++i) s = uint8_t(s + h.Bytes()[i]);
  return s;
}

class HdMacroLog : public ::testing::Test {
 protected:
  bool Logged(const std::string& line) const {
    const std::vector<std::string> lines = log_.Lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  test::LogCapture log_;
};

TEST(HdMacro, EmptyMacroIsA36ByteWriteWithChecksum55) {
  StMacro m = NewMacro("AB");
  HdMacro h;
  EXPECT_EQ(StMacro_To_HdMacro(m, h), 32u);
  EXPECT_EQ(h.bEventCount, 0);
  EXPECT_EQ(h.bNameLen, 0);

  std::memset(&h, 0xEE, sizeof h);
  ASSERT_EQ(BuildHdMacroRecord(m, h, 2, 5), 36u);
  const uint8_t* b = h.Bytes();
  EXPECT_EQ(b[31], 0);
  EXPECT_EQ(b[32], 0x55);
  EXPECT_EQ(b[33] | b[34] | b[35], 0);
  EXPECT_EQ(b[0], 4);
  EXPECT_EQ(b[1], 'A');
  EXPECT_EQ(b[2], 0);
  EXPECT_EQ(b[3], 'B');
  EXPECT_EQ(b[4], 0);
  EXPECT_EQ(b[5], 0);  // unused name bytes are cleared
}

TEST(HdMacro, EventsAreEncodedByKind) {
  StMacro m = NewMacro();
  Add(m, 0, 0x11, kEventPress, 10);      // side-neutral Ctrl -> left Ctrl
  Add(m, 1, 0x41, kEventPress, 0x0102);  // A
  Add(m, 2, 0x41, kEventRelease, 0);
  Add(m, 3, kMouseForward, kEventPress, 5);
  Add(m, 4, kMouseBack, kEventRelease, 5);
  Add(m, 5, uint16_t(0xFE | (0x03 << 8)), kEventMove, 7);  // x -2, y 3
  Add(m, 6, 0xA5, kEventRelease, 1);    // right Alt
  Add(m, 7, 0x0D, kEventPress, 1);      // Enter, not keypad Enter
  HdMacro h;
  ASSERT_EQ(StMacro_To_HdMacro(m, h), 32u + 5 * 8);
  const std::vector<uint8_t> want = {
      8,
      0x80, 0x01, 0, 0, 10,    0x81, 0x04, 0, 1, 2,    0x41, 0x04, 0, 0, 0,
      0x84, 0x10, 0, 0, 5,     0x44, 0x08, 0, 0, 5,    0x05, 0xFE, 0x03, 0, 7,
      0x40, 0x40, 0, 0, 1,     0x81, 0x28, 0, 0, 1};
  EXPECT_EQ(std::vector<uint8_t>(h.Bytes() + 31, h.Bytes() + 31 + want.size()), want);
  EXPECT_EQ(h.Bytes()[31 + want.size()], 0);
}

TEST(HdMacro, ListEndsAtFirstEmptyEventAndLongDelaysKeepLow16Bits) {
  StMacro m = NewMacro();
  Add(m, 0, 0x41, kEventPress, 0x12345);
  Add(m, 1, 0x41, kEventRelease, 70000);
  Add(m, 2, 0, kEventPress, 0);  // code and delay 0: the end, whatever the flag
  Add(m, 3, 0x42, kEventPress, 1);
  HdMacro h;
  ASSERT_EQ(StMacro_To_HdMacro(m, h), 42u);
  EXPECT_EQ(h.bEventCount, 2);
  EXPECT_EQ(h.bData[3], 0x23);
  EXPECT_EQ(h.bData[4], 0x45);
  EXPECT_EQ(h.bData[8], uint8_t(70000 >> 8));
  EXPECT_EQ(h.bData[9], uint8_t(70000 & 0xFF));
  // A delay of its own keeps an event with code 0 in the list.
  Add(m, 2, 0, kEventPress, 3);
  EXPECT_EQ(StMacro_To_HdMacro(m, h), 52u);
}

TEST(HdMacro, SeventyEventsFillTheRecordWithoutTerminator) {
  StMacro m = NewMacro();
  for (int i = 0; i < kMacroEventSlots; ++i)
    Add(m, i, 0x41 + i % 26, uint16_t(i % 2 ? kEventRelease : kEventPress), 1000 + i);
  HdMacro h;
  ASSERT_EQ(BuildHdMacroRecord(m, h, 0, 15), 383u);  // 91 events given, 70 kept
  EXPECT_EQ(h.bEventCount, 70);
  EXPECT_EQ(CheckedSum(h, 382), 0x55);
  EXPECT_EQ(h.Bytes()[383], 0);

  for (int i = 69; i < kMacroEventSlots; ++i) m.stEvents[i] = {};
  ASSERT_EQ(BuildHdMacroRecord(m, h, 0, 15), 381u);  // 69: room for the terminator
  EXPECT_EQ(h.bEventCount, 69);
  EXPECT_EQ(CheckedSum(h, 377), 0x55);
  EXPECT_EQ(h.Bytes()[378] | h.Bytes()[379] | h.Bytes()[380], 0);
}

TEST(HdMacro, NameIsNotCoveredByChecksumAndKeepsFifteenUnits) {
  StMacro a = NewMacro("x");
  StMacro b = NewMacro("abcdefghijklmnopqrst");  // 20 characters
  Add(a, 0, 0x20, kEventPress, 4);
  b.stEvents[0] = a.stEvents[0];
  HdMacro ha, hb;
  ASSERT_EQ(BuildHdMacroRecord(a, ha, 0, 0), BuildHdMacroRecord(b, hb, 0, 0));
  EXPECT_EQ(ha.Bytes()[37], hb.Bytes()[37]);
  EXPECT_EQ(hb.bNameLen, 30);
  EXPECT_EQ(hb.szName[28], 'o');
  EXPECT_EQ(hb.bEventCount, 1);  // the name stops before the count byte

  StMacro back{};
  SetMacroNameFromRecord(back, {hb.szName, sizeof hb.szName});
  EXPECT_EQ(GetMacroName(back), "abcdefghijklmno");
  // The name ends at the first 0 unit; a short name area is not read past.
  const uint8_t bytes[] = {'h', 0, 'i', 0, 0, 0, 'z', 0};
  SetMacroNameFromRecord(back, bytes);
  EXPECT_EQ(GetMacroName(back), "hi");
  SetMacroNameFromRecord(back, std::span<const uint8_t>(bytes, 3));
  EXPECT_EQ(GetMacroName(back), "h");
}

TEST(HdMacro, Utf8NamesAreStoredAsUtf16AndShortenedWhole) {
  StMacro m{};
  EXPECT_TRUE(SetMacroName(m, "Grüße \xF0\x9F\x98\x80"));  // U+1F600 needs two units
  EXPECT_EQ(m.szName[2], 0xFC);
  EXPECT_EQ(m.szName[6], 0xD83D);
  EXPECT_EQ(m.szName[7], 0xDE00);
  EXPECT_EQ(m.szName[8], 0);
  EXPECT_EQ(GetMacroName(m), "Grüße \xF0\x9F\x98\x80");

  EXPECT_FALSE(SetMacroName(m, std::string(50, 'q')));
  EXPECT_EQ(GetMacroName(m), std::string(39, 'q'));
  EXPECT_EQ(m.szName[39], 0);
  // 38 units and a pair: the pair does not fit and is not split.
  EXPECT_FALSE(SetMacroName(m, std::string(38, 'q') + "\xF0\x9F\x98\x80"));
  EXPECT_EQ(GetMacroName(m), std::string(38, 'q'));
  EXPECT_EQ(m.szName[38], 0);

  EXPECT_TRUE(SetMacroName(m, "a\xFF" "b\xE2\x82"));  // broken UTF-8
  EXPECT_EQ(GetMacroName(m), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD\xEF\xBF\xBD");
  // A full name area without terminator and a lone surrogate.
  for (auto& u : m.szName) u = 'z';
  m.szName[3] = 0xDC00;
  std::string s = GetMacroName(m);
  EXPECT_EQ(s.size(), 39u + 3u);
  EXPECT_EQ(s.substr(3, 3), "\xEF\xBF\xBD");
}

TEST(HdMacro, PlayByteBothWays) {
  StMacro m = NewMacro();
  m.wRepeat = 0x1234;
  EXPECT_EQ(MacroPlayByte(m), 0x34);
  m.nLoopMode = 1;
  EXPECT_EQ(MacroPlayByte(m), 0xFF);
  m.nLoopMode = 2;
  EXPECT_EQ(MacroPlayByte(m), 0xFE);

  SetMacroPlayByte(m, 0xFF);
  EXPECT_EQ(uint32_t(m.nLoopMode), 1u);
  EXPECT_EQ(int(m.wRepeat), 0x1234);  // the count stays for loop modes 1 and 2
  SetMacroPlayByte(m, 0xFE);
  EXPECT_EQ(uint32_t(m.nLoopMode), 2u);
  SetMacroPlayByte(m, 0xFD);
  EXPECT_EQ(uint32_t(m.nLoopMode), 0u);
  EXPECT_EQ(int(m.wRepeat), 0xFD);
}

TEST(HdMacro, RoundTripKeepsEventsButLastDelayAndSideNeutralCodes) {
  StMacro m = NewMacro("rt");
  m.dwID = 0x123456;
  const MacroEvent evs[] = {
      {0x10, kEventPress, 30},   {0x12, kEventPress, 40},  {0x5C, kEventPress, 1},
      {0x6E, kEventPress, 2},    {0xBA, kEventRelease, 3}, {kMouseLeft, kEventPress, 4},
      {kMouseRight, kEventRelease, 5}, {kMouseMiddle, kEventPress, 6},
      {uint16_t(0x80 | 0x7F << 8), kEventMove, 65535},     {0x0D, kEventRelease, 900}};
  for (size_t i = 0; i < std::size(evs); ++i) m.stEvents[i] = evs[i];
  HdMacro h;
  StMacro_To_HdMacro(m, h);
  StMacro back;
  std::memset(&back, 0xAB, sizeof back);
  ASSERT_TRUE(HdMacro_To_StMacro(back, {h.Bytes() + 31, kHdMacroSize - 31}, 0x777));
  EXPECT_EQ(uint32_t(back.dwMagicNumber), kMacroMagic);
  EXPECT_EQ(uint32_t(back.dwID), 0x777u);
  EXPECT_EQ(uint32_t(back.bAutoDelay), 1u);
  EXPECT_EQ(uint32_t(back.nLoopMode), 0u);
  EXPECT_EQ(uint32_t(back.dwDirty), 0u);
  EXPECT_EQ(back.szName[0], 0);
  const uint16_t wantCode[] = {0xA0, 0xA4, 0x5C, 0x6E, 0xBA, kMouseLeft, kMouseRight,
                               kMouseMiddle, uint16_t(0x80 | 0x7F << 8), 0x0D};
  for (size_t i = 0; i < std::size(evs); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(back.stEvents[i].wCode, wantCode[i]);
    EXPECT_EQ(back.stEvents[i].wFlag, evs[i].wFlag);
    EXPECT_EQ(uint32_t(back.stEvents[i].dwDelay), i + 1 < std::size(evs) ? evs[i].dwDelay : 0u);
  }
  EXPECT_EQ(back.stEvents[std::size(evs)].wCode, 0);
  EXPECT_EQ(uint32_t(back.stEvents[std::size(evs)].dwDelay), 0u);
}

TEST_F(HdMacroLog, BadEventsAreLoggedAndLeaveZeroCodes) {
  const uint8_t rec[] = {7,
                         0x82, 0x04, 0, 0, 1,   // type 2: not a macro event
                         0x01, 0x04, 0, 0, 2,   // no direction bits
                         0x84, 0x03, 0, 0, 3,   // mouse bit pattern of no button
                         0x80, 0x03, 0, 0, 4,   // two modifier bits at once
                         0x41, 0xFA, 0, 0, 5,   // usage without virtual key
                         0xC1, 0x04, 0, 0, 6,   // both direction bits
                         0x47, 0x04, 0, 0, 7};  // type 7
  StMacro m;
  ASSERT_TRUE(HdMacro_To_StMacro(m, rec, 1));
  EXPECT_EQ(m.stEvents[0].wCode, 0);
  EXPECT_EQ(m.stEvents[0].wFlag, kEventPress);
  EXPECT_EQ(m.stEvents[1].wCode, 0x41);
  EXPECT_EQ(m.stEvents[1].wFlag, 0);
  EXPECT_EQ(m.stEvents[2].wCode, 0);
  EXPECT_EQ(m.stEvents[3].wCode, 0);
  EXPECT_EQ(m.stEvents[4].wCode, 0);
  EXPECT_EQ(m.stEvents[5].wCode, 0x41);
  EXPECT_EQ(m.stEvents[5].wFlag, 0);
  EXPECT_EQ(m.stEvents[6].wCode, 0);
  EXPECT_EQ(uint32_t(m.stEvents[5].dwDelay), 6u);
  EXPECT_TRUE(Logged("HdMacro_To_StMacro: convert err, nKeyFalg=2"));
  EXPECT_TRUE(Logged("HdMacro_To_StMacro: convert err, nKeyFalg=7"));
  EXPECT_TRUE(Logged("HdMacro_To_StMacro: convert err, i=1"));
  EXPECT_TRUE(Logged("HdMacro_To_StMacro: convert err, i=2, nHid=3"));
  EXPECT_TRUE(Logged("HdMacro_To_StMacro: convert err, i=4, nHid=fa"));

  StMacro s = NewMacro();
  Add(s, 0, 0x07, kEventPress, 1);  // a virtual key without usage
  HdMacro h;
  StMacro_To_HdMacro(s, h);
  EXPECT_EQ(h.bData[0], 0x81);
  EXPECT_EQ(h.bData[1], 0);
  EXPECT_TRUE(Logged("StMacro_To_HdMacro: get wrong hid"));
}

TEST(HdMacro, CountByteIsLimitedBySeventyAndByTheBytesGiven) {
  test::GuardedBytes guard(kHdMacroSize);
  std::vector<uint8_t> slot(kHdMacroSize - 31, 0);
  slot[0] = 200;
  for (size_t i = 0; i < 70; ++i) {  // 70 events fill all but the last 2 bytes
    slot[1 + 5 * i] = 0x81;
    slot[2 + 5 * i] = 0x04;
    slot[5 + 5 * i] = 9;
  }
  slot[351] = 0x81;  // the start of a 71st event
  slot[352] = 0x05;
  StMacro m;
  ASSERT_TRUE(HdMacro_To_StMacro(m, guard.Place(slot), 1));
  EXPECT_EQ(m.stEvents[69].wCode, 0x41);
  EXPECT_EQ(uint32_t(m.stEvents[68].dwDelay), 9u);
  EXPECT_EQ(uint32_t(m.stEvents[69].dwDelay), 0u);  // last event
  EXPECT_EQ(m.stEvents[70].wCode, 0);

  // Only 3 whole events after the count byte: 3 are read, the third is last.
  ASSERT_TRUE(HdMacro_To_StMacro(m, guard.Place(std::span(slot).first(1 + 5 * 3 + 4)), 1));
  EXPECT_EQ(m.stEvents[2].wCode, 0x41);
  EXPECT_EQ(uint32_t(m.stEvents[1].dwDelay), 9u);
  EXPECT_EQ(uint32_t(m.stEvents[2].dwDelay), 0u);
  EXPECT_EQ(m.stEvents[3].wCode, 0);

  std::memset(&m, 0x5A, sizeof m);
  EXPECT_FALSE(HdMacro_To_StMacro(m, std::span<const uint8_t>(), 1));
  EXPECT_EQ(uint32_t(m.dwMagicNumber), 0x5A5A5A5Au);

  std::vector<uint8_t> erased(kHdMacroSize - 31, 0xFF);  // an erased slot
  ASSERT_TRUE(HdMacro_To_StMacro(m, guard.Place(erased), 1));
  EXPECT_EQ(m.stEvents[69].wCode, 0);
  EXPECT_EQ(uint32_t(m.stEvents[68].dwDelay), 0xFFFFu);
}

TEST(HdMacro, DecodingArbitraryBytesStaysInsideThem) {
  test::GuardedBytes guard(kHdMacroSize);
  std::mt19937 rng(12345);
  std::vector<uint8_t> bytes(kHdMacroSize);
  StMacro m;
  for (int round = 0; round < 3000; ++round) {
    const size_t len = rng() % (kHdMacroSize + 1);
    for (auto& b : bytes) b = uint8_t(rng());
    if (round % 3 == 0 && len > 0) bytes[0] = uint8_t(200 + rng() % 56);
    auto span = guard.Place(std::span(bytes).first(len));
    HdMacro_To_StMacro(m, span, 1);
    SetMacroNameFromRecord(m, span);
    const size_t events = len ? std::min<size_t>({bytes[0], 70, (len - 1) / 5}) : 0;
    for (size_t i = events; i < kMacroEventSlots && len; ++i)
      ASSERT_EQ(m.stEvents[i].wCode | m.stEvents[i].wFlag | m.stEvents[i].dwDelay, 0u);
    // What was decoded encodes again inside one record.
    HdMacro h;
    ASSERT_LE(BuildHdMacroRecord(m, h, 0, 0), kHdMacroSize);
  }
}

TEST(HdMacro, TimeIdsFollowTheClockAndDifferInARow) {
  using Clock = std::chrono::steady_clock;
  const auto t0 = Clock::now();
  const std::time_t before = std::time(nullptr);
  const uint32_t a = MakeTimeId();
  const uint32_t b = MakeTimeId();
  const std::time_t after = std::time(nullptr);
  EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(40));
  EXPECT_NE(a, b);
  EXPECT_EQ(a >> 24, 0u);
  // Hour, minute and second come from the local time of the call.
  bool match = false;
  for (std::time_t t = before; t <= after; ++t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    match |= (TimeId(tm.tm_hour, tm.tm_min, tm.tm_sec, 0) >> 8) == (a >> 8);
  }
  EXPECT_TRUE(match);
  // Only the low four bits of the hour are kept.
  EXPECT_EQ(TimeId(3, 59, 59, 999), TimeId(19, 59, 59, 999));
  EXPECT_NE(TimeId(3, 59, 59, 999), TimeId(4, 59, 59, 999));
  EXPECT_EQ(TimeId(15, 59, 59, 0x1FF), 0xFEFBFFu);
}

}  // namespace
}  // namespace tolvane
