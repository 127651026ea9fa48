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

TEST(MacroMenus, ItemsFollowWhatWasClicked) {
  auto values = [](MenuTarget t) {
    std::vector<uint32_t> v;
    for (const MenuItem& i : RightClickMenu(t, false).items) v.push_back(i.value);
    return v;
  };
  EXPECT_EQ(values(MenuTarget::MacroTreeEmpty), (std::vector<uint32_t>{1, 16}));
  EXPECT_EQ(values(MenuTarget::MacroFolder), (std::vector<uint32_t>{1, 32, 4, 16}));
  EXPECT_EQ(values(MenuTarget::MacroNode), (std::vector<uint32_t>{8, 32, 4}));
  EXPECT_EQ(values(MenuTarget::EventRow), (std::vector<uint32_t>{64, 1024}));
  EXPECT_TRUE(values(MenuTarget::EventTreeEmpty).empty());
  EXPECT_EQ(RightClickMenu(MenuTarget::EventRow, false).items[1].textId, "tc_macro_msg10");

  const MenuChoice recording = RightClickMenu(MenuTarget::MacroNode, true);
  EXPECT_TRUE(recording.items.empty());
  EXPECT_EQ(recording.message, "tc_macro_msg17");

  MacroTree tree;
  const NodeId folder = tree.Add(kRootNode, NodeKind::Folder, "F", 0);
  const NodeId macro = tree.Add(folder, NodeKind::Macro, "M", 7);
  EXPECT_EQ(MacroTreeTarget(tree, folder), MenuTarget::MacroFolder);
  EXPECT_EQ(MacroTreeTarget(tree, macro), MenuTarget::MacroNode);
  EXPECT_EQ(MacroTreeTarget(tree, kRootNode), MenuTarget::MacroTreeEmpty);
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

TEST_F(MacroPage, SavingANewMacroWritesItsFileAndAppliesButtonsThatUseIt) {
  library_.Load();
  const MacroResult made = library_.NewMacro("Keys");
  ASSERT_TRUE(made.ok);
  ASSERT_TRUE(ShowNode(editor_, library_, made.node));
  editor_.MarkDirty(kMacroDirtyEvents | kMacroDirtySettings);  // a new macro is to be written
  ASSERT_EQ(editor_.InsertKey(0x41, true), EditStatus::Done);
  ASSERT_EQ(editor_.InsertClick(kMouseLeft), EditStatus::Done);

  keys_[2][5] = KeyInfo{kFunMacro, 6, made.id, {}, 0, 0};
  const SaveOutcome out = SaveShownMacro(editor_, library_, made.node, keys_, true);
  EXPECT_TRUE(out.saved);
  EXPECT_TRUE(out.applyButtons);
  EXPECT_FALSE(editor_.SaveVisible());

  ASSERT_EQ(fs::file_size(Mac("Keys.qxm")), 834u);
  const StMacro onDisk = test::ReadBack(Mac("Keys.qxm"));
  EXPECT_EQ(onDisk.dwID, made.id);
  EXPECT_EQ(onDisk.dwDirty, 0u);
  EXPECT_EQ(onDisk.stEvents[0].wCode, 0x41);
  EXPECT_EQ(onDisk.stEvents[1].wCode, kMouseLeft);
  EXPECT_EQ(onDisk.stEvents[1].dwDelay, 50u);
  EXPECT_EQ(onDisk.stEvents[2].wCode, kMouseLeft);
  EXPECT_EQ(onDisk.stEvents[2].wFlag, kEventRelease);

  // Without ApplyNow, or when no button uses it, nothing is applied.
  editor_.SetRepeatText("3");
  EXPECT_FALSE(SaveShownMacro(editor_, library_, made.node, keys_, false).applyButtons);
  keys_[2][5].dwMacroID = made.id + 1;
  editor_.SetRepeatText("4");
  EXPECT_FALSE(SaveShownMacro(editor_, library_, made.node, keys_, true).applyButtons);
  EXPECT_EQ(test::ReadBack(Mac("Keys.qxm")).wRepeat, 4);
}

TEST_F(MacroPage, SavingAnotherNodeThanTheOneShownChangesNothing) {
  WriteMacro(Mac("a.qxm"), MakeMacro("a", 0x11));
  WriteMacro(Mac("b.qxm"), MakeMacro("b", 0x22));
  library_.Load();
  const NodeId a = library_.FindNodeByPath("a"), b = library_.FindNodeByPath("b");
  ASSERT_TRUE(ShowNode(editor_, library_, a));
  editor_.InsertKey(0x42, true);
  EXPECT_FALSE(SaveShownMacro(editor_, library_, b, nullptr, true).saved);
  EXPECT_EQ(library_.FindById(0x22)->stEvents[2].wCode, 0);
  EXPECT_TRUE(editor_.SaveVisible());

  // Unsaved edits are dropped from view when another node is shown; the
  // record keeps what was saved.
  ASSERT_TRUE(ShowNode(editor_, library_, b));
  ASSERT_TRUE(ShowNode(editor_, library_, a));
  EXPECT_EQ(editor_.Events().size(), 3u);  // press, 10 ms, release
  EXPECT_FALSE(editor_.SaveVisible());
}

TEST_F(MacroPage, AFailedWriteKeepsTheChangesPending) {
  WriteMacro(Mac("a.qxm"), MakeMacro("a", 0x11));
  library_.Load();
  const NodeId a = library_.FindNodeByPath("a");
  ASSERT_TRUE(ShowNode(editor_, library_, a));
  editor_.InsertKey(0x42, true);
  // The library folder is replaced by a file: nothing can be written below it.
  fs::remove_all(dir_.Mac());
  test::WriteBytes(dir_.Mac(), "x", 1);

  const SaveOutcome out = SaveShownMacro(editor_, library_, a, nullptr, false);
  EXPECT_FALSE(out.saved);
  EXPECT_NE(out.error, 0);
  EXPECT_EQ(editor_.Dirty(), kMacroDirtyEvents);
  EXPECT_NE(library_.FindById(0x11)->dwDirty & kMacroDirtyEvents, 0u);
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
  EXPECT_FALSE(out.keysReset);
  EXPECT_FALSE(out.applyButtons);
  EXPECT_FALSE(editor_.HasMacro());

  out = DeleteLibraryNode(editor_, library_, library_.FindNodeByPath("used"), tables, true);
  EXPECT_TRUE(out.result.ok);
  EXPECT_TRUE(out.keysReset);
  EXPECT_TRUE(out.applyButtons);
  EXPECT_EQ(keys_[1][4].dwFunID, kFunLeftClick);
  EXPECT_FALSE(fs::exists(Mac("used.qxm")));
}

TEST_F(MacroPage, PickerOffersTheIdsOfTheLibraryInMemory) {
  WriteMacro(Mac("first.qxm"), MakeMacro("first", 0x4242));
  WriteMacro(Mac("F/second.qxm"), MakeMacro("second", 0x4242));  // same id: renumbered at load
  library_.Load();
  const MacroResult unsaved = library_.NewMacro("fresh");  // no file yet
  ASSERT_TRUE(unsaved.ok);

  MacroPickerModel picker(library_);
  EXPECT_EQ(picker.Ok().kind, PickResult::Stay);
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
  EXPECT_EQ(MacroPickerModel::New().id, -1);
  EXPECT_EQ(MacroPickerModel::Cancel().kind, PickResult::Cancelled);
}

}  // namespace
}  // namespace tolvane
