#include "macro/macro_library.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "app/log.h"
#include "macro/macro_names.h"
#include "temp_library.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;
using test::MakeMacro;
using test::ReadBack;
using test::WriteMacro;

class Library : public ::testing::Test {
 protected:
  std::unique_ptr<MacroLibrary> Open(bool folders = false) {
    auto lib = std::make_unique<MacroLibrary>(dir_.Dir(), folders);
    lib->SetTextSource([](const char* id) -> std::string {
      if (std::strcmp(id, "tc_macro_msg8") == 0) return "The name already exists.";
      return "";
    });
    lib->Load();
    return lib;
  }
  std::string Mac(const std::string& rel) const { return dir_.Mac() + "/" + rel; }
  test::TempUserDir dir_;
};

std::vector<std::string> ChildTexts(const MacroLibrary& lib, NodeId parent = kRootNode) {
  MacroTree t = lib.Tree();
  std::vector<std::string> out;
  for (NodeId c : t.Children(parent)) out.push_back(t.Get(c)->text);
  std::sort(out.begin(), out.end());
  return out;
}

TEST_F(Library, FileFormatIsTheRecordRotatedRightByTwoBits) {
  StMacro m = MakeMacro("Ab", 0x123456);
  ASSERT_EQ(WriteMacroFile(Mac("Ab.qxm"), m), 0);
  std::ifstream in(Mac("Ab.qxm"), std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  ASSERT_EQ(bytes.size(), 834u);
  // Magic A0 99 CB FA and id 56 34 12 00, each byte rotated right by two.
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 8),
            (std::vector<uint8_t>{0x28, 0x66, 0xF2, 0xBE, 0x95, 0x0D, 0x84, 0x00}));
  EXPECT_EQ(bytes[20], 0x50);  // 'A' = 0x41
  StMacro back = ReadBack(Mac("Ab.qxm"));
  EXPECT_EQ(std::memcmp(&back, &m, sizeof m), 0);
}

TEST_F(Library, ScanTakesMacroFilesByContentAndSkipsOthers) {
  WriteMacro(Mac("one.qxm"), MakeMacro("one", 0x10));
  WriteMacro(Mac("two.bak"), MakeMacro("two", 0x20));          // any extension
  WriteMacro(Mac("v1.2-final.qxm"), MakeMacro("x", 0x30));     // dots and '-' on disk
  const uint8_t png[16] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  test::WriteBytes(Mac("icon.png"), png, sizeof png);
  std::vector<uint8_t> bigPng(900, 0x11);
  std::memcpy(bigPng.data(), png, 8);
  test::WriteBytes(Mac("big.png"), bigPng.data(), bigPng.size());
  auto lib = Open();
  EXPECT_EQ(lib->Count(), 3u);
  EXPECT_EQ(ChildTexts(*lib), (std::vector<std::string>{"one", "two", "v1.2-final"}));
  EXPECT_TRUE(lib->FindById(0x20));
  EXPECT_TRUE(lib->FindById(0xFF000010));  // only the low 24 bits count
  EXPECT_TRUE(lib->FindByName("ONE"));
  EXPECT_FALSE(lib->FindByName(""));
}

TEST_F(Library, FoldersOnlyWithMacroDir) {
  WriteMacro(Mac("top.qxm"), MakeMacro("top", 1));
  WriteMacro(Mac("Sub/inner.qxm"), MakeMacro("inner", 2));
  WriteMacro(Mac(".hidden/h.qxm"), MakeMacro("h", 3));
  WriteMacro(Mac("$trash/t.qxm"), MakeMacro("t", 4));
  const uint8_t png[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  test::WriteBytes(Mac("Sub/Sub.png"), png, 8);

  auto flat = Open(false);
  EXPECT_EQ(flat->Count(), 1u);
  EXPECT_EQ(ChildTexts(*flat), std::vector<std::string>{"top"});
  EXPECT_FALSE(flat->FindById(2));

  auto tree = Open(true);
  EXPECT_EQ(tree->Count(), 2u);
  EXPECT_EQ(ChildTexts(*tree), (std::vector<std::string>{"Sub", "top"}));
  NodeId sub = tree->FindNodeByPath("sub");
  ASSERT_NE(sub, 0u);
  EXPECT_TRUE(tree->Node(sub)->hasIcon);
  EXPECT_EQ(ChildTexts(*tree, sub), std::vector<std::string>{"inner"});
  EXPECT_EQ(*tree->TreeItem_To_FilePath(tree->FindNodeByPath("Sub/inner")), Mac("Sub/inner.qxm"));

  MacroTree picker;
  ASSERT_TRUE(tree->FillTree(picker));
  EXPECT_EQ(picker.Size(), 3u);

  // At exit every changed macro of the tree is written, also inside folders.
  tree->Update(2, [](StMacro& m) {
    m.wRepeat = 9;
    m.dwDirty |= kMacroDirtySettings;
  });
  tree->FlushAll();
  EXPECT_EQ(ReadBack(Mac("Sub/inner.qxm")).wRepeat, 9);
}

TEST_F(Library, FolderNestingStopsAtSixLevels) {
  std::string rel;
  for (int i = 1; i <= 8; ++i) {
    rel += "f" + std::to_string(i) + "/";
    WriteMacro(Mac(rel + "m" + std::to_string(i) + ".qxm"), MakeMacro("m", uint32_t(i)));
  }
  auto lib = Open(true);
  MacroTree t = lib->Tree();
  int folders = 0;
  for (NodeId n : t.Subtree(t.Children(kRootNode).at(0))) {
    folders += t.Get(n)->kind == NodeKind::Folder;
  }
  EXPECT_EQ(folders, 6);
  EXPECT_EQ(lib->Count(), 6u);  // the macros of f7 and f8 lie below the limit
}

TEST_F(Library, DuplicateIdsOnDiskGetTheirOwnIds) {
  WriteMacro(Mac("a.qxm"), MakeMacro("a", 0x42));
  WriteMacro(Mac("copy of a.qxm"), MakeMacro("a", 0x42));
  auto lib = Open();
  auto records = lib->Records();
  ASSERT_EQ(records.size(), 2u);
  const uint32_t first = records[0].dwID, second = records[1].dwID;  // packed: copy, no reference
  EXPECT_NE(first, second);
  // The renamed copy must not overwrite the other file on its next save.
  MacroTree t = lib->Tree();
  for (NodeId n : t.Children(kRootNode)) EXPECT_TRUE(lib->FindById(t.Get(n)->id));
}

TEST_F(Library, NewMacroNameRule) {
  auto lib = Open();
  MacroResult r = lib->NewMacro("fast.fire.v2");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(lib->Node(r.node)->text, "fast.fire");
  StMacro m = *lib->FindById(r.id);
  EXPECT_EQ(GetMacroName(m), "fast.fire");
  EXPECT_EQ(m.bAutoDelay, 1u);
  EXPECT_EQ(m.wRepeat, 1);
  EXPECT_EQ(m.dwDirty, kMacroDirtySettings | kMacroDirtyEvents);
  EXPECT_FALSE(fs::exists(Mac("fast.fire.qxm")));  // written by the next save
  EXPECT_EQ(lib->SaveMacro(r.node), 0);
  EXPECT_EQ(GetMacroName(ReadBack(Mac("fast.fire.qxm"))), "fast.fire");
  EXPECT_EQ(ReadBack(Mac("fast.fire.qxm")).dwDirty, 0u);

  for (const char* bad : {"a-b", "a/b", "x\\y", "50%", "..", ".x", "", "tab\there"}) {
    MacroResult b = lib->NewMacro(bad);
    EXPECT_FALSE(b.ok) << bad;
    EXPECT_EQ(b.message, "Invalid file name.") << bad;
  }
  EXPECT_EQ(lib->NewMacro("FAST.FIRE.x").message, "The name already exists.");
  EXPECT_EQ(lib->Count(), 1u);
}

// The mouse keeps 15 UTF-16 units of a name: new and renamed macros are cut
// to them (never inside a character), so that reading the mouse finds the
// library's macro and not a twin; a hidden file name becomes a visible one.
TEST_F(Library, TypedNamesAreCutToWhatTheMouseKeeps) {
  auto lib = Open();
  MacroResult r = lib->NewMacro("a rather long macro name");
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_EQ(lib->Node(r.node)->text, "a rather long m");
  EXPECT_EQ(GetMacroName(*lib->FindById(r.id)), "a rather long m");
  ASSERT_EQ(lib->SaveMacro(r.node), 0);
  EXPECT_TRUE(fs::exists(Mac("a rather long m.qxm")));
  // Cut alike, so taken.
  EXPECT_EQ(lib->NewMacro("a rather long mouse").message, "The name already exists.");
  // 14 ASCII units and a character of two units: the pair does not fit.
  MacroResult e = lib->NewMacro("abcdefghijklmn\xF0\x9F\x98\x80z");
  ASSERT_TRUE(e.ok) << e.message;
  EXPECT_EQ(lib->Node(e.node)->text, "abcdefghijklmn");
  MacroResult h = lib->NewMacro(".hidden.qxm");
  ASSERT_TRUE(h.ok) << h.message;
  EXPECT_EQ(lib->Node(h.node)->text, "_hidden");
  ASSERT_EQ(lib->SaveMacro(h.node), 0);
  EXPECT_TRUE(fs::exists(Mac("_hidden.qxm")));

  MacroResult n = lib->Rename(r.node, "\xC3\xA9t\xC3\xA9 \xC3\xA9t\xC3\xA9 \xC3\xA9t\xC3\xA9 \xC3\xA9t\xC3\xA9");
  ASSERT_TRUE(n.ok) << n.message;
  EXPECT_EQ(lib->Node(r.node)->text, "\xC3\xA9t\xC3\xA9 \xC3\xA9t\xC3\xA9 \xC3\xA9t\xC3\xA9 \xC3\xA9t\xC3\xA9");
  EXPECT_EQ(Utf16Length(lib->Node(r.node)->text), 15u);
  n = lib->Rename(r.node, "\xC3\xA9t\xC3\xA9 \xC3\xA9t\xC3\xA9 \xC3\xA9t\xC3\xA9 \xC3\xA9t\xC3\xA9s d\xE2\x80\x99hiver");
  EXPECT_EQ(n.message, "The name already exists.");  // the same 15 units: its own name
  n = lib->Rename(r.node, ".dot.file");
  ASSERT_TRUE(n.ok) << n.message;
  EXPECT_EQ(lib->Node(r.node)->text, "_dot");
  EXPECT_TRUE(fs::exists(Mac("_dot.qxm")));
  for (const auto& f : fs::directory_iterator(Mac("")))
    EXPECT_NE(f.path().filename().string()[0], '.') << f.path();
}

TEST_F(Library, NewMacroRefusedAt2000) {
  for (uint32_t i = 1; i <= 2000; ++i) {
    WriteMacro(Mac("m" + std::to_string(i) + ".qxm"), MakeMacro("m", i));
  }
  auto lib = Open();
  ASSERT_EQ(lib->Count(), 2000u);
  EXPECT_EQ(lib->NewMacro("more").message, "The number of macro is up to the maximum");
}

TEST_F(Library, RenameMacro) {
  WriteMacro(Mac("alpha.qxm"), MakeMacro("alpha", 1));
  WriteMacro(Mac("beta.qxm"), MakeMacro("beta", 2));
  auto lib = Open();
  NodeId alpha = lib->FindNodeByPath("alpha");
  EXPECT_EQ(lib->Rename(alpha, "BETA").message, "The name already exists.");
  EXPECT_EQ(lib->Rename(alpha, "Alpha").message, "The name already exists.");
  EXPECT_EQ(lib->Rename(alpha, "al-pha").message, "Invalid file name.");

  // Unsaved changes reach the old file before it moves.
  lib->Update(1, [](StMacro& m) {
    m.stEvents[0].wCode = 0x42;
    m.dwDirty |= kMacroDirtyEvents;
  });
  MacroResult r = lib->Rename(alpha, "gamma.txt");
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_FALSE(fs::exists(Mac("alpha.qxm")));
  StMacro moved = ReadBack(Mac("gamma.qxm"));
  EXPECT_EQ(moved.stEvents[0].wCode, 0x42);
  EXPECT_EQ(GetMacroName(*lib->FindById(1)), "gamma");
  EXPECT_EQ(lib->Node(alpha)->text, "gamma");

  // A file on disk that is no macro blocks the name instead of being replaced.
  test::WriteBytes(Mac("notes.qxm"), "keep", 4);
  r = lib->Rename(alpha, "notes");
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.message, "Rename failed. err=0x11");
  EXPECT_EQ(fs::file_size(Mac("notes.qxm")), 4u);
  EXPECT_TRUE(fs::exists(Mac("gamma.qxm")));
}

TEST_F(Library, RenameFolders) {
  fs::create_directories(Mac("empty"));
  WriteMacro(Mac("full/in.qxm"), MakeMacro("in", 7));
  const uint8_t png[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  test::WriteBytes(Mac("full/full.png"), png, 8);
  auto lib = Open(true);

  NodeId empty = lib->FindNodeByPath("empty");
  ASSERT_TRUE(lib->Rename(empty, "void").ok);
  EXPECT_EQ(lib->Node(empty)->text, "void");
  EXPECT_TRUE(fs::exists(Mac("empty")));  // only the tree changes
  EXPECT_FALSE(fs::exists(Mac("void")));

  NodeId full = lib->FindNodeByPath("full");
  EXPECT_EQ(lib->Rename(full, "VOID").message, "The name already exists.");
  ASSERT_TRUE(lib->Rename(full, "packed").ok);
  EXPECT_TRUE(fs::exists(Mac("packed/in.qxm")));
  EXPECT_TRUE(fs::exists(Mac("packed/packed.png")));
  EXPECT_FALSE(fs::exists(Mac("full")));
  EXPECT_TRUE(lib->Node(full)->hasIcon);
  NodeId in = lib->FindNodeByPath("packed/in");
  ASSERT_NE(in, 0u);
  EXPECT_EQ(lib->Node(in)->id, 7u);
  EXPECT_TRUE(lib->FindById(7));
  EXPECT_EQ(*lib->TreeItem_To_FilePath(in), Mac("packed/in.qxm"));
}

TEST_F(Library, DeleteResetsButtonsAndToleratesMissingFiles) {
  WriteMacro(Mac("keep.qxm"), MakeMacro("keep", 1));
  WriteMacro(Mac("gone.qxm"), MakeMacro("gone", 2));
  WriteMacro(Mac("dir/a.qxm"), MakeMacro("a", 3));
  WriteMacro(Mac("dir/deeper/b.qxm"), MakeMacro("b", 4));
  auto lib = Open(true);
  fs::remove(Mac("gone.qxm"));

  KeyInfo keys[kKeyModes][kMaxKeys] = {};
  KeyInfo defaults[kKeyModes][kMaxKeys] = {};
  for (int t = 0; t < kKeyModes; ++t) {
    for (int b = 0; b < kMaxKeys; ++b) defaults[t][b].dwFunID = 0x01000011 + uint32_t(b);
  }
  keys[0][3] = {kMacroGroup, 4, 2, {}, 0, 0};   // uses "gone"
  keys[2][15] = {kMacroGroup, 16, 1, {}, 0, 0};  // uses "keep"
  keys[1][0] = {kMacroGroup, 1, 4, {}, 0, 0};    // uses "b"
  KeyTables tables{keys, defaults};

  MacroResult r = lib->DeleteNode(lib->FindNodeByPath("gone"), &tables);
  EXPECT_TRUE(r.ok) << r.message;
  EXPECT_FALSE(lib->FindById(2));
  EXPECT_EQ(lib->FindNodeByPath("gone"), 0u);
  EXPECT_EQ(keys[0][3].dwFunID, 0x01000014u);
  EXPECT_EQ(keys[2][15].dwFunID, kMacroGroup);
  EXPECT_EQ(keys[1][0].dwFunID, kMacroGroup);

  r = lib->DeleteNode(lib->FindNodeByPath("dir"), &tables);
  EXPECT_TRUE(r.ok) << r.message;
  EXPECT_FALSE(fs::exists(Mac("dir")));
  EXPECT_EQ(lib->Count(), 1u);
  EXPECT_EQ(keys[1][0].dwFunID, 0x01000011u);
  EXPECT_EQ(keys[2][15].dwMacroID, 1u);
  EXPECT_EQ(lib->DeleteNode(12345).message, "Operation failed, hItem = 0x3039, pItem = 0x0.");
}

TEST_F(Library, ImportAndExport) {
  std::string outside = dir_.Outside() + "/";
  StMacro src = MakeMacro("whatever inside", 0x99);
  WriteMacro(outside + "Rapid.qxm", src);
  auto lib = Open(true);
  fs::create_directories(Mac("Folder"));
  lib = Open(true);

  MacroResult a = lib->Import(outside + "Rapid.qxm");
  ASSERT_TRUE(a.ok) << a.message;
  EXPECT_NE(a.id, 0x99u);
  StMacro onDisk = ReadBack(Mac("Rapid.qxm"));
  EXPECT_EQ(GetMacroName(onDisk), "Rapid");
  EXPECT_EQ(onDisk.dwID, a.id);
  EXPECT_EQ(onDisk.dwDirty, 0u);
  EXPECT_EQ(lib->Import(outside + "Rapid.qxm").message, "The name already exists.");
  EXPECT_EQ(lib->Count(), 1u);

  MacroResult b = lib->Import(outside + "Rapid.qxm", lib->FindNodeByPath("Folder"));
  ASSERT_TRUE(b.ok) << b.message;
  EXPECT_NE(b.id, a.id);
  EXPECT_TRUE(fs::exists(Mac("Folder/Rapid.qxm")));

  StMacro wheel = MakeMacro("w", 5, {{0x41, 1, 5}, {kWheelUp, 1, 0}});
  WriteMacro(outside + "wheel.qxm", wheel);
  EXPECT_EQ(lib->Import(outside + "wheel.qxm").message, "This macro contains unsupported key.");
  StMacro move = MakeMacro("mv", 5, {{kWheelUp, kEventMove, 5}});  // x = -11: a move, not a wheel
  WriteMacro(outside + "move.qxm", move);
  EXPECT_TRUE(lib->Import(outside + "move.qxm").ok);
  EXPECT_EQ(lib->Import(outside + "missing.qxm").message, "Open macro file failed. error=0x2");

  std::string dest = outside + "exported.qxm";
  test::WriteBytes(dest, "old", 3);
  lib->Update(a.id, [](StMacro& m) { m.stEvents[0].wCode = 0x55; });
  EXPECT_TRUE(lib->ExportMacro(a.node, dest).ok);
  EXPECT_EQ(fs::file_size(dest), 834u);
  EXPECT_EQ(ReadBack(dest).stEvents[0].wCode, 0x41);  // the file, not the unsaved change
}

TEST_F(Library, DeviceMergeKeepsTheFileUntilTheNextSave) {
  WriteMacro(Mac("Combo.qxm"), MakeMacro("Combo", 0x111, {{0x41, 1, 10}, {0x41, 0, 0}}));
  auto lib = Open();
  int replaced = 0;
  lib->SetChangeListener([&](const MacroChange& c) { replaced += c.kind == MacroChange::RecordReplaced; });

  lib->MergeDeviceMacro(MakeMacro("Combo", 0x777, {{0x41, 1, 10}, {0x41, 0, 0}}));
  EXPECT_EQ(replaced, 0);  // same events: nothing happens
  EXPECT_EQ(lib->Count(), 1u);

  lib->MergeDeviceMacro(MakeMacro("combo", 0x778, {{0x42, 1, 20}, {0x42, 0, 0}}));
  EXPECT_EQ(replaced, 1);
  EXPECT_EQ(lib->Count(), 1u);
  StMacro mem = *lib->FindById(0x111);
  EXPECT_EQ(mem.stEvents[0].wCode, 0x42);
  EXPECT_FALSE(lib->FindById(0x778));
  EXPECT_EQ(ReadBack(Mac("Combo.qxm")).stEvents[0].wCode, 0x41);

  lib->Update(0x111, [](StMacro& m) { m.dwDirty |= kMacroDirtyEvents; });  // the user saves
  EXPECT_EQ(lib->SaveMacro(lib->FindNodeByPath("Combo")), 0);
  EXPECT_EQ(ReadBack(Mac("Combo.qxm")).stEvents[0].wCode, 0x42);

  lib->MergeDeviceMacro(MakeMacro("Fresh", 0x900));
  EXPECT_EQ(ReadBack(Mac("Fresh.qxm")).dwID, 0x900u);
  StMacro bad = MakeMacro("Bad", 0x901);
  bad.dwMagicNumber = 0;
  lib->MergeDeviceMacro(bad);
  EXPECT_FALSE(fs::exists(Mac("Bad.qxm")));
  EXPECT_EQ(lib->Count(), 2u);
}

// A macro's name is its file's name: a macro added under a name the library
// already uses (a profile import, a device macro) is named after the file it
// gets, and an imported macro that replaces a renamed one keeps the new name.
// Otherwise two records answer to one name, and the next device merge or
// save by name goes to the wrong macro.
TEST_F(Library, AddedAndReplacedMacrosAreNamedAfterTheirFiles) {
  WriteMacro(Mac("Combo.qxm"), MakeMacro("Combo", 0x111, {{0x41, 1, 10}, {0x41, 0, 0}}));
  auto lib = Open();
  auto added = lib->Add_Macro(MakeMacro("Combo", 0x222, {{0x42, 1, 10}, {0x42, 0, 0}}));
  ASSERT_TRUE(added);
  EXPECT_EQ(GetMacroName(*added), "Combo (2)");
  EXPECT_EQ(ChildTexts(*lib), (std::vector<std::string>{"Combo", "Combo (2)"}));
  EXPECT_EQ(GetMacroName(ReadBack(Mac("Combo (2).qxm"))), "Combo (2)");
  EXPECT_EQ(lib->FindByName("Combo")->dwID, 0x111u);
  EXPECT_EQ(lib->FindNodeByPath(GetMacroName(*lib->FindById(0x222))),
            lib->FindNodeByPath("Combo (2)"));

  ASSERT_TRUE(lib->Rename(lib->FindNodeByPath("Combo"), "Renamed").ok);
  ASSERT_TRUE(lib->ReplaceMacro(0x111, MakeMacro("Combo", 0x999, {{0x43, 1, 10}, {0x43, 0, 0}})));
  const StMacro mem = *lib->FindById(0x111);
  EXPECT_EQ(GetMacroName(mem), "Renamed");
  EXPECT_EQ(mem.stEvents[0].wCode, 0x43);
  const StMacro file = ReadBack(Mac("Renamed.qxm"));
  EXPECT_EQ(GetMacroName(file), "Renamed");
  EXPECT_EQ(file.stEvents[0].wCode, 0x43);
  EXPECT_FALSE(lib->FindByName("Combo"));
}

TEST_F(Library, ForeignNamesStayInsideTheLibrary) {
  auto lib = Open(true);
  const char* names[] = {"../../x", "..", "a/b", "/etc/passwd", "", "tab\tand\nline", "..\\..\\y"};
  uint32_t id = 0x500;
  for (const char* n : names) lib->MergeDeviceMacro(MakeMacro(n, id++));
  // A top-level file that is no macro is not replaced by a device macro.
  test::WriteBytes(Mac("Taken.qxm"), "mine", 4);
  lib->MergeDeviceMacro(MakeMacro("Taken", id++));
  EXPECT_EQ(fs::file_size(Mac("Taken.qxm")), 4u);
  EXPECT_TRUE(fs::exists(Mac("Taken (2).qxm")));

  for (const std::string& f : dir_.AllFiles()) {
    EXPECT_EQ(f.rfind("user/Mac/", 0), 0u) << f;
    EXPECT_EQ(f.find('/', 9), std::string::npos) << f;  // all at the top of the library
  }
  // "" and ".." both become "Macro": the second finds the first, same events.
  EXPECT_EQ(lib->Count(), 7u);
  EXPECT_TRUE(lib->FindByName("Macro"));
  // A second read of the same device finds its macros again.
  id = 0x600;
  for (const char* n : names) lib->MergeDeviceMacro(MakeMacro(n, id++));
  EXPECT_EQ(lib->Count(), 7u);
}

TEST_F(Library, FailedSaveKeepsTheRecordMarked) {
  auto lib = Open();
  MacroResult r = lib->NewMacro("pending");
  ASSERT_TRUE(r.ok);
  test::WriteBytes(dir_.Mac(), "x", 1);  // "Mac" is a file: nothing can be written
  EXPECT_NE(lib->SaveMacro(r.node), 0);
  EXPECT_NE(lib->FindById(r.id)->dwDirty & kMacroDirtyEvents, 0u);
  fs::remove(dir_.Mac());
  EXPECT_EQ(lib->SaveMacro(r.node), 0);
  EXPECT_EQ(lib->FindById(r.id)->dwDirty, 0u);
  EXPECT_TRUE(fs::exists(Mac("pending.qxm")));
  for (const auto& e : fs::directory_iterator(dir_.Mac())) {
    EXPECT_EQ(e.path().filename().string().rfind(".~", 0), std::string::npos);
  }
}

TEST_F(Library, SnapshotIsAlways1668000Bytes) {
  auto lib = Open();
  ASSERT_EQ(lib->SaveSnapshot(), 1);
  std::string path = dir_.Dir() + "mac.dct";
  EXPECT_EQ(fs::file_size(path), 1668000u);

  WriteMacro(Mac("a.qxm"), MakeMacro("a", 0xA));
  WriteMacro(Mac("b.qxm"), MakeMacro("b", 0xB, {}));  // no events: not stored
  WriteMacro(Mac("c.qxm"), MakeMacro("c", 0xC));
  lib = Open();
  ASSERT_EQ(lib->SaveSnapshot(), 1);
  ASSERT_EQ(fs::file_size(path), 1668000u);
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  std::vector<uint32_t> ids;
  for (size_t slot = 0; slot < 2000; ++slot) {
    StMacro m;
    std::memcpy(&m, bytes.data() + slot * 834, 834);
    if (m.dwMagicNumber == kMacroMagic) ids.push_back(m.dwID);
  }
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(ids, (std::vector<uint32_t>{0xA, 0xC}));
  size_t used = 2 * 834;
  EXPECT_TRUE(std::all_of(bytes.begin() + used, bytes.end(), [](uint8_t b) { return b == 0; }));
}

}  // namespace
}  // namespace tolvane
