// The rules a macro keeps before it enters the library or goes to a button,
// macro files that break them, and what the library does at start with what
// killed saves left behind.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <random>

#include "macro/macro_check.h"
#include "macro/macro_library.h"
#include "macro/macro_names.h"
#include "profile/key_env.h"
#include "temp_library.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;
using test::MakeMacro;
using test::WriteMacro;

std::map<std::string, std::vector<uint8_t>> Files(const std::string& root) {
  std::map<std::string, std::vector<uint8_t>> out;
  for (auto& e : fs::recursive_directory_iterator(root)) {
    if (!e.is_regular_file()) continue;
    std::ifstream f(e.path(), std::ios::binary);
    out[e.path()] = std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
  }
  return out;
}

TEST(MacroCheck, EventsAndPlaySettingsTheMouseTakes) {
  StMacro ok = MakeMacro("m", 1, {{0x41, 1, 65535}, {0x41, 0, 0}, {0xF0, 1, 5}, {0xF0, 0, 5},
                                  {0x0302, kEventMove, 0}, {0xA0, 1, 0}, {0xA0, 0, 0}});
  ok.wRepeat = 250;
  EXPECT_TRUE(CheckMacro(ok).Ok());
  ok.nLoopMode = 2;
  EXPECT_TRUE(CheckMacro(ok).Ok());

  struct Case {
    MacroFault fault;
    int event;
    std::function<void(StMacro&)> spoil;
  };
  const Case cases[] = {
      {MacroFault::UnknownKey, 1, [](StMacro& m) { m.stEvents[1].wCode = 0x1FF; }},
      {MacroFault::UnknownKey, 0, [](StMacro& m) { m.stEvents[0].wCode = 0xF5; }},  // the wheel
      {MacroFault::UnknownKey, 2, [](StMacro& m) { m.stEvents[2] = {0, 1, 40}; }},
      {MacroFault::UnknownFlag, 0, [](StMacro& m) { m.stEvents[0].wFlag = 7; }},
      {MacroFault::LongDelay, 0, [](StMacro& m) { m.stEvents[0].dwDelay = 2729445774u; }},
      {MacroFault::LongDelay, 1, [](StMacro& m) { m.stEvents[1].dwDelay = 65536; }},
      {MacroFault::BigRepeat, -1, [](StMacro& m) { m.wRepeat = 47396; }},
      {MacroFault::UnknownMode, -1, [](StMacro& m) { m.nLoopMode = 3; }},
      {MacroFault::TooManyEvents, kMaxMacroEvents,
       [](StMacro& m) {
         for (int i = 0; i < kMaxMacroEvents + 1; ++i) m.stEvents[i] = {0x41, uint16_t(i % 2), 1};
       }},
  };
  for (const Case& c : cases) {
    StMacro m = MakeMacro("m", 1);
    c.spoil(m);
    MacroCheck r = CheckMacro(m);
    EXPECT_EQ(r.fault, c.fault) << DescribeMacroFault(m, r);
    EXPECT_EQ(r.event, c.event) << DescribeMacroFault(m, r);
  }
}

// Random macro files with the right magic: none gets into the library, whose
// files stay byte for byte as they were.
TEST(MacroCheck, HostileMacroFilesAreRefusedAtImport) {
  test::TempUserDir dir;
  MacroLibrary lib(dir.Dir(), false);
  lib.Load();
  ASSERT_TRUE(lib.Add_Macro(MakeMacro("kept", 0x10)));
  const auto before = Files(dir.Dir());
  std::mt19937 rng(40);
  int refused = 0;
  for (int i = 0; i < 20; ++i) {
    StMacro m;
    uint8_t* b = reinterpret_cast<uint8_t*>(&m);
    for (size_t k = 0; k < sizeof m; ++k) b[k] = uint8_t(rng());
    m.dwMagicNumber = kMacroMagic;
    const std::string file = dir.Outside() + "/r" + std::to_string(i) + ".qxm";
    WriteMacro(file, m);
    MacroResult r = lib.Import(file);
    refused += !r.ok;
    EXPECT_TRUE(r.message == "This is not a valid macro file." ||
                r.message == "This macro contains unsupported key.")
        << r.message;
    fs::remove(file);
  }
  EXPECT_EQ(refused, 20);
  // One bad value in a good macro is enough.
  StMacro slow = MakeMacro("slow", 0x20);
  slow.stEvents[0].dwDelay = 2729445774u;
  WriteMacro(dir.Outside() + "/slow.qxm", slow);
  EXPECT_EQ(lib.Import(dir.Outside() + "/slow.qxm").message, "This is not a valid macro file.");
  StMacro odd = MakeMacro("odd", 0x21, {{0x1FF, 1, 10}, {0x1FF, 0, 0}});
  WriteMacro(dir.Outside() + "/odd.qxm", odd);
  EXPECT_EQ(lib.Import(dir.Outside() + "/odd.qxm").message, "This macro contains unsupported key.");

  EXPECT_EQ(lib.Count(), 1u);
  EXPECT_TRUE(Files(dir.Dir()) == before);

  // A good file: visible name, cut to what the mouse keeps.
  WriteMacro(dir.Outside() + "/.a very long hidden name.qxm", MakeMacro("x", 0x22));
  MacroResult r = lib.Import(dir.Outside() + "/.a very long hidden name.qxm");
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_EQ(lib.Node(r.node)->text, "_a very long hi");
  EXPECT_TRUE(fs::exists(dir.Mac() + "/_a very long hi.qxm"));
}

TEST(MacroCheck, DamagedLibraryMacrosGoToNoButtonUntilFixed) {
  test::TempUserDir dir;
  StMacro bad = MakeMacro("bad", 0x30);
  bad.wRepeat = 47396;
  WriteMacro(dir.Mac() + "/bad.qxm", bad);
  MacroLibrary lib(dir.Dir(), false);
  lib.Load();
  ASSERT_TRUE(lib.FindById(0x30));
  EXPECT_TRUE(lib.IsDamaged(0x30));
  LibraryKeyEnv env(&lib);
  KeyInfo key;
  key.dwFunID = kMacroGroup;
  key.dwMacroID = 0x30;
  EXPECT_FALSE(env.FindMacro(0x30));
  EXPECT_LT(keyinfo_to_hardware_code(env, key), 0);  // written as no function

  lib.Update(0x30, [](StMacro& m) { m.wRepeat = 3; });
  EXPECT_FALSE(lib.IsDamaged(0x30));
  EXPECT_TRUE(env.FindMacro(0x30));
  EXPECT_EQ(keyinfo_to_hardware_code(env, key), 0x30006);
}

TEST(MacroCheck, StartRemovesWhatKilledSavesLeftBehind) {
  test::TempUserDir dir;
  fs::create_directories(dir.Mac());
  // A process that has ended: a child that exited.
  pid_t gone = fork();
  if (gone == 0) _exit(0);
  ASSERT_GT(gone, 0);
  waitpid(gone, nullptr, 0);
  const std::string stale = dir.Mac() + "/.~" + std::to_string(gone) + ".0.m1.qxm";
  const std::string live = dir.Mac() + "/.~" + std::to_string(getppid()) + ".0.m2.qxm";
  const std::string other = dir.Mac() + "/.~notours.qxm";
  auto bytes = EncodeMacroFile(MakeMacro("m1", 0x40));
  for (const auto& f : {stale, live, other}) test::WriteBytes(f, bytes.data(), bytes.size());

  MacroLibrary lib(dir.Dir(), false);
  lib.Load();
  EXPECT_EQ(lib.Count(), 0u);  // none of them is a macro of the library
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(live));   // its process may still rename it
  EXPECT_TRUE(fs::exists(other));  // not a name our saves use
}

TEST(MacroCheck, ANameTheMouseCutFindsItsMacro) {
  test::TempUserDir dir;
  // New macros get names the mouse keeps whole; a longer name comes from a
  // file put into the library by hand.
  test::WriteMacro(dir.Mac() + "/averyverylongname.qxm", test::MakeMacro("averyverylongname", 0x21));
  MacroLibrary lib(dir.Dir(), false);
  lib.Load();
  const MacroResult made = lib.NewMacro("anotherverylongname");
  ASSERT_TRUE(made.ok);
  EXPECT_EQ(GetMacroName(*lib.FindById(made.id)), "anotherverylong");
  ASSERT_TRUE(lib.FindByName("averyverylongname"));
  // The device keeps 15 units; the read finds the library macro, not a twin.
  auto cut = lib.FindByName("averyverylongna");
  ASSERT_TRUE(cut);
  EXPECT_EQ(GetMacroName(*cut), "averyverylongname");
  StMacro fromDevice = *cut;
  SetMacroName(fromDevice, "averyverylongna");
  lib.MergeDeviceMacro(fromDevice);
  EXPECT_EQ(lib.Count(), 2u);
  EXPECT_FALSE(lib.FindByName("averyverylong"));  // shorter names still match whole
}

}  // namespace
}  // namespace tolvane
