// Profile import (.qxa): the input is the file the user picked. The user
// folder holds a store of four profiles and a library of two macros. After an
// import that failed, every file and the current profile must be as before;
// after one that succeeded, every macro file must still load under its own
// name, and the current profile must keep its id and pass the model's rules
// (DPI in the sensor's range, known functions, playable macros) with nothing
// left to mend. No file may appear outside the user folder.
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/notifier.h"
#include "fuzz_model.h"
#include "fuzz_support.h"
#include "macro/hd_macro.h"
#include "macro/macro_check.h"
#include "macro/macro_file.h"
#include "macro/macro_library.h"
#include "profile/profile_check.h"
#include "profile/profile_store.h"
#include "support/test_models.h"

using namespace tolvane;
namespace fs = std::filesystem;

namespace {

using Files = std::map<std::string, std::vector<uint8_t>>;

Files Snapshot(const fs::path& root) {
  Files out;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    if (!it->is_regular_file()) continue;
    std::ifstream f(it->path(), std::ios::binary);
    out[it->path().string()] = std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::Scratch scratch;
  static const DevCfg model = fuzz::FuzzModel();
  fuzz::QuietLog();
  scratch.Clear();
  const fs::path user = scratch.Dir() / "user";
  const fs::path picked = scratch.Dir() / "picked";
  fs::create_directories(user / "Mac");
  fs::create_directories(picked);
  const std::string dir = user.string() + "/";

  // The store: four profiles with fixed ids, the second current; button 2 of
  // the first table plays library macro 1.
  {
    ProfileStore maker(dir, fuzz::FuzzTexts(), fuzz::NoPointer());
    std::vector<uint8_t> image(kProfileStoreSize);
    std::memcpy(image.data(), &fuzz::kStoreIds[1], 4);
    for (int i = 0; i < kStoreProfiles; ++i) {
      ProfileFile p = maker.DefaultProfile(model, {});
      p.dwID = fuzz::kStoreIds[i];
      p.Key[0][1].dwFunID = kFunMacro;
      p.Key[0][1].dwMacroID = fuzz::kLibraryIds[0];
      std::memcpy(image.data() + 4 + size_t(i) * sizeof(ProfileFile), &p, sizeof p);
    }
    fuzz::Scratch::Write(user / ProfileStoreName(model.nCid, model.nMid),
                         std::string_view(reinterpret_cast<const char*>(image.data()), image.size()));
  }
  WriteMacroFile((user / "Mac" / "alpha.qxm").string(),
                 test::TestMacro("alpha", fuzz::kLibraryIds[0], 0x41));
  WriteMacroFile((user / "Mac" / "beta.qxm").string(),
                 test::TestMacro("beta", fuzz::kLibraryIds[1], 0x42));
  const fs::path file = picked / "in.qxa";
  fuzz::Scratch::Write(file, std::string_view(reinterpret_cast<const char*>(data), size));

  ProfileStore store(dir, fuzz::FuzzTexts(), fuzz::NoPointer());
  store.LoadPro(model, {});
  MacroLibrary library(dir, false);
  library.Load();
  if (library.Count() != 2 || store.CurrentIndex() != 1) __builtin_trap();
  const ProfileFile before = *store.Current();
  const Files filesBefore = Snapshot(scratch.Dir());
  const size_t macrosBefore = library.Count();

  RecordingNotifier notes;
  ImportOutcome r = ImportProfileFile(store, library, model, file.string(), notes);

  const Files filesAfter = Snapshot(scratch.Dir());
  for (const auto& [path, bytes] : filesAfter) {
    (void)bytes;
    // Everything the import writes belongs below the user folder.
    if (path.rfind(dir, 0) != 0 && !filesBefore.count(path)) __builtin_trap();
  }
  const ProfileFile after = *store.Current();
  if (!r.ok) {
    if (std::memcmp(&before, &after, sizeof before) != 0) __builtin_trap();
    if (filesAfter != filesBefore) __builtin_trap();
    if (library.Count() != macrosBefore) __builtin_trap();
    if (notes.Entries().empty() && size >= sizeof(ProfileFile)) {
      // A refused file is either reported or a macro slot that failed its check.
      ProfileFile head;
      std::memcpy(&head, data, sizeof head);
      if (head.dwMagic != kProfileMagic || head.dwID == 0) __builtin_trap();
    }
    return 0;
  }
  if (after.dwID != before.dwID) __builtin_trap();
  ProfileFile check = after;
  if (SanitizeProfile(check)) __builtin_trap();  // the import left something out of range
  if (r.nCurDpiLevel < 0 || r.nCurDpiLevel >= model.DpiLevels()) __builtin_trap();
  // What the writer will send: every field within the mouse's rules, every
  // macro button's library macro playable.
  std::optional<StMacro> held;
  const ProfileCheck rules = CheckProfileForModel(after, model, [&](uint32_t id) -> const StMacro* {
    held = library.FindById(id);
    return held ? &*held : nullptr;
  });
  if (!rules.findings.empty()) __builtin_trap();
  for (const auto& table : after.Key)
    for (const KeyInfo& k : table)
      if (FunGroup(k.dwFunID) == kGroupMacro)
        if (std::optional<StMacro> m = library.FindById(k.dwMacroID); m && !CheckMacro(*m).Ok())
          __builtin_trap();
  // Every macro file of the library loads and carries its file's name, and
  // a fresh load finds them all.
  for (const auto& [path, bytes] : filesAfter) {
    if (path.size() < 4 || path.compare(path.size() - 4, 4, ".qxm") != 0) continue;
    MacroFileRead m = ReadMacroFile(path);
    if (m.status != MacroFileStatus::Ok) __builtin_trap();
    if (GetMacroName(m.macro) != fs::path(path).stem().string()) __builtin_trap();
  }
  MacroLibrary again(dir, false);
  again.Load();
  if (again.Count() != library.Count()) __builtin_trap();
  return 0;
}
