// .qxm files and the macro library: one file read on its own, then a library
// folder of up to six files (in two subfolders) scanned, listed and written
// back, and the first file imported. A macro the import accepts, and any
// macro a button can get from the library, keeps the mouse's rules.
#include <cstdint>
#include <filesystem>
#include <optional>

#include "fuzz_support.h"
#include "macro/hd_macro.h"
#include "macro/macro_check.h"
#include "macro/macro_file.h"
#include "macro/macro_library.h"
#include "macro/macro_tree.h"
#include "profile/key_env.h"

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
  const fs::path picked = scratch.Dir() / "picked.qxm";
  if (!parts.empty()) {
    fuzz::Scratch::Write(picked, parts[0]);
    MacroResult r = lib.Import(picked.string());
    if (r.ok) {
      std::optional<StMacro> m = lib.FindById(r.id);
      if (!m || !CheckMacro(*m).Ok()) __builtin_trap();
    }
  }
  LibraryKeyEnv env(&lib);
  for (const StMacro& m : lib.Records()) {
    std::optional<StMacro> onButton = env.FindMacro(m.dwID);
    if (onButton && !CheckMacro(*onButton).Ok()) __builtin_trap();
  }
  lib.FlushAll();
  lib.SaveSnapshot();
  // What the library wrote must load again.
  MacroLibrary again(user.string() + "/", (size & 1) != 0);
  again.Load();
  if (again.Count() < lib.Count()) __builtin_trap();
  return 0;
}
