// .qxm files and the macro library: one file read on its own, then a library
// folder of up to six files (in two subfolders) scanned, listed and written back.
#include <cstdint>
#include <filesystem>

#include "fuzz_support.h"
#include "macro/hd_macro.h"
#include "macro/macro_file.h"
#include "macro/macro_library.h"
#include "macro/macro_tree.h"

using namespace tolvane;
namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::Scratch scratch;
  fuzz::QuietLog();
  scratch.Clear();
  const fs::path user = scratch.Dir() / "user";
  const fs::path mac = user / "Mac";
  fs::create_directories(mac / "a" / "b");

  if (size >= kMacroFileSize) {
    StMacro m = DecodeMacroFile(data);
    MacroEventCount(m);
    auto again = EncodeMacroFile(m);
    (void)again;
  }

  auto parts = fuzz::SplitParts(data, size, 6);
  static const char* const kNames[] = {"one.qxm", "a/two.qxm", "a/b/three.qxm",
                                       "four.qxm", "a/five.qxm", "six.qxm"};
  for (size_t i = 0; i < parts.size(); ++i) fuzz::Scratch::Write(mac / kNames[i], parts[i]);
  ReadMacroFile((mac / kNames[0]).string());

  MacroLibrary lib(user.string() + "/", (size & 1) != 0);
  lib.Load();
  MacroTree tree;
  lib.FillTree(tree);
  for (const StMacro& m : lib.Records()) {
    lib.FindById(m.dwID);
    lib.FindByName(GetMacroName(m));
  }
  lib.FlushAll();
  lib.SaveSnapshot();
  // What the library wrote must load again.
  MacroLibrary again(user.string() + "/", (size & 1) != 0);
  again.Load();
  if (again.Count() < lib.Count()) __builtin_trap();
  return 0;
}
