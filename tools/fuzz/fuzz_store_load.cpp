// The local stores: the input is a profile store PRO_0a31.dct and, after the
// separator line, gSetting.dct. Loading must always give four profiles with
// one current, every value the writer indexes with in range; saving and
// loading again must give the same records; the global settings are the
// file's first eight bytes, both 0 when it is shorter.
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "fuzz_model.h"
#include "fuzz_support.h"
#include "profile/profile_store.h"

using namespace tolvane;
namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::Scratch scratch;
  static const DevCfg model = fuzz::FuzzModel();
  fuzz::QuietLog();
  scratch.Clear();
  const std::string dir = scratch.Dir().string() + "/";
  auto parts = fuzz::SplitParts(data, size, 2);
  // A store of another size only gives default profiles; half the inputs
  // are cut or padded to the store's size, so that the records get the work.
  std::string store0(parts[0]);
  if (store0.size() != kProfileStoreSize && (store0.size() & 1)) store0.resize(kProfileStoreSize);
  parts[0] = store0;
  const fs::path storePath = scratch.Dir() / ProfileStoreName(model.nCid, model.nMid);
  fuzz::Scratch::Write(storePath, parts[0]);
  if (parts.size() > 1) fuzz::Scratch::Write(scratch.Dir() / kGlobalSettingsName, parts[1]);

  ProfileStore store(dir, fuzz::FuzzTexts(), fuzz::NoPointer());
  store.LoadPro(model, {});
  if (store.Count() != size_t(kStoreProfiles) || !store.HasCurrent()) __builtin_trap();
  const int current = store.CurrentIndex();
  ProfileFile loaded[kStoreProfiles];
  for (int i = 0; i < kStoreProfiles; ++i) {
    std::optional<ProfileFile> p = store.GetProfileAt(i);
    if (!p) __builtin_trap();
    loaded[i] = *p;
    ProfileFile check = *p;
    if (SanitizeProfile(check)) __builtin_trap();
  }
  const bool fromFile = parts[0].size() == kProfileStoreSize;
  if (fromFile) {
    uint32_t curId;
    std::memcpy(&curId, parts[0].data(), 4);
    // The current profile is the first with the stored id, else the first.
    int want = 0;
    for (int i = 0; i < kStoreProfiles; ++i)
      if (std::memcmp(parts[0].data() + 4 + size_t(i) * sizeof(ProfileFile) + 4, &curId, 4) == 0) {
        want = i;
        break;
      }
    if (current != want) __builtin_trap();
  } else if (current != 0) {
    __builtin_trap();
  }

  // What the store writes loads back unchanged.
  if (store.SavePro(model) != 1) __builtin_trap();
  if (fs::file_size(storePath) != kProfileStoreSize) __builtin_trap();
  ProfileStore again(dir, fuzz::FuzzTexts(), fuzz::NoPointer());
  again.LoadPro(model, {});
  if (again.CurrentIndex() != current) __builtin_trap();
  for (int i = 0; i < kStoreProfiles; ++i) {
    std::optional<ProfileFile> p = again.GetProfileAt(i);
    if (!p || std::memcmp(&*p, &loaded[i], sizeof(ProfileFile)) != 0) __builtin_trap();
  }

  GlobalSettings g = LoadGlobalSettings(dir);
  if (parts.size() > 1 && parts[1].size() >= kGlobalSettingsSize) {
    uint32_t v[2];
    std::memcpy(v, parts[1].data(), 8);
    if (g.bStartHidden != v[0] || g.bRunAtLogon != v[1]) __builtin_trap();
  } else if (g.bStartHidden != 0 || g.bRunAtLogon != 0) {
    __builtin_trap();
  }
  if (SaveGlobalSettings(dir, g) != 1) __builtin_trap();
  GlobalSettings g2 = LoadGlobalSettings(dir);
  if (g2.bStartHidden != g.bStartHidden || g2.bRunAtLogon != g.bRunAtLogon) __builtin_trap();
  return 0;
}
