// The local stores: per model the four profiles of the device (so that the
// pages have something to show before or without a device, and so that the
// profile names survive), the in-memory profile list with its current
// profile, default profiles built from the catalogue, the global settings
// file, and the export file that carries a profile with its macros.
//
// Files live in the user data folder and are raw little-endian images:
//   PRO_<cid><mid>.dct  8484 bytes: current id, then profiles 0-3 (2120 each)
//   gSetting.dct        8 bytes: start hidden, run at log-on
//   *.qxa               10460 bytes: the profile, then ten 834-byte macros
// Every file that replaces another is written to a temporary file in the
// same folder and renamed over it, so a crash keeps the previous file whole.
//
// Threads: the list is shared by the user-interface thread and the profile
// read thread. Every member takes the store's lock; callers that work on the
// current record in place (the pages) hold Mutex() or use Edit/Current copies.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/dev_cfg.h"
#include "profile/profile_file.h"

namespace tolvane {

class MacroLibrary;
class Notifier;
struct OptCfg;

constexpr int kStoreProfiles = 4;
constexpr size_t kProfileStoreSize = 4 + kStoreProfiles * sizeof(ProfileFile);  // 8484
constexpr int kExportMacroSlots = 10;
constexpr size_t kExportFileSize = sizeof(ProfileFile) + kExportMacroSlots * 834;  // 10460
constexpr size_t kGlobalSettingsSize = 8;
constexpr const char* kExportExtension = ".qxa";
constexpr const char* kGlobalSettingsName = "gSetting.dct";

// "PRO_%02x%02x.dct" of a model (lowercase hex, e.g. PRO_0a31.dct).
std::string ProfileStoreName(uint32_t cid, uint32_t mid);

// Language texts by id; the default asks the process-wide text table.
using TextFn = std::function<std::string(std::string_view id)>;
TextFn DefaultTexts();

// [OPT] values a default profile takes.
struct ProfileDefaults {
  uint32_t debounce = 4;          // for models whose own debounce is 0
  uint32_t enhancePrecision = 1;  // SysMouse precision
  std::array<uint8_t, 6> ledParam = {3, 10, 8, 255, 0, 255};  // mode, bright, speed, r, g, b
};

// The system's pointer settings, each only where the query succeeded.
struct PointerReadings {
  std::optional<int> doubleClickTime, scrollLines, trails, speed;
};
using PointerQuery = std::function<PointerReadings()>;

// The catalogue's [OPT] Debounce, EnhancePrecision and LEDParam.
ProfileDefaults ProfileDefaultsFrom(const OptCfg& opt);

// Profile names: UTF-8 <-> the record's UTF-16 field (19 units at most).
void SetProfileName(ProfileFile& p, std::string_view utf8);
std::string GetProfileName(const ProfileFile& p);

// A record of all zero bytes.
void ZeroProfile(ProfileFile& p);

// Values that would make the writer index outside its tables are put back in
// range: the key table (0-2), matrix indices (0-16), the name terminator.
// Returns true when something changed.
bool SanitizeProfile(ProfileFile& p);

// Fills `p` from the model's defaults; magic and id stay as they are.
void MakeDefaultProfile(ProfileFile& p, const DevCfg& model, const ProfileDefaults& defaults,
                        const PointerReadings& pointer, const TextFn& texts);

// The two global settings.
struct GlobalSettings {
  uint32_t bStartHidden = 0;
  uint32_t bRunAtLogon = 0;
};
// Reads UserDataDir-style `dir` + "gSetting.dct"; both 0 unless 8 bytes are there.
GlobalSettings LoadGlobalSettings(const std::string& dir);
// 1 when written, 0 when the write failed (logged; the old file stays).
int SaveGlobalSettings(const std::string& dir, const GlobalSettings& s);

// The export image of a profile: the record, then the library macros its
// macro buttons use (tables 1-3, buttons 1-16), one slot per button, ten at
// most. Always kExportFileSize bytes.
std::vector<uint8_t> BuildExportImage(const ProfileFile& p, const MacroLibrary& library);

// The write request after an import: everything the model shows.
uint32_t ImportApplyFlags(const DevCfg& model);

class ProfileStore {
 public:
  // `dir`: the user data folder, with a trailing '/'. Without `pointer` the
  // process-wide pointer settings are asked.
  explicit ProfileStore(std::string dir, TextFn texts = DefaultTexts(), PointerQuery pointer = {});

  const std::string& Dir() const { return dir_; }
  std::string StorePath(const DevCfg& model) const;

  // Fills the list from the model's store, or with four default profiles
  // when the store is missing or damaged; selects the current profile.
  void LoadPro(const DevCfg& model, const ProfileDefaults& defaults);
  // Writes the model's store from the list. 1 when the file was replaced,
  // 0 when there was nothing to write or the write failed (logged).
  int SavePro(const DevCfg& model);

  // ---- The list (copies; all under the lock).
  size_t Count() const;
  bool HasCurrent() const;
  int CurrentIndex() const;  // -1 for none
  std::optional<ProfileFile> GetProfileAt(int position) const;
  std::optional<ProfileFile> Current() const;
  // Replaces the entry at `position`; false when there is none.
  bool SetProfileAt(int position, const ProfileFile& p);
  // Makes the entry at `position` current; false when there is none.
  bool SetCurrentIndex(int position);
  // Runs `fn` on the current record under the lock; false without one.
  bool Edit(const std::function<void(ProfileFile&)>& fn);
  // Empties the list (exit).
  void Clear();

  // The pages' direct access: the record stays valid until the next
  // LoadPro or Clear; hold Mutex() while touching it from a second thread.
  ProfileFile* CurrentRecord();
  ProfileFile* RecordAt(int position);
  std::mutex& Mutex() const { return mu_; }

  // A default profile for the model (magic set, id left to the caller).
  ProfileFile DefaultProfile(const DevCfg& model, const ProfileDefaults& defaults) const;

  const TextFn& Texts() const { return texts_; }
  PointerReadings ReadPointer() const;

 private:
  const std::string dir_;
  TextFn texts_;
  PointerQuery pointer_;
  mutable std::mutex mu_;
  std::vector<std::unique_ptr<ProfileFile>> list_;
  int current_ = -1;
};

// ---- Export and import. The caller has already asked for the path (the
// GUI's file dialogs, or a command-line argument).

// Exports the current profile with `curDpiLevel` as its saved DPI level to
// `path` (".qxa" is added when the name has no extension). On failure the
// notifier shows "Create profile failed."; returns true when the file was
// written completely.
bool ExportProfile(ProfileStore& store, const MacroLibrary& library, int curDpiLevel,
                   const std::string& path, Notifier& notifier);

struct ImportOutcome {
  bool ok = false;
  int nCurDpiLevel = 0;  // the level to make current (0 when out of range)
  uint32_t nFlag = 0;    // the write to request, with nData 255
};

// Steps 3 to 8 of an import into the current profile: reads and checks the
// file, puts its macros into the library, then copies the profile over the
// current one keeping the current id. The current profile changes only when
// every step succeeded. Messages go to the notifier.
ImportOutcome ImportProfileFile(ProfileStore& store, MacroLibrary& library, const DevCfg& model,
                                const std::string& path, Notifier& notifier);

}  // namespace tolvane
