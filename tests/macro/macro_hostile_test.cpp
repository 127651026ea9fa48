// Damaged and hostile macro files, and the library shared between threads.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <thread>

#include "macro/macro_library.h"
#include "macro/macro_names.h"
#include "temp_library.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;
using test::MakeMacro;
using test::WriteMacro;

TEST(MacroFiles, DamagedFilesAreSkippedAndRefused) {
  test::TempUserDir dir;
  std::string mac = dir.Mac() + "/";
  auto good = EncodeMacroFile(MakeMacro("g", 0x1));
  test::WriteBytes(mac + "short.qxm", good.data(), 833);
  test::WriteBytes(mac + "empty.qxm", good.data(), 0);
  std::vector<uint8_t> longer(good.begin(), good.end());
  longer.resize(5000, 0xAB);
  test::WriteBytes(mac + "long.qxm", longer.data(), longer.size());
  StMacro wrong = MakeMacro("w", 0x2);
  wrong.dwMagicNumber = 0xFACB99A1;
  WriteMacro(mac + "magic.qxm", wrong);
  // Every slot and every name unit in use: no terminator anywhere.
  StMacro endless;
  std::memset(&endless, 0x7E, sizeof endless);
  endless.dwMagicNumber = kMacroMagic;
  endless.dwID = 0x3;
  WriteMacro(mac + "endless.qxm", endless);
  ASSERT_EQ(mkfifo((mac + "pipe.qxm").c_str(), 0644), 0);  // must not block the scan
  fs::create_directories(dir.Outside() + "/elsewhere");
  WriteMacro(dir.Outside() + "/elsewhere/out.qxm", MakeMacro("out", 0x4));
  fs::create_directory_symlink(dir.Outside() + "/elsewhere", mac + "linked");

  MacroLibrary lib(dir.Dir(), true);
  ASSERT_TRUE(lib.Load());
  EXPECT_EQ(lib.Count(), 2u);
  EXPECT_TRUE(lib.FindById(0x1));  // the first 834 bytes of the long file
  ASSERT_TRUE(lib.FindById(0x3));
  EXPECT_FALSE(lib.FindById(0x4));  // links to folders are not followed
  StMacro e = *lib.FindById(0x3);
  EXPECT_EQ(MacroEventCount(e), kMacroEventSlots);
  EXPECT_EQ(Utf16Length(GetMacroName(e)), size_t(kMacroNameUnits));
  EXPECT_TRUE(lib.FindByName(GetMacroName(e)));
  EXPECT_TRUE(lib.IsDamaged(0x3));  // listed, but no button plays it
  EXPECT_FALSE(lib.IsDamaged(0x1));
  EXPECT_EQ(lib.SaveSnapshot(), 1);

  EXPECT_EQ(lib.Import(mac + "short.qxm").message, "Read macro file failed. error=0x0");
  EXPECT_EQ(lib.Import(mac + "magic.qxm").message, "This is not a valid macro file.");
  EXPECT_EQ(lib.Import(mac + "pipe.qxm").message, "Open macro file failed. error=0x16");
  // The endless macro breaks the mouse's rules and is refused; a good one's
  // name in the file is ignored: the library copy is named after the file,
  // as a visible file.
  fs::copy_file(mac + "endless.qxm", dir.Outside() + "/endless2.qxm");
  EXPECT_EQ(lib.Import(dir.Outside() + "/endless2.qxm").message, "This is not a valid macro file.");
  fs::copy_file(mac + "long.qxm", dir.Outside() + "/..\x01name.qxm", fs::copy_options::overwrite_existing);
  MacroResult r = lib.Import(dir.Outside() + "/..\x01name.qxm");
  fs::remove(dir.Outside() + "/..\x01name.qxm");
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_EQ(lib.Node(r.node)->text, "_._name");
  EXPECT_TRUE(fs::exists(mac + "_._name.qxm"));
  EXPECT_TRUE(fs::exists(dir.Outside() + "/elsewhere/out.qxm"));
}

// Ids have 24 bits: a file made elsewhere with more, or with id 0, is still
// found by its id, so that a damaged one is known as damaged.
TEST(MacroFiles, FileIdsAreCutTo24BitsAndZeroGetsAnId) {
  test::TempUserDir dir;
  StMacro wide = MakeMacro("wide", 0x7F000005, {{0x41, 1, 70000}, {0x41, 0, 0}});
  WriteMacro(dir.Mac() + "/wide.qxm", wide);
  WriteMacro(dir.Mac() + "/zero.qxm", MakeMacro("zero", 0));
  MacroLibrary lib(dir.Dir(), false);
  ASSERT_TRUE(lib.Load());
  ASSERT_EQ(lib.Count(), 2u);
  ASSERT_TRUE(lib.FindById(0x7F000005));
  EXPECT_EQ(uint32_t{lib.FindById(5)->dwID}, 5u);
  EXPECT_TRUE(lib.IsDamaged(lib.FindByName("wide")->dwID));
  const uint32_t zeroId = lib.FindByName("zero")->dwID;
  EXPECT_NE(zeroId, 0u);
  EXPECT_FALSE(lib.FindById(0));
  EXPECT_TRUE(lib.FindById(zeroId));
}

TEST(MacroFiles, ProfileImportNamesStayInside) {
  test::TempUserDir dir;
  MacroLibrary lib(dir.Dir(), false);
  lib.Load();
  auto added = lib.Add_Macro(MakeMacro("../../escape", 0x10));
  ASSERT_TRUE(added);
  auto clash = lib.Add_Macro(MakeMacro("../../escape", 0x10));  // same id, same name
  ASSERT_TRUE(clash);
  EXPECT_NE(clash->dwID, added->dwID);
  std::vector<std::string> files = dir.AllFiles();
  std::sort(files.begin(), files.end());
  // Visible names, cut to the 15 units the mouse keeps.
  EXPECT_EQ(files, (std::vector<std::string>{"user/Mac/_._.._escap (2).qxm",
                                             "user/Mac/_._.._escape.qxm"}));
  StMacro bad = MakeMacro("x", 0x11);
  bad.dwMagicNumber = 0x12345678;
  EXPECT_FALSE(lib.Add_Macro(bad));

  StMacro content = MakeMacro("other", 0, {{0x43, 1, 0}});
  EXPECT_TRUE(lib.ReplaceMacro(added->dwID, content));
  StMacro onDisk = test::ReadBack(dir.Mac() + "/_._.._escape.qxm");
  EXPECT_EQ(onDisk.dwID, added->dwID);
  EXPECT_EQ(onDisk.stEvents[0].wCode, 0x43);
  EXPECT_FALSE(lib.ReplaceMacro(0xABCDEF, content));
}

TEST(MacroFiles, LookupsDuringMergesReadWholeRecords) {
  test::TempUserDir dir;
  MacroLibrary lib(dir.Dir(), false);
  for (uint32_t i = 1; i <= 20; ++i) {
    WriteMacro(dir.Mac() + "/m" + std::to_string(i) + ".qxm", MakeMacro("m" + std::to_string(i), i));
  }
  lib.Load();
  std::atomic<bool> stop{false};
  std::atomic<long> bad{0}, lookups{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 2; ++t) {
    readers.emplace_back([&] {
      while (!stop) {
        for (uint32_t i = 1; i <= 20; ++i) {
          auto m = lib.FindById(i);
          auto n = lib.FindByName("m" + std::to_string(i));
          if (!m || !n || m->dwMagicNumber != kMacroMagic || n->dwMagicNumber != kMacroMagic) ++bad;
          // Every version the merges write has one press and one release.
          if (m && MacroEventCount(*m) != 2) ++bad;
          ++lookups;
        }
        lib.Records();
      }
    });
  }
  // The read thread: changed events for known names, and new macros that grow
  // (and reallocate) the list.
  for (int round = 0; round < 60; ++round) {
    uint16_t code = uint16_t(0x41 + round % 20);
    for (uint32_t i = 1; i <= 20; ++i) {
      lib.MergeDeviceMacro(MakeMacro("m" + std::to_string(i), 0x1000 + i, {{code, 1, 5}, {code, 0, 0}}));
    }
    StMacro fresh = MakeMacro("new" + std::to_string(round), 0x2000 + uint32_t(round));
    lib.Add_Macro(fresh);
  }
  stop = true;
  for (auto& t : readers) t.join();
  EXPECT_EQ(bad, 0);
  EXPECT_GT(lookups, 0);
  EXPECT_EQ(lib.Count(), 80u);
}

}  // namespace
}  // namespace tolvane
