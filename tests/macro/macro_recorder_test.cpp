#include "macro/macro_recorder.h"

#include <gtest/gtest.h>

#include "macro/hd_macro.h"

namespace tolvane {
namespace {

using K = EventKind;

RecordedKey Down(uint32_t vk, uint64_t t, KeySide side = KeySide::Unknown) {
  return {vk, side, t, true, false};
}
RecordedKey Up(uint32_t vk, uint64_t t, KeySide side = KeySide::Unknown) {
  return {vk, side, t, false, false};
}

class Recording : public ::testing::Test {
 protected:
  explicit Recording(MacroDelayLimits limits = {}) : editor_(limits), recorder_(editor_) {
    StMacro m{};
    m.dwMagicNumber = kMacroMagic;
    m.dwID = 0x10203;
    m.wRepeat = 1;
    m.stEvents[0] = {0x51, 1, 0};  // an old event the recording replaces
    editor_.Show(m);
    EXPECT_EQ(recorder_.Start(), EditStatus::Done);
  }
  const std::vector<EventNode>& Rows() const { return editor_.Events(); }

  MacroEditor editor_;
  MacroRecorder recorder_;
};

TEST_F(Recording, HeldKeyRecordsOnePressAndOneReleaseWhateverTheRepeatStyle) {
  // Repeated presses without releases.
  recorder_.Key(Down(0x41, 1000));
  for (uint64_t t = 1500; t < 2000; t += 33) EXPECT_EQ(recorder_.Key(Down(0x41, t)), RecordStatus::Repeat);
  recorder_.Key(Up(0x41, 2100));
  // Release + press pairs with one timestamp.
  recorder_.Key(Down(0x42, 3000));
  for (uint64_t t = 3500; t < 4000; t += 33) {
    recorder_.Key(Up(0x42, t));
    EXPECT_EQ(recorder_.Key(Down(0x42, t)), RecordStatus::Repeat);
  }
  recorder_.Key(Up(0x42, 4200));
  // Events the platform marks as repeats.
  recorder_.Key(Down(0x43, 5000));
  EXPECT_EQ(recorder_.Key({0x43, KeySide::Unknown, 5500, false, true}), RecordStatus::Repeat);
  EXPECT_EQ(recorder_.Key({0x43, KeySide::Unknown, 5500, true, true}), RecordStatus::Repeat);
  recorder_.Key(Up(0x43, 5600));
  EXPECT_EQ(Rows(), (std::vector<EventNode>{{K::Press, 0x41},
                                            {K::Delay, 1100},
                                            {K::Release, 0x41},
                                            {K::Delay, 900},
                                            {K::Press, 0x42},
                                            {K::Delay, 1200},
                                            {K::Release, 0x42},
                                            {K::Delay, 800},
                                            {K::Press, 0x43},
                                            {K::Delay, 600},
                                            {K::Release, 0x43}}));
}

TEST_F(Recording, ReleaseAndPressAtDifferentTimesAreTwoStrokes) {
  recorder_.Key(Down(0x41, 100));
  recorder_.Key(Up(0x41, 200));
  EXPECT_EQ(recorder_.Key(Down(0x41, 300)), RecordStatus::Recorded);
  EXPECT_EQ(recorder_.Key(Up(0x41, 300)), RecordStatus::Recorded);
  EXPECT_EQ(recorder_.Key(Up(0x41, 400)), RecordStatus::Repeat);  // the same release again
  EXPECT_EQ(editor_.CountedEvents(), 4);
}

TEST_F(Recording, ModifiersRecordTheirSide) {
  recorder_.Key(Down(0x11, 10, KeySide::Right));
  recorder_.Key(Down(0x11, 10, KeySide::Left));
  recorder_.Key(Down(0x12, 10, KeySide::Right));
  recorder_.Key(Down(0xA1, 10));  // a side-specific code without a side
  recorder_.Key(Down(0x10, 10));
  EXPECT_EQ(Rows(), (std::vector<EventNode>{{K::Press, 0xA3},
                                            {K::Press, 0x11},
                                            {K::Press, 0xA5},
                                            {K::Press, 0xA1},
                                            {K::Press, 0x10}}));
  EXPECT_EQ(RecordedCode(0xA2, KeySide::Unknown), 0x11u);
  EXPECT_EQ(RecordedCode(0x41, KeySide::Right), 0x41u);

  // Left Ctrl's neutral code plays as left Ctrl, right Ctrl as right Ctrl.
  recorder_.Stop();
  StMacro rec{};
  rec.dwMagicNumber = kMacroMagic;
  editor_.Commit(rec);
  HdMacro h{};
  StMacro_To_HdMacro(rec, h);
  EXPECT_EQ(h.bData[0], 0x80);
  EXPECT_EQ(h.bData[1], 0x10);
  EXPECT_EQ(h.bData[5], 0x80);
  EXPECT_EQ(h.bData[6], 0x01);
}

TEST_F(Recording, DelaysBetweenMinUIDelayAnd65535AndNoneInTheSameTick) {
  recorder_.Key(Down(0x41, 1000));
  recorder_.Key(Down(0x42, 1000));   // same tick: no delay
  recorder_.Key(Down(0x43, 1005));   // 5 ms stays 5
  recorder_.Key(Down(0x44, 901005)); // capped
  recorder_.Key(Down(0x45, 900000)); // the clock went back: no delay
  EXPECT_EQ(Rows(), (std::vector<EventNode>{{K::Press, 0x41},
                                            {K::Press, 0x42},
                                            {K::Delay, 5},
                                            {K::Press, 0x43},
                                            {K::Delay, 65535},
                                            {K::Press, 0x44},
                                            {K::Press, 0x45}}));
  recorder_.Stop();
  StMacro rec{};
  editor_.Commit(rec);
  EXPECT_EQ(rec.stEvents[1].dwDelay, 5u);  // a recorded gap is not raised to MinDelay
}

class RecordingSlowUi : public Recording {
 protected:
  RecordingSlowUi() : Recording({.minDelay = 10, .minUIDelay = 20}) {}
};

TEST_F(RecordingSlowUi, ShortGapsAreRaisedToMinUIDelay) {
  recorder_.Key(Down(0x41, 0));
  recorder_.Key(Up(0x41, 3));
  EXPECT_EQ(Rows()[1], (EventNode{K::Delay, 20}));
}

TEST_F(Recording, AutoDelayOffRecordsNoDelays) {
  recorder_.Stop();
  ASSERT_EQ(editor_.ToggleAutoDelay(), EditStatus::Done);
  ASSERT_EQ(recorder_.Start(), EditStatus::Done);
  EXPECT_EQ(editor_.ToggleAutoDelay(), EditStatus::Recording);  // not while recording
  recorder_.Key(Down(0x41, 0));
  recorder_.Key(Up(0x41, 300));
  EXPECT_EQ(Rows(), (std::vector<EventNode>{{K::Press, 0x41}, {K::Release, 0x41}}));
}

TEST_F(Recording, SeventyEventsCountKeysNotDelays) {
  for (int i = 0; i < 35; ++i) {
    ASSERT_EQ(recorder_.Key(Down(0x41, 100 * i)), RecordStatus::Recorded);
    ASSERT_EQ(recorder_.Key(Up(0x41, 100 * i + 50)), RecordStatus::Recorded);
  }
  EXPECT_EQ(Rows().size(), 139u);
  EXPECT_EQ(recorder_.Key(Down(0x42, 9000)), RecordStatus::Full);
  // The last release can still be taken back as half of a repeat pair.
  EXPECT_EQ(recorder_.Key(Down(0x41, 3450)), RecordStatus::Repeat);
  EXPECT_EQ(editor_.CountedEvents(), 69);
  EXPECT_EQ(recorder_.Key(Up(0x41, 3500)), RecordStatus::Recorded);
  EXPECT_EQ(recorder_.Key(Down(0x42, 9000)), RecordStatus::Full);
}

TEST_F(Recording, AFullMacroNeverEndsWithAKeyDown) {
  for (int i = 0; i < 34; ++i) {
    recorder_.Key(Down(0x41, 10 * i));
    recorder_.Key(Up(0x41, 10 * i + 5));
  }
  ASSERT_EQ(editor_.CountedEvents(), 68);
  EXPECT_EQ(recorder_.Key(Down(0x10, 1000)), RecordStatus::Recorded);  // Shift held: 69
  EXPECT_EQ(recorder_.Key(Down(0x42, 1010)), RecordStatus::Full);     // its release would not fit
  EXPECT_EQ(recorder_.Key(Up(0x42, 1020)), RecordStatus::Full);       // nor may a release of a key not held take it
  EXPECT_EQ(recorder_.Key(Up(0x10, 1030)), RecordStatus::Recorded);
  EXPECT_EQ(editor_.CountedEvents(), 70);
}

TEST_F(Recording, StartEmptiesTheListForgetsTheLastKeyAndStopMarksBothBits) {
  EXPECT_TRUE(Rows().empty());
  EXPECT_EQ(editor_.InsertKey(0x41, true), EditStatus::Recording);
  EXPECT_FALSE(editor_.Show(StMacro{}));
  recorder_.Key(Down(0x41, 100));  // held when the recording stops
  recorder_.Stop();
  EXPECT_EQ(editor_.Dirty(), kMacroDirtySettings | kMacroDirtyEvents);
  EXPECT_EQ(recorder_.Key(Down(0x42, 200)), RecordStatus::NotRecording);

  ASSERT_EQ(recorder_.Start(), EditStatus::Done);
  EXPECT_EQ(recorder_.Key(Down(0x41, 300)), RecordStatus::Recorded);
  EXPECT_EQ(Rows(), (std::vector<EventNode>{{K::Press, 0x41}}));
}

TEST(RecorderStart, NeedsAShownMacro) {
  MacroEditor ed;
  MacroRecorder rec(ed);
  EXPECT_EQ(rec.Start(), EditStatus::NoMacro);
  EXPECT_FALSE(rec.Recording());
}

}  // namespace
}  // namespace tolvane
