#include "macro/macro_editor.h"

#include <gtest/gtest.h>

#include <tuple>

#include "macro/hd_macro.h"
#include "macro/macro_file.h"

namespace tolvane {
namespace {

using K = EventKind;
using Rows = std::vector<EventNode>;
using Ev = std::tuple<int, int, uint32_t>;  // code, flag, delay

StMacro Record(std::initializer_list<MacroEvent> events, uint32_t loopMode = 0, uint16_t repeat = 1) {
  StMacro m{};
  m.dwMagicNumber = kMacroMagic;
  m.nLoopMode = loopMode;
  m.wRepeat = repeat;
  int i = 0;
  for (const MacroEvent& e : events) m.stEvents[i++] = e;
  return m;
}

MacroEditor Shown(const StMacro& m) {
  MacroEditor ed;
  ed.Show(m);
  return ed;
}

std::vector<Ev> Save(MacroEditor& ed, StMacro& rec, int n) {
  ed.Commit(rec);
  std::vector<Ev> out;
  for (int i = 0; i < n; ++i) out.emplace_back(uint16_t{rec.stEvents[i].wCode}, uint16_t{rec.stEvents[i].wFlag},
                                           uint32_t{rec.stEvents[i].dwDelay});
  return out;
}

TEST(MacroEditor, ShowsRowsAndPlaySettingsOfARecord) {
  MacroEditor ed = Shown(Record({{0x41, 1, 15}, {0, 1, 7}, {0x07FB, 2, 0}, {0, 0, 0}, {0x42, 1, 0}}, 0, 7));
  // The code-0 press gets no row, its delay does; the list ends at the all-zero event.
  EXPECT_EQ(ed.Events(), (Rows{{K::Press, 0x41}, {K::Delay, 15}, {K::Delay, 7}, {K::Move, 0x07FB}}));
  EXPECT_EQ(EventNodeText(ed.Events()[1], {}), "15 ms");
  EXPECT_EQ(ed.RepeatText(), "7");
  ed.Show(Record({}, 1));
  EXPECT_EQ(ed.Radio(), PlayRadio::Mode1);

  StMacro full = Record({});
  for (auto& e : full.stEvents) e = {0x41, 1, 0};
  ed.Show(full);
  EXPECT_EQ(ed.CountedEvents(), kMaxMacroEvents);
}

TEST(MacroEditor, InsertsAfterTheSelectionOrAtTheEnd) {
  MacroEditor ed = Shown(Record({{0x41, 1, 0}, {0x41, 0, 0}}));
  ASSERT_EQ(ed.InsertClick(kMouseLeft), EditStatus::Done);
  ed.Select(0);
  ASSERT_EQ(ed.InsertKey(0x42, false), EditStatus::Done);
  ASSERT_EQ(ed.InsertDelay(200), EditStatus::Done);
  EXPECT_EQ(ed.Events(), (Rows{{K::Press, 0x41}, {K::Release, 0x42}, {K::Delay, 200}, {K::Release, 0x41},
                               {K::Press, kMouseLeft}, {K::Delay, 50}, {K::Release, kMouseLeft}}));
  EXPECT_EQ(ed.Dirty(), kMacroDirtyEvents);
  ed.Select(kNoRow);
  EXPECT_EQ(ed.InsertDelay(200), EditStatus::NoSelection);
}

TEST(MacroEditor, RefusesCodeZeroAndRowsBeyondSeventy) {
  EXPECT_EQ(MacroEditor().InsertKey(0x41, true), EditStatus::NoMacro);
  MacroEditor ed = Shown(Record({}));
  EXPECT_EQ(ed.InsertKey(0, true), EditStatus::NoKey);  // an empty key field adds nothing
  EXPECT_TRUE(ed.Events().empty());
  for (int i = 0; i < 69; ++i) ASSERT_EQ(ed.InsertKey(0x41, i & 1), EditStatus::Done);
  ASSERT_EQ(ed.InsertDelay(30), EditStatus::Done);  // delays do not count
  // A click needs two rows: with room for one, its release would be cut.
  EXPECT_EQ(ed.InsertClick(kMouseLeft), EditStatus::Full);
  EXPECT_EQ(ed.InsertKey(0x42, true), EditStatus::Done);
  EXPECT_EQ(ed.InsertDelay(30), EditStatus::Full);
  EXPECT_EQ(EditStatusText(EditStatus::Full), "tc_macro_msg18");
}

TEST(MacroEditor, EditsKeysWithoutEverTakingCodeZero) {
  MacroEditor ed = Shown(Record({{0x41, 1, 0}, {0x41, 0, 10}}));
  EXPECT_EQ(ed.EditKey(KeyCombo{0, {0x43, 0, 0}}), EditStatus::NoEvent);  // nothing selected
  ed.Select(1);
  ASSERT_EQ(ed.EditKey(KeyCombo{0x01, {0x43, 0, 0}}), EditStatus::Done);
  EXPECT_EQ(ed.Events()[1], (EventNode{K::Release, 0x43}));
  ASSERT_EQ(ed.EditKey(KeyCombo{0x06, {}}), EditStatus::Done);  // Shift + Alt held
  EXPECT_EQ(ed.Events()[1].value, 0xA0u);
  ASSERT_EQ(ed.EditKey(KeyCombo{0x40, {}}), EditStatus::Done);  // right Alt alone
  EXPECT_EQ(ed.Events()[1].value, 0xA5u);
  EXPECT_EQ(ed.EditKey(KeyCombo{}), EditStatus::NoKey);
  EXPECT_EQ(ed.Events()[1].value, 0xA5u);
}

TEST(MacroEditor, RepeatFieldRule) {
  EXPECT_EQ(RepeatFieldText("300"), "250");
  EXPECT_EQ(RepeatFieldText("0"), "1");
  EXPECT_EQ(RepeatFieldText("99999999999999999999"), "250");
  EXPECT_EQ(RepeatFromField(""), 1);
}

TEST(MacroEditor, PlaySettingsCommitOnlyWhenChanged) {
  StMacro rec = Record({{0x41, 1, 0}}, 0, 300);
  MacroEditor ed = Shown(rec);
  ed.ToggleAutoDelay();  // no dirty bit by itself
  EXPECT_EQ(ed.Commit(rec), 0u);
  ASSERT_EQ(ed.SetRadio(PlayRadio::Mode2), EditStatus::Done);
  EXPECT_EQ(ed.Commit(rec), kMacroDirtySettings);
  EXPECT_EQ(rec.nLoopMode, 2u);
  EXPECT_EQ(rec.bAutoDelay, 0u);
  EXPECT_EQ(rec.dwDirty, kMacroDirtySettings);
  // A count above 250 from a file is saved as 250, not as its low 8 bits.
  rec.nLoopMode = 0;
  ed.Show(rec);
  ed.MarkDirty(kMacroDirtySettings);
  ed.Commit(rec);
  EXPECT_EQ(rec.nLoopMode, 0u);
  EXPECT_EQ(MacroPlayByte(rec), 250);
}

TEST(MacroEditor, CommitMergesDelaysCapsThemAndDropsOneAtTheTop) {
  StMacro rec = Record({{0x51, 1, 0}});
  MacroEditor ed = Shown(rec);
  ed.Select(0);
  ed.InsertDelay(30);
  ASSERT_EQ(ed.Delete(0), EditStatus::Done);  // the delay is now at the top
  ed.InsertKey(0x41, true);
  for (uint32_t d : {10u, 20u, 30u}) ed.InsertDelay(d);
  ed.InsertKey(0x41, false);
  ed.InsertDelay(40000);
  ed.InsertDelay(40000);
  ed.InsertKey(0x42, true);
  EXPECT_EQ(Save(ed, rec, 4), (std::vector<Ev>{{0x41, 1, 60}, {0x41, 0, 65535}, {0x42, 1, 0}, {0, 0, 0}}));
  EXPECT_EQ(rec.dwDirty, kMacroDirtyEvents);
  EXPECT_EQ(ed.Events(), (Rows{{K::Press, 0x41}, {K::Delay, 60}, {K::Release, 0x41}, {K::Delay, 65535},
                               {K::Press, 0x42}}));
}

TEST(MacroEditor, NegativeMoveKeepsItsYThroughFileAndDevice) {
  StMacro rec = Record({{0x0101, 2, 5}});
  MacroEditor ed = Shown(rec);
  ed.Select(0);
  EXPECT_EQ(ed.EditMove(0, 0), EditStatus::OutOfRange);
  ASSERT_EQ(ed.EditMove(-5, 7), EditStatus::Done);
  ed.Commit(rec);
  MacroEditor back = Shown(DecodeMacroFile(EncodeMacroFile(rec).data()));
  EXPECT_EQ(EventNodeText(back.Events()[0], [](std::string_view) { return std::string("Move"); }),
            "Move   X= -5, Y= 7");
  HdMacro h{};
  StMacro_To_HdMacro(rec, h);
  EXPECT_EQ(std::vector<uint8_t>(h.bData, h.bData + 3), (std::vector<uint8_t>{0x05, 0xFB, 0x07}));
}

TEST(MacroEditor, ZeroMoveThatLosesItsDelayIsDropped) {
  // Without its delay, a (0, 0) move is an all-zero event that would cut the macro.
  StMacro rec = Record({{0x41, 1, 0}, {0x0000, 2, 20}, {0x41, 0, 0}});
  MacroEditor ed = Shown(rec);
  ASSERT_EQ(ed.Delete(2), EditStatus::Done);
  EXPECT_EQ(Save(ed, rec, 3), (std::vector<Ev>{{0x41, 1, 0}, {0x41, 0, 0}, {0, 0, 0}}));
}

TEST(MacroEditor, TypedDelayIsRaisedToMinDelay) {
  StMacro rec = Record({{0x41, 1, 100}, {0x41, 0, 0}});
  MacroEditor ed = Shown(rec);
  ed.Select(1);
  ASSERT_EQ(ed.EditDelay(5), EditStatus::Done);
  EXPECT_EQ(std::get<2>(Save(ed, rec, 1)[0]), 10u);
}

}  // namespace
}  // namespace tolvane
