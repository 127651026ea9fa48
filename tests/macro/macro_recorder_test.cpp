#include "macro/macro_recorder.h"

#include <gtest/gtest.h>

#include "macro/hd_macro.h"

namespace tolvane {
namespace {

using K = EventKind;
using Rows = std::vector<EventNode>;

RecordedKey Down(uint32_t vk, uint64_t t, KeySide side = KeySide::Unknown) { return {vk, side, t, true, false}; }
RecordedKey Up(uint32_t vk, uint64_t t) { return {vk, KeySide::Unknown, t, false, false}; }

class Recording : public ::testing::Test {
 protected:
  explicit Recording(MacroDelayLimits limits = {}) : editor_(limits), recorder_(editor_) {
    StMacro m{};
    m.dwMagicNumber = kMacroMagic;
    m.stEvents[0] = {0x51, 1, 0};  // replaced by the recording
    editor_.Show(m);
    EXPECT_EQ(recorder_.Start(), EditStatus::Done);
  }
  void Taps(int n) {
    for (int i = 0; i < n; ++i) {
      ASSERT_EQ(recorder_.Key(Down(0x41, 100 * i)), RecordStatus::Recorded);
      ASSERT_EQ(recorder_.Key(Up(0x41, 100 * i + 50)), RecordStatus::Recorded);
    }
  }
  MacroEditor editor_;
  MacroRecorder recorder_;
};

TEST_F(Recording, HeldKeyRecordsOnePressAndOneReleaseWhateverTheRepeatStyle) {
  recorder_.Key(Down(0x41, 1000));  // repeated presses
  for (uint64_t t = 1500; t < 2000; t += 33) EXPECT_EQ(recorder_.Key(Down(0x41, t)), RecordStatus::Repeat);
  recorder_.Key(Up(0x41, 2100));
  recorder_.Key(Down(0x42, 3000));  // release + press pairs with one timestamp
  for (uint64_t t = 3500; t < 4000; t += 33) {
    recorder_.Key(Up(0x42, t));
    EXPECT_EQ(recorder_.Key(Down(0x42, t)), RecordStatus::Repeat);
  }
  recorder_.Key(Up(0x42, 4200));
  recorder_.Key(Down(0x43, 5000));  // events the platform marks as repeats
  EXPECT_EQ(recorder_.Key({0x43, KeySide::Unknown, 5500, false, true}), RecordStatus::Repeat);
  recorder_.Key(Up(0x43, 5600));
  recorder_.Key(Down(0x43, 5700));  // a new stroke at another time
  EXPECT_EQ(editor_.Events(), (Rows{{K::Press, 0x41}, {K::Delay, 1100}, {K::Release, 0x41}, {K::Delay, 900},
                                    {K::Press, 0x42}, {K::Delay, 1200}, {K::Release, 0x42}, {K::Delay, 800},
                                    {K::Press, 0x43}, {K::Delay, 600}, {K::Release, 0x43}, {K::Delay, 100},
                                    {K::Press, 0x43}}));
}

TEST_F(Recording, ModifiersRecordTheirSide) {
  recorder_.Key(Down(0x11, 10, KeySide::Right));
  recorder_.Key(Down(0x11, 10, KeySide::Left));
  recorder_.Key(Down(0x12, 10, KeySide::Right));
  recorder_.Key(Down(0xA1, 10));  // a side-specific code without a side
  EXPECT_EQ(editor_.Events(), (Rows{{K::Press, 0xA3}, {K::Press, 0x11}, {K::Press, 0xA5}, {K::Press, 0xA1}}));
  // On the mouse: right Ctrl, then left Ctrl.
  recorder_.Stop();
  StMacro rec{};
  editor_.Commit(rec);
  HdMacro h{};
  StMacro_To_HdMacro(rec, h);
  EXPECT_EQ(std::vector<uint8_t>(h.bData, h.bData + 7), (std::vector<uint8_t>{0x80, 0x10, 0, 0, 0, 0x80, 0x01}));
}

TEST_F(Recording, DelaysLieBetweenMinUIDelayAnd65535) {
  recorder_.Key(Down(0x41, 1000));
  recorder_.Key(Down(0x42, 1000));    // same tick: no delay
  recorder_.Key(Down(0x43, 1005));    // 5 ms stays 5, also when saved
  recorder_.Key(Down(0x44, 901005));  // capped
  recorder_.Key(Down(0x45, 900000));  // the clock went back: no delay
  EXPECT_EQ(editor_.Events(), (Rows{{K::Press, 0x41}, {K::Press, 0x42}, {K::Delay, 5}, {K::Press, 0x43},
                                    {K::Delay, 65535}, {K::Press, 0x44}, {K::Press, 0x45}}));
  recorder_.Stop();
  StMacro rec{};
  editor_.Commit(rec);
  EXPECT_EQ(uint32_t{rec.stEvents[1].dwDelay}, 5u);


  ASSERT_EQ(editor_.ToggleAutoDelay(), EditStatus::Done);
  recorder_.Start();
  EXPECT_EQ(editor_.ToggleAutoDelay(), EditStatus::Recording);
  recorder_.Key(Down(0x41, 0));
  recorder_.Key(Up(0x41, 300));
  EXPECT_EQ(editor_.Events(), (Rows{{K::Press, 0x41}, {K::Release, 0x41}}));  // switch off: no delays
}

TEST_F(Recording, SeventyEventsCountKeysNotDelaysAndNeverEndWithAKeyDown) {
  Taps(34);
  EXPECT_EQ(editor_.Events().size(), 135u);
  EXPECT_EQ(recorder_.Key(Down(0x10, 9000)), RecordStatus::Recorded);  // Shift held: 69 rows
  EXPECT_EQ(recorder_.Key(Down(0x42, 9010)), RecordStatus::Full);      // its release would not fit
  EXPECT_EQ(recorder_.Key(Up(0x42, 9020)), RecordStatus::Full);        // nor may a stray release take Shift's row
  EXPECT_EQ(recorder_.Key(Up(0x10, 9030)), RecordStatus::Recorded);
  EXPECT_EQ(editor_.CountedEvents(), 70);
  EXPECT_EQ(recorder_.Key(Down(0x10, 9030)), RecordStatus::Repeat);  // a repeat pair is still taken back
  EXPECT_EQ(editor_.CountedEvents(), 69);
}

TEST_F(Recording, StartForgetsTheLastKeyAndStopMarksBothBits) {
  EXPECT_TRUE(editor_.Events().empty());
  EXPECT_EQ(editor_.InsertKey(0x41, true), EditStatus::Recording);
  recorder_.Key(Down(0x41, 100));  // still held when the recording stops
  recorder_.Stop();
  EXPECT_EQ(editor_.Dirty(), kMacroDirtySettings | kMacroDirtyEvents);
  EXPECT_EQ(recorder_.Key(Down(0x42, 200)), RecordStatus::NotRecording);
  ASSERT_EQ(recorder_.Start(), EditStatus::Done);
  EXPECT_EQ(recorder_.Key(Down(0x41, 300)), RecordStatus::Recorded);

  MacroEditor empty;
  EXPECT_EQ(MacroRecorder(empty).Start(), EditStatus::NoMacro);
}

}  // namespace
}  // namespace tolvane
