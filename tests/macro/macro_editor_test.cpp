#include "macro/macro_editor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "macro/hd_macro.h"
#include "macro/macro_file.h"

namespace tolvane {
namespace {

using K = EventKind;

StMacro Record(std::initializer_list<MacroEvent> events, uint32_t loopMode = 0,
               uint16_t repeat = 1) {
  StMacro m{};
  m.dwMagicNumber = kMacroMagic;
  m.dwID = 0x123456;
  m.bAutoDelay = 1;
  m.nLoopMode = loopMode;
  m.wRepeat = repeat;
  int i = 0;
  for (const MacroEvent& e : events) m.stEvents[i++] = e;
  return m;
}

// An editor showing an empty macro.
MacroEditor Shown(const StMacro& m = Record({})) {
  MacroEditor ed;
  ed.Show(m);
  return ed;
}

TEST(MacroEditorShow, RowsFollowTheRecordUpTo70Events) {
  StMacro m = Record({{0x41, 1, 15}, {0, 1, 7}, {0x07FB, 2, 0}, {0x41, 0, 0}, {0x42, 1, 0}});
  m.stEvents[3] = {0, 0, 0};  // the list ends here
  MacroEditor ed = Shown(m);
  // The code-0 press gets no row, its delay does.
  EXPECT_EQ(ed.Events(), (std::vector<EventNode>{
                             {K::Press, 0x41}, {K::Delay, 15}, {K::Delay, 7}, {K::Move, 0x07FB}}));
  EXPECT_EQ(ed.CountedEvents(), 2);
  const TextLookup noTexts;
  EXPECT_EQ(EventNodeText(ed.Events()[0], noTexts), "A");
  EXPECT_EQ(EventNodeText(ed.Events()[1], noTexts), "15 ms");
  EXPECT_EQ(EventNodeIcon(ed.Events()[0].kind), "mac_d.png");
  EXPECT_EQ(EventNodeIcon(ed.Events()[3].kind), "mac_m.png");
  EXPECT_EQ(ed.Radio(), PlayRadio::Repeat);
  EXPECT_EQ(ed.Dirty(), 0u);

  StMacro full = Record({});
  for (int i = 0; i < kMacroEventSlots; ++i) full.stEvents[i] = {0x41, uint16_t(i & 1), 0};
  ed.Show(full);
  EXPECT_EQ(ed.CountedEvents(), kMaxMacroEvents);
}

TEST(MacroEditorShow, RadiosAndRepeatFieldFromTheLoopMode) {
  MacroEditor ed = Shown(Record({}, 0, 7));
  EXPECT_EQ(ed.Radio(), PlayRadio::Repeat);
  EXPECT_EQ(ed.RepeatText(), "7");
  EXPECT_TRUE(ed.RepeatVisible());
  ed.Show(Record({}, 1));
  EXPECT_EQ(ed.Radio(), PlayRadio::Mode1);
  EXPECT_FALSE(ed.RepeatVisible());
  EXPECT_EQ(ed.RepeatText(), "");
  ed.Show(Record({}, 2));
  EXPECT_EQ(ed.Radio(), PlayRadio::Mode2);
  ed.Show(Record({}, 9));
  EXPECT_EQ(ed.Radio(), PlayRadio::None);
  EXPECT_FALSE(ed.RepeatVisible());
}

TEST(MacroEditorInsert, AfterTheSelectionOrAtTheEnd) {
  MacroEditor ed = Shown(Record({{0x41, 1, 0}, {0x41, 0, 0}}));
  ASSERT_EQ(ed.InsertClick(kMouseLeft), EditStatus::Done);
  EXPECT_EQ(ed.Events(), (std::vector<EventNode>{{K::Press, 0x41},
                                                 {K::Release, 0x41},
                                                 {K::Press, kMouseLeft},
                                                 {K::Delay, 50},
                                                 {K::Release, kMouseLeft}}));
  EXPECT_EQ(ed.Selected(), 4);

  ed.Select(0);
  ASSERT_EQ(ed.InsertClick(kMouseRight), EditStatus::Done);
  EXPECT_EQ(ed.Events()[1], (EventNode{K::Press, kMouseRight}));
  EXPECT_EQ(ed.Events()[3], (EventNode{K::Release, kMouseRight}));
  EXPECT_EQ(ed.Selected(), 3);

  ASSERT_EQ(ed.InsertKey(0x42, false), EditStatus::Done);
  EXPECT_EQ(ed.Events()[4], (EventNode{K::Release, 0x42}));
  EXPECT_EQ(ed.Selected(), 4);
  ASSERT_EQ(ed.InsertDelay(200), EditStatus::Done);
  EXPECT_EQ(ed.Events()[5], (EventNode{K::Delay, 200}));
  EXPECT_EQ(ed.Dirty(), kMacroDirtyEvents);
  EXPECT_TRUE(ed.SaveVisible());

  ed.Select(kNoRow);
  EXPECT_EQ(ed.InsertDelay(200), EditStatus::NoSelection);
}

TEST(MacroEditorInsert, RefusalsLeaveTheListAlone) {
  MacroEditor none;
  EXPECT_EQ(none.InsertKey(0x41, true), EditStatus::NoMacro);
  EXPECT_EQ(EditStatusText(EditStatus::NoMacro), "tc_macro_msg1");

  MacroEditor ed = Shown();
  EXPECT_EQ(ed.InsertKey(0, true), EditStatus::NoKey);  // an empty key field
  EXPECT_TRUE(ed.Events().empty());
  EXPECT_EQ(ed.Dirty(), 0u);

  for (int i = 0; i < 69; ++i) ASSERT_EQ(ed.InsertKey(0x41, i & 1), EditStatus::Done);
  ASSERT_EQ(ed.InsertDelay(30), EditStatus::Done);  // delays do not count
  // A click needs two rows: with room for one only, its release would be cut.
  EXPECT_EQ(ed.InsertClick(kMouseLeft), EditStatus::Full);
  EXPECT_EQ(ed.InsertKey(0x42, true), EditStatus::Done);
  EXPECT_EQ(ed.InsertKey(0x42, false), EditStatus::Full);
  EXPECT_EQ(ed.InsertDelay(30), EditStatus::Full);  // at the limit every row is refused
  EXPECT_EQ(EditStatusText(EditStatus::Full), "tc_macro_msg18");
  EXPECT_EQ(ed.CountedEvents(), 70);
}

TEST(MacroEditorEdit, KeysTakeTheCaptureAndKeepTheirDirection) {
  MacroEditor ed = Shown(Record({{0x41, 1, 0}, {0x41, 0, 10}}));
  EXPECT_EQ(ed.EditKey(KeyCombo{0, {0x43, 0, 0}}), EditStatus::NoEvent);  // nothing selected
  ed.Select(1);
  ASSERT_EQ(ed.EditKey(KeyCombo{0x01, {0x43, 0, 0}}), EditStatus::Done);
  EXPECT_EQ(ed.Events()[1], (EventNode{K::Release, 0x43}));
  ASSERT_EQ(ed.EditKey(KeyCombo{0x06, {0, 0, 0}}), EditStatus::Done);  // Shift + Alt held
  EXPECT_EQ(ed.Events()[1].value, 0xA0u);
  ASSERT_EQ(ed.EditKey(KeyCombo{0x40, {0, 0, 0}}), EditStatus::Done);  // right Alt alone
  EXPECT_EQ(ed.Events()[1].value, 0xA5u);
  ASSERT_EQ(ed.EditKey(KeyCombo{0x80, {0, 0, 0}}), EditStatus::Done);  // right Windows
  EXPECT_EQ(ed.Events()[1].value, 0x5Cu);
  EXPECT_EQ(ed.EditKey(KeyCombo{}), EditStatus::NoKey);
  EXPECT_EQ(ed.Events()[1].value, 0x5Cu);

  ed.Select(2);  // the delay row
  EXPECT_EQ(ed.EditKey(KeyCombo{0, {0x43, 0, 0}}), EditStatus::NoEvent);
  EXPECT_EQ(ed.EditMove(1, 1), EditStatus::NoEvent);
}

TEST(MacroEditorEdit, DelaysAndMovesAndDeletion) {
  MacroEditor ed = Shown(Record({{0x41, 1, 100}, {0x0101, 2, 0}, {0x41, 0, 0}}));
  ed.Select(1);
  EXPECT_EQ(ed.EditDelay(0), EditStatus::OutOfRange);
  EXPECT_EQ(ed.EditDelay(65536), EditStatus::OutOfRange);
  ASSERT_EQ(ed.EditDelay(65535), EditStatus::Done);
  EXPECT_EQ(ed.Events()[1].value, 65535u);

  ed.Select(2);
  EXPECT_EQ(ed.EditMove(128, 0), EditStatus::OutOfRange);
  EXPECT_EQ(ed.EditMove(0, 0), EditStatus::OutOfRange);
  ASSERT_EQ(ed.EditMove(-127, -1), EditStatus::Done);
  EXPECT_EQ(ed.Events()[2].value, 0xFF81u);

  ASSERT_EQ(ed.Delete(1), EditStatus::Done);
  EXPECT_EQ(ed.Events().size(), 3u);
  EXPECT_EQ(ed.Selected(), kNoRow);
  EXPECT_EQ(ed.Delete(3), EditStatus::NoEvent);
  EXPECT_EQ(ed.Dirty(), kMacroDirtyEvents);
}

TEST(MacroEditorPlay, RepeatFieldRule) {
  EXPECT_EQ(RepeatFieldText("300"), "250");
  EXPECT_EQ(RepeatFieldText("0"), "1");
  EXPECT_EQ(RepeatFieldText("-4"), "1");
  EXPECT_EQ(RepeatFieldText("99999999999999999999"), "250");
  EXPECT_EQ(RepeatFieldText("25"), "25");
  EXPECT_EQ(RepeatFieldText(""), "");
  EXPECT_EQ(RepeatFromField(""), 1);
  EXPECT_EQ(RepeatFromField("abc"), 1);
  EXPECT_EQ(RepeatFromField("300"), 250);
  EXPECT_EQ(RepeatFromField("17"), 17);

  MacroEditor ed = Shown();
  EXPECT_EQ(ed.SetRepeatText("300"), "250");
  EXPECT_EQ(ed.SetRepeatText("0"), "1");
  EXPECT_EQ(ed.Dirty(), kMacroDirtySettings);
}

TEST(MacroEditorPlay, SettingsCommitOnlyWhenChanged) {
  StMacro rec = Record({{0x41, 1, 0}, {0x41, 0, 0}}, 0, 300);
  MacroEditor ed = Shown(rec);
  ASSERT_EQ(ed.ToggleAutoDelay(), EditStatus::Done);  // no dirty bit by itself
  EXPECT_EQ(ed.Dirty(), 0u);
  EXPECT_EQ(ed.Commit(rec), 0u);
  EXPECT_EQ(rec.bAutoDelay, 1u);

  ASSERT_EQ(ed.SetRadio(PlayRadio::Mode2), EditStatus::Done);
  EXPECT_EQ(ed.RepeatText(), "");
  EXPECT_EQ(ed.Commit(rec), kMacroDirtySettings);
  EXPECT_EQ(rec.nLoopMode, 2u);
  EXPECT_EQ(rec.bAutoDelay, 0u);
  EXPECT_EQ(rec.dwDirty, kMacroDirtySettings);
  EXPECT_EQ(rec.stEvents[0].wCode, 0x41);  // the events were not touched
  EXPECT_EQ(ed.Dirty(), 0u);

  ASSERT_EQ(ed.SetRadio(PlayRadio::Repeat), EditStatus::Done);
  EXPECT_EQ(ed.RepeatText(), "1");
  ed.SetRepeatText("42");
  ed.Commit(rec);
  EXPECT_EQ(rec.nLoopMode, 0u);
  EXPECT_EQ(rec.wRepeat, 42);
  EXPECT_EQ(MacroPlayByte(rec), 42);

  // A repeat count from a file above 250 is not carried to the device's play
  // byte as its low 8 bits once the settings are saved.
  rec.wRepeat = 300;
  ed.Show(rec);
  ASSERT_EQ(ed.RepeatText(), "300");
  ed.MarkDirty(kMacroDirtySettings);
  ed.Commit(rec);
  EXPECT_EQ(rec.wRepeat, 250);
}

// Saves the editor's list into `rec` and returns the first `n` events as
// (code, flag, delay).
using Ev = std::tuple<int, int, uint32_t>;
std::vector<Ev> Save(MacroEditor& ed, StMacro& rec, int n) {
  ed.Commit(rec);
  std::vector<Ev> out;
  for (int i = 0; i < n; ++i)
    out.emplace_back(rec.stEvents[i].wCode, rec.stEvents[i].wFlag, rec.stEvents[i].dwDelay);
  return out;
}

TEST(MacroEditorCommit, RunsOfDelaysMergeCappedAtTheLongestDelay) {
  StMacro rec = Record({});
  MacroEditor ed = Shown(rec);
  ed.InsertKey(0x41, true);
  for (uint32_t d : {10u, 20u, 30u}) ed.InsertDelay(d);
  ed.InsertKey(0x41, false);
  ed.InsertDelay(40000);
  ed.InsertDelay(40000);
  ed.InsertKey(0x42, true);

  EXPECT_EQ(Save(ed, rec, 4), (std::vector<Ev>{
                                  {0x41, 1, 60}, {0x41, 0, 65535}, {0x42, 1, 0}, {0, 0, 0}}));
  EXPECT_EQ(rec.dwDirty, kMacroDirtyEvents);
  // The list shows what was saved.
  EXPECT_EQ(ed.Events(), (std::vector<EventNode>{{K::Press, 0x41},
                                                 {K::Delay, 60},
                                                 {K::Release, 0x41},
                                                 {K::Delay, 65535},
                                                 {K::Press, 0x42}}));
}

TEST(MacroEditorCommit, DelayAtTheTopIsDroppedAndOldEventsCleared) {
  StMacro rec = Record({{0x41, 1, 0}, {0x41, 0, 0}, {0x43, 1, 0}, {0x43, 0, 0}});
  MacroEditor ed = Shown(rec);
  ed.Select(0);
  ed.InsertDelay(30);
  ASSERT_EQ(ed.Delete(0), EditStatus::Done);  // the delay is now at the top
  ASSERT_EQ(ed.Delete(2), EditStatus::Done);
  ASSERT_EQ(ed.Delete(2), EditStatus::Done);
  EXPECT_EQ(Save(ed, rec, 3),
            (std::vector<Ev>{{0x41, 0, 0}, {0, 0, 0}, {0, 0, 0}}));
  EXPECT_EQ(ed.Events(), (std::vector<EventNode>{{K::Release, 0x41}}));
}

TEST(MacroEditorCommit, NegativeMoveKeepsItsYThroughFileAndDevice) {
  StMacro rec = Record({{0x0101, 2, 5}});
  MacroEditor ed = Shown(rec);
  ed.Select(0);
  ASSERT_EQ(ed.EditMove(-5, 7), EditStatus::Done);
  ed.Commit(rec);
  EXPECT_EQ(rec.stEvents[0].wCode, 0x07FB);

  const StMacro back = DecodeMacroFile(EncodeMacroFile(rec).data());
  MacroEditor shown = Shown(back);
  const MoveOffsets m = MoveXY(shown.Events()[0].value);
  EXPECT_EQ(m.x, -5);
  EXPECT_EQ(m.y, 7);
  EXPECT_EQ(EventNodeText(shown.Events()[0], [](std::string_view) { return std::string("Move"); }),
            "Move   X= -5, Y= 7");

  HdMacro h{};
  ASSERT_EQ(StMacro_To_HdMacro(back, h), 37u);
  EXPECT_EQ(h.bData[0], 0x05);
  EXPECT_EQ(h.bData[1], 0xFB);
  EXPECT_EQ(h.bData[2], 0x07);
}

TEST(MacroEditorCommit, ZeroMoveWithoutDelayWouldEndTheMacro) {
  // (0, 0) followed by a delay is a valid event; once the delay is gone it
  // would be all zero and cut off everything after it.
  StMacro rec = Record({{0x41, 1, 0}, {0x0000, 2, 20}, {0x41, 0, 0}});
  MacroEditor ed = Shown(rec);
  ASSERT_EQ(ed.Events().size(), 4u);
  ASSERT_EQ(ed.Delete(2), EditStatus::Done);
  EXPECT_EQ(Save(ed, rec, 3),
            (std::vector<Ev>{{0x41, 1, 0}, {0x41, 0, 0}, {0, 0, 0}}));
}

TEST(MacroEditorCommit, TypedDelayIsRaisedToMinDelay) {
  StMacro rec = Record({{0x41, 1, 100}, {0x41, 0, 0}});
  MacroEditor ed = Shown(rec);
  ed.Select(1);
  ASSERT_EQ(ed.EditDelay(5), EditStatus::Done);
  EXPECT_EQ(std::get<2>(Save(ed, rec, 1)[0]), 10u);

  MacroEditor strict({.minDelay = 10, .minUIDelay = 8});
  strict.Show(rec);
  strict.Select(1);
  EXPECT_EQ(strict.EditDelay(5), EditStatus::OutOfRange);  // below the prompt's range
}

TEST(MacroEditorCommit, NothingToCommitWithoutAMacroOrChange) {
  StMacro rec = Record({{0x41, 1, 0}});
  const StMacro before = rec;
  MacroEditor none;
  EXPECT_EQ(none.Commit(rec), 0u);
  MacroEditor ed = Shown(rec);
  EXPECT_EQ(ed.Commit(rec), 0u);
  EXPECT_EQ(std::memcmp(&rec, &before, sizeof rec), 0);
}

}  // namespace
}  // namespace tolvane
