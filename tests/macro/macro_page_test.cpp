#include "macro/macro_page.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "profile/key_codes.h"
#include "temp_library.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;
using test::MakeMacro;
using test::WriteMacro;

TEST(MacroMenus, NoMenuWhileRecording) {
  EXPECT_EQ(RightClickMenu(MenuTarget::EventRow, false).items.size(), 2u);
  const MenuChoice recording = RightClickMenu(MenuTarget::MacroNode, true);
  EXPECT_TRUE(recording.items.empty());
  EXPECT_EQ(recording.message, "tc_macro_msg17");
}

class MacroPage : public ::testing::Test {
 protected:
  MacroPage() : library_(dir_.Dir(), true) {}
  std::string Mac(const std::string& rel) const { return dir_.Mac() + "/" + rel; }
  test::TempUserDir dir_;
  MacroLibrary library_;
  MacroEditor editor_;
  KeyInfo keys_[kKeyModes][kMaxKeys]{};
};

TEST_F(MacroPage, SavingWritesTheFileAndAppliesButtonsThatUseTheMacro) {
  library_.Load();
  const MacroResult made = library_.NewMacro("Keys");
  ASSERT_TRUE(ShowNode(editor_, library_, made.node));
  editor_.InsertKey(0x41, true);
  editor_.InsertClick(kMouseLeft);
  keys_[2][5] = KeyInfo{kFunMacro, 6, made.id, {}, 0, 0};
  const SaveOutcome out = SaveShownMacro(editor_, library_, made.node, keys_, true);
  EXPECT_TRUE(out.saved);
  EXPECT_TRUE(out.applyButtons);
  EXPECT_FALSE(editor_.SaveVisible());
  ASSERT_EQ(fs::file_size(Mac("Keys.qxm")), 834u);
  EXPECT_EQ(uint16_t{test::ReadBack(Mac("Keys.qxm")).stEvents[2].wCode}, kMouseLeft);
  editor_.SetRepeatText("4");  // without ApplyNow nothing is applied
  EXPECT_FALSE(SaveShownMacro(editor_, library_, made.node, keys_, false).applyButtons);
  EXPECT_EQ(test::ReadBack(Mac("Keys.qxm")).wRepeat, 4);
}

TEST_F(MacroPage, AFailedWriteKeepsTheChangesPending) {
  WriteMacro(Mac("a.qxm"), MakeMacro("a", 0x11));
  library_.Load();
  const NodeId a = library_.FindNodeByPath("a");
  ASSERT_TRUE(ShowNode(editor_, library_, a));
  editor_.InsertKey(0x42, true);

  fs::remove_all(dir_.Mac());  // a file where the library folder was: nothing can be written
  test::WriteBytes(dir_.Mac(), "x", 1);
  const SaveOutcome out = SaveShownMacro(editor_, library_, a, nullptr, false);
  EXPECT_FALSE(out.saved);
  EXPECT_NE(out.error, 0);
  EXPECT_EQ(editor_.Dirty(), kMacroDirtyEvents);
}

TEST_F(MacroPage, DeletingAMacroThatButtonsUseAppliesTheirDefaults) {
  WriteMacro(Mac("used.qxm"), MakeMacro("used", 0x31));
  WriteMacro(Mac("F/spare.qxm"), MakeMacro("spare", 0x32));
  library_.Load();
  KeyInfo defaults[kKeyModes][kMaxKeys]{};
  defaults[1][4] = KeyInfo{kFunLeftClick, 5, 0, {}, 0, 0};
  keys_[1][4] = KeyInfo{kFunMacro, 5, 0x31, {}, 0, 0};
  const KeyTables tables{keys_, defaults};
  ASSERT_TRUE(ShowNode(editor_, library_, library_.FindNodeByPath("F/spare")));
  DeleteOutcome out = DeleteLibraryNode(editor_, library_, library_.FindNodeByPath("F"), tables, true);
  EXPECT_TRUE(out.result.ok);
  EXPECT_FALSE(out.applyButtons);
  EXPECT_FALSE(editor_.HasMacro());
  out = DeleteLibraryNode(editor_, library_, library_.FindNodeByPath("used"), tables, true);
  EXPECT_TRUE(out.applyButtons);
  EXPECT_EQ(keys_[1][4].dwFunID, kFunLeftClick);
}

TEST_F(MacroPage, PickerOffersTheIdsOfTheLibraryInMemory) {
  WriteMacro(Mac("first.qxm"), MakeMacro("first", 0x4242));
  WriteMacro(Mac("F/second.qxm"), MakeMacro("second", 0x4242));  // same id: renumbered at load
  library_.Load();
  ASSERT_TRUE(library_.NewMacro("fresh").ok);  // no file yet
  MacroPickerModel picker(library_);
  EXPECT_EQ(picker.Ok().message, "tc_macro_msg1");
  for (const char* path : {"first", "F/second", "fresh"}) {
    SCOPED_TRACE(path);
    picker.Select(library_.FindNodeByPath(path));
    const PickResult r = picker.Ok();
    ASSERT_EQ(r.kind, PickResult::Picked);
    const std::optional<StMacro> m = library_.FindById(uint32_t(r.id));
    ASSERT_TRUE(m);
    EXPECT_EQ(GetMacroName(*m), fs::path(path).filename().string());
  }
  picker.Select(library_.FindNodeByPath("F"));
  EXPECT_EQ(picker.Ok().kind, PickResult::Stay);
}

}  // namespace
}  // namespace tolvane
