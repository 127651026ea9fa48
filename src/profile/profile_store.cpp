#include "profile/profile_store.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "app/log.h"
#include "app/notifier.h"
#include "config/catalogue.h"
#include "config/texts.h"
#include "macro/hd_macro.h"
#include "macro/macro_file.h"
#include "macro/macro_library.h"
#include "macro/macro_names.h"
#include "records/st_macro.h"
#include "platform/pointer_settings.h"
#include "profile/key_codes.h"
#include "profile/profile_check.h"

namespace tolvane {

static_assert(kProfileStoreSize == 8484);
static_assert(kExportFileSize == 10460);
static_assert(sizeof(StMacro) == 834);

namespace {

// Reads at most `max` bytes of a regular file. Returns the errno of a failed
// open (a non-regular file counts as EINVAL); `readErr` gets the errno of a
// failed read (the bytes before it are kept).
struct FileBytes {
  int openErr = 0;
  int readErr = 0;
  off_t size = 0;
  std::vector<uint8_t> bytes;
};

FileBytes ReadFileBytes(const std::string& path, size_t max) {
  FileBytes out;
  // O_NONBLOCK: a FIFO or device node in place of the file must not hang the
  // open; such files are refused below.
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    out.openErr = errno;
    return out;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    out.openErr = S_ISREG(st.st_mode) ? errno : EINVAL;
    close(fd);
    return out;
  }
  out.size = st.st_size;
  out.bytes.resize(max);
  size_t got = 0;
  while (got < max) {
    ssize_t n = read(fd, out.bytes.data() + got, max - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      out.readErr = errno;
      break;
    }
    if (n == 0) break;
    got += size_t(n);
  }
  out.bytes.resize(got);
  close(fd);
  return out;
}

// Temporary files of saves that were killed before their rename
// (".~<pid>.<n>.<name>" of a process that is gone: the store, gSetting.dct,
// mac.dct) are removed.
void RemoveStaleTemps(const std::string& dir) {
  DIR* d = opendir(dir.c_str());
  if (!d) return;
  std::vector<std::string> names;
  while (dirent* e = readdir(d)) names.emplace_back(e->d_name);
  closedir(d);
  for (const std::string& f : names) RemoveIfStaleTemp(dir + f);
}

bool IsMacroKey(const KeyInfo& k) { return FunGroup(k.dwFunID) == kGroupMacro; }

std::string WithExportExtension(const std::string& path) {
  size_t slash = path.rfind('/');
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  if (base.find('.') == std::string::npos) return path + kExportExtension;
  return path;
}

}  // namespace

std::string ProfileStoreName(uint32_t cid, uint32_t mid) {
  char name[32];
  std::snprintf(name, sizeof(name), "PRO_%02x%02x.dct", cid & 0xFF, mid & 0xFF);
  return name;
}

ProfileDefaults ProfileDefaultsFrom(const OptCfg& opt) {
  ProfileDefaults d;
  d.debounce = opt.Debounce;
  d.enhancePrecision = opt.EnhancePrecision;
  d.ledParam = opt.LEDParam;
  return d;
}

TextFn DefaultTexts() {
  return [](std::string_view id) { return Tx(id); };
}

void ZeroProfile(ProfileFile& p) { std::memset(static_cast<void*>(&p), 0, sizeof(p)); }

void SetProfileName(ProfileFile& p, std::string_view utf8) {
  StMacro tmp{};
  SetMacroName(tmp, TruncateUnits(utf8, kProfileNameUnits - 1));
  std::memcpy(p.szName, tmp.szName, sizeof(p.szName));
  p.szName[kProfileNameUnits - 1] = 0;
}

std::string GetProfileName(const ProfileFile& p) {
  StMacro tmp{};
  std::memcpy(tmp.szName, p.szName, sizeof(p.szName));
  return GetMacroName(tmp);
}

bool SanitizeProfile(ProfileFile& p) {
  bool changed = false;
  if (p.nKeyTable < 0 || p.nKeyTable >= kKeyModes) {
    p.nKeyTable = 0;
    changed = true;
  }
  for (auto& table : p.Key) {
    for (KeyInfo& k : table) {
      if (k.nMatrix > uint32_t(eeprom::kMatrixEntries)) {
        k.nMatrix = 0;
        changed = true;
      }
    }
  }
  if (p.szName[kProfileNameUnits - 1] != 0) {
    p.szName[kProfileNameUnits - 1] = 0;
    changed = true;
  }
  return changed;
}

void MakeDefaultProfile(ProfileFile& p, const DevCfg& c, const ProfileDefaults& d,
                        const PointerReadings& pointer, const TextFn& texts) {
  std::memset(p.bReserved0, 0, sizeof(p.bReserved0));
  SetProfileName(p, texts ? texts("tc_msg14") : std::string());
  p.nKeyTable = 0;
  std::memcpy(p.Key, c.keys, sizeof(p.Key));

  // Everything from dwPollingRate to the end of the record.
  uint8_t* from = reinterpret_cast<uint8_t*>(&p) + offsetof(ProfileFile, dwPollingRate);
  std::memset(from, 0, sizeof(ProfileFile) - offsetof(ProfileFile, dwPollingRate));
  p.dwPollingRate = c.nDefRate;
  p.nDebounce = int32_t(c.nDebounce != 0 ? c.nDebounce : d.debounce);
  p.nSleepTime = int32_t(c.nSleepTime);
  p.bLightOffOnMove = int32_t(c.bSleepTimeCheck);
  p.nLOD = int32_t(c.bShowLOD);
  p.nRipple = 0;
  p.nFixLine = 0;
  p.bButtonOption = 1;
  p.nOption2 = 0;
  p.nSensorSleep = 6;
  p.nOption3 = 0;
  // Brightness and speed are 1-based in the catalogue; a 0 there stays at the
  // first index rather than below the tables.
  const int ledBright = int((c.dwDpiLEDMode >> 8) & 0xFF) - 1;
  const int ledSpeed = int((c.dwDpiLEDMode >> 16) & 0xFF) - 1;
  p.DpiLight.nMode = int32_t(c.dwDpiLEDMode & 0xFF);
  p.DpiLight.nBright = ledBright < 0 ? 0 : (ledBright > 9 ? 9 : ledBright);
  p.DpiLight.nSpeed = ledSpeed < 0 ? 0 : (ledSpeed > 4 ? 4 : ledSpeed);

  for (DpiLevel& l : p.Dpi) l.bAbsent = 1;
  for (int i = 0; i < c.DpiLevels(); ++i) {
    p.Dpi[i].dwDpiX = p.Dpi[i].dwDpiY = c.dwDpi[i];
    p.Dpi[i].dwColor = c.dwDpiColor[i];
    p.Dpi[i].bAbsent = 0;
  }
  p.nDpiMode = 0;
  p.dwSensor = c.nSensor;
  p.nDpiLevels = int32_t(c.nDpiUILevels != 0 ? c.nDpiUILevels : uint32_t(c.DpiLevels()));

  p.SysMouse.nScrollLines = 3;
  p.SysMouse.nDoubleClickTime = 550;
  p.SysMouse.nPointerSpeed = 10;
  p.SysMouse.nTrails = 0;
  if (pointer.doubleClickTime) p.SysMouse.nDoubleClickTime = *pointer.doubleClickTime;
  if (pointer.scrollLines) p.SysMouse.nScrollLines = *pointer.scrollLines;
  if (pointer.trails) p.SysMouse.nTrails = *pointer.trails;
  if (pointer.speed) p.SysMouse.nPointerSpeed = *pointer.speed;
  p.SysMouse.bEnhancePrecision = int32_t(d.enhancePrecision);

  const auto& b = d.ledParam;
  p.MainLight.nMode = b[0];
  p.MainLight.nBright = b[1];
  p.MainLight.nSpeed = b[2];
  p.MainLight.dwColor = uint32_t(b[3]) | uint32_t(b[4]) << 8 | uint32_t(b[5]) << 16;
  p.LogoLight = p.MainLight;
  if (p.LogoLight.nMode > 3) p.LogoLight.nMode = 1;
  if (p.LogoLight.nSpeed > 5) p.LogoLight.nSpeed = 5;
}

// ---- Global settings ----------------------------------------------------------

GlobalSettings LoadGlobalSettings(const std::string& dir) {
  GlobalSettings s;
  FileBytes f = ReadFileBytes(dir + kGlobalSettingsName, kGlobalSettingsSize);
  if (f.openErr != 0) {
    LogPrint("open gsetting file err=%d", f.openErr);
    return s;
  }
  if (f.readErr != 0 || f.bytes.size() != kGlobalSettingsSize) {
    LogPrint("load gsetting: ReadFile err=%d", f.readErr);
    return s;
  }
  std::memcpy(&s.bStartHidden, f.bytes.data(), 4);
  std::memcpy(&s.bRunAtLogon, f.bytes.data() + 4, 4);
  return s;
}

int SaveGlobalSettings(const std::string& dir, const GlobalSettings& s) {
  uint8_t buf[kGlobalSettingsSize];
  std::memcpy(buf, &s.bStartHidden, 4);
  std::memcpy(buf + 4, &s.bRunAtLogon, 4);
  bool createFailed = false;
  int err = WriteFileReplacing(dir + kGlobalSettingsName, buf, sizeof(buf), &createFailed);
  if (err != 0) {
    LogPrint(createFailed ? "save gsetting: CreateFile err=%d" : "save gsetting: WriteFile err=%d",
             err);
    return 0;
  }
  return 1;
}

// ---- The store -----------------------------------------------------------------

ProfileStore::ProfileStore(std::string dir, TextFn texts, PointerQuery pointer)
    : dir_(std::move(dir)), texts_(std::move(texts)), pointer_(std::move(pointer)) {
  if (!pointer_) {
    pointer_ = [] {
      const PointerSettings& p = GetPointerSettings();
      const PointerCapabilities caps = p.Capabilities();
      const PointerValues v = p.Current();
      PointerReadings r;
      if (caps.CanRead(kPointerDoubleClick)) r.doubleClickTime = v.nDoubleClickTime;
      if (caps.CanRead(ScrollBitFor(v.nScrollLines))) r.scrollLines = v.nScrollLines;
      if (caps.CanRead(kPointerTrails)) r.trails = v.nTrails;
      if (caps.CanRead(kPointerSpeed)) r.speed = v.nPointerSpeed;
      return r;
    };
  }
}

std::string ProfileStore::StorePath(const DevCfg& model) const {
  return dir_ + ProfileStoreName(model.nCid, model.nMid);
}

PointerReadings ProfileStore::ReadPointer() const { return pointer_ ? pointer_() : PointerReadings{}; }

ProfileFile ProfileStore::DefaultProfile(const DevCfg& model, const ProfileDefaults& defaults) const {
  ProfileFile p;
  ZeroProfile(p);
  p.dwMagic = kProfileMagic;
  MakeDefaultProfile(p, model, defaults, ReadPointer(), texts_);
  return p;
}

void ProfileStore::LoadPro(const DevCfg& model, const ProfileDefaults& defaults) {
  const std::string path = StorePath(model);
  RemoveStaleTemps(dir_);
  std::vector<std::unique_ptr<ProfileFile>> list;
  uint32_t curId = 0;
  bool ok = false;
  FileBytes f = ReadFileBytes(path, kProfileStoreSize);
  if (f.openErr != 0) {
    LogPrint("LoadPro: open file err=%d", f.openErr);
  } else if (f.size != off_t(kProfileStoreSize)) {
    LogPrint("LoadPro err: wrong size");
  } else if (f.readErr != 0 || f.bytes.size() != kProfileStoreSize) {
    LogPrint("ReadFile err=%d", f.readErr);
  } else {
    std::memcpy(&curId, f.bytes.data(), 4);
    for (int i = 0; i < kStoreProfiles; ++i) {
      auto p = std::make_unique<ProfileFile>();
      std::memcpy(static_cast<void*>(p.get()), f.bytes.data() + 4 + i * sizeof(ProfileFile),
                  sizeof(ProfileFile));
      SanitizeProfile(*p);
      list.push_back(std::move(p));
    }
    ok = true;
  }
  if (!ok) {
    list.clear();
    const std::string base = texts_ ? texts_("tc_msg35") : std::string();
    for (int n = 1; n <= kStoreProfiles; ++n) {
      auto p = std::make_unique<ProfileFile>(DefaultProfile(model, defaults));
      p->dwID = MakeTimeId();
      char name[128];
      std::snprintf(name, sizeof(name), "%s %d", base.c_str(), n);
      SetProfileName(*p, name);
      list.push_back(std::move(p));
    }
  }
  int current = 0;
  for (int i = 0; i < int(list.size()); ++i) {
    if (list[i]->dwID == curId) {
      current = i;
      break;
    }
  }
  {
    std::lock_guard lock(mu_);
    list_ = std::move(list);
    current_ = current;
  }
  LogPrint("LoadPro ok: cid=%02x, mid=%02x", model.nCid, model.nMid);
}

int ProfileStore::SavePro(const DevCfg& model) {
  std::vector<uint8_t> image;
  {
    std::lock_guard lock(mu_);
    if (current_ < 0 || current_ >= int(list_.size())) return 0;
    LogPrint("SavePro: cid=%02x, mid=%02x", model.nCid, model.nMid);
    // The list always holds four entries once loaded; a shorter one would
    // leave a store that the next load rejects, so it is not written.
    if (list_.size() != size_t(kStoreProfiles)) {
      LogPrint("SavePro: WriteFile err=%d", EINVAL);
      return 0;
    }
    image.resize(kProfileStoreSize);
    std::memcpy(image.data(), &list_[current_]->dwID, 4);
    for (int i = 0; i < kStoreProfiles; ++i)
      std::memcpy(image.data() + 4 + i * sizeof(ProfileFile), list_[i].get(), sizeof(ProfileFile));
  }
  bool createFailed = false;
  int err = WriteFileReplacing(StorePath(model), image.data(), image.size(), &createFailed);
  if (err != 0) {
    LogPrint(createFailed ? "SavePro: CreateFile err=%d" : "SavePro: WriteFile err=%d", err);
    return 0;
  }
  return 1;
}

size_t ProfileStore::Count() const {
  std::lock_guard lock(mu_);
  return list_.size();
}

bool ProfileStore::HasCurrent() const {
  std::lock_guard lock(mu_);
  return current_ >= 0 && current_ < int(list_.size());
}

int ProfileStore::CurrentIndex() const {
  std::lock_guard lock(mu_);
  return current_ >= 0 && current_ < int(list_.size()) ? current_ : -1;
}

std::optional<ProfileFile> ProfileStore::GetProfileAt(int position) const {
  std::lock_guard lock(mu_);
  if (position < 0 || position >= int(list_.size())) return std::nullopt;
  return *list_[position];
}

std::optional<ProfileFile> ProfileStore::Current() const {
  std::lock_guard lock(mu_);
  if (current_ < 0 || current_ >= int(list_.size())) return std::nullopt;
  return *list_[current_];
}

bool ProfileStore::SetProfileAt(int position, const ProfileFile& p) {
  std::lock_guard lock(mu_);
  if (position < 0 || position >= int(list_.size())) return false;
  *list_[position] = p;
  return true;
}

bool ProfileStore::SetCurrentIndex(int position) {
  std::lock_guard lock(mu_);
  if (position < 0 || position >= int(list_.size())) return false;
  current_ = position;
  return true;
}

bool ProfileStore::Edit(const std::function<void(ProfileFile&)>& fn) {
  std::lock_guard lock(mu_);
  if (current_ < 0 || current_ >= int(list_.size())) return false;
  fn(*list_[current_]);
  return true;
}

void ProfileStore::Clear() {
  std::lock_guard lock(mu_);
  list_.clear();
  current_ = -1;
}

ProfileFile* ProfileStore::CurrentRecord() {
  std::lock_guard lock(mu_);
  return current_ >= 0 && current_ < int(list_.size()) ? list_[current_].get() : nullptr;
}

ProfileFile* ProfileStore::RecordAt(int position) {
  std::lock_guard lock(mu_);
  return position >= 0 && position < int(list_.size()) ? list_[position].get() : nullptr;
}

// ---- Export and import -----------------------------------------------------------

std::vector<uint8_t> BuildExportImage(const ProfileFile& p, const MacroLibrary& library) {
  std::vector<uint8_t> image(kExportFileSize, 0);
  std::memcpy(image.data(), &p, sizeof(ProfileFile));
  int slot = 0;
  for (int t = 0; t < kKeyModes && slot < kExportMacroSlots; ++t) {
    for (int b = 0; b < kMaxKeys && slot < kExportMacroSlots; ++b) {
      const KeyInfo& k = p.Key[t][b];
      if (!IsMacroKey(k)) continue;
      std::optional<StMacro> m = library.FindById(k.dwMacroID);
      if (!m) continue;
      std::memcpy(image.data() + sizeof(ProfileFile) + slot * sizeof(StMacro), &*m,
                  sizeof(StMacro));
      ++slot;
    }
  }
  return image;
}

uint32_t ImportApplyFlags(const DevCfg& c) {
  // Every group up to the DPI colours, and the number of DPI levels (0x80):
  // without it the device would keep its old count while the pages show the
  // imported one, and the next read would bring the old count back.
  uint32_t f = 0x7F + 0x80 + 0x40000;
  if (c.bShowDebounce) f |= 0x1000;
  if (c.bShowSleep) f |= 0x4000;
  if (c.bWideRange) f |= 0x2000;
  if (c.bShowLOD) f |= 0x200;
  if (c.bShowFixLine) f |= 0x400;
  if (c.bShowRipple) f |= 0x800;
  return f;
}

bool ExportProfile(ProfileStore& store, const MacroLibrary& library, int curDpiLevel,
                   const std::string& path, Notifier& notifier) {
  std::optional<ProfileFile> cur;
  if (!store.Edit([&](ProfileFile& p) {
        p.nCurDpiLevel = curDpiLevel;
        cur = p;
      })) {
    return false;
  }
  LogPrint("ExportProfile: nCurDpiLevel=%d", curDpiLevel);
  // The target is a file: a folder (or a name ending in '/') is refused
  // rather than given a file of its own, and no folder is ever created.
  const std::string target = WithExportExtension(path);
  struct stat st {};
  if (path.empty() || path.back() == '/' || (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) ||
      (stat(target.c_str(), &st) == 0 && S_ISDIR(st.st_mode))) {
    LogPrint("ExportProfile: CreateFile err=%d", EISDIR);
    notifier.Message(Caption::Error, "Create profile failed.");
    return false;
  }
  std::vector<uint8_t> image = BuildExportImage(*cur, library);
  bool createFailed = false;
  int err = WriteFileReplacing(target, image.data(), image.size(), &createFailed, false);
  if (err != 0) {
    LogPrint(createFailed ? "ExportProfile: CreateFile err=%d" : "ExportProfile: WriteFile err=%d",
             err);
    notifier.Message(Caption::Error, "Create profile failed.");
    return false;
  }
  return true;
}

namespace {

// An export file as read: the profile and its ten macro slots.
struct ExportFile {
  ProfileFile profile;
  StMacro slots[kExportMacroSlots] = {};

  // The slot that carries macro `id`, -1 none.
  int FindSlot(uint32_t id) const {
    for (int s = 0; s < kExportMacroSlots; ++s)
      if (slots[s].dwID == id) return s;
    return -1;
  }
};

// The text of `id`, or `fallback` where the texts have none.
std::string TextOr(const TextFn& texts, const char* id, const char* fallback) {
  std::string t = texts ? texts(id) : std::string();
  return t.empty() ? std::string(fallback) : t;
}

// Reads an export file; nothing (with the message given) when it cannot be
// opened or is not a profile.
std::optional<ExportFile> ReadExportFile(const std::string& path, const TextFn& texts,
                                         Notifier& notifier) {
  FileBytes f = ReadFileBytes(path, kExportFileSize);
  if (f.openErr != 0) {
    std::string tip = texts ? texts("tc_tip2") : std::string();
    char msg[512];
    if (tip.empty())
      std::snprintf(msg, sizeof(msg), "Open Profile Err = %d", f.openErr);
    else
      std::snprintf(msg, sizeof(msg), "%s %d", tip.c_str(), f.openErr);
    notifier.Message(Caption::Error, msg);
    return std::nullopt;
  }
  if (f.bytes.empty()) {
    notifier.Message(Caption::Error, "Read profile failed.");
    return std::nullopt;
  }
  // Anything shorter than a whole record is a damaged file, whatever its
  // first bytes say.
  auto file = std::make_optional<ExportFile>();
  ProfileFile& imported = file->profile;
  ZeroProfile(imported);
  if (f.bytes.size() >= sizeof(ProfileFile))
    std::memcpy(static_cast<void*>(&imported), f.bytes.data(), sizeof(ProfileFile));
  if (f.bytes.size() < sizeof(ProfileFile) || imported.dwMagic != kProfileMagic ||
      imported.dwID == 0) {
    notifier.Message(Caption::Error, TextOr(texts, "tc_tip3", "This is not a valid profile"));
    return std::nullopt;
  }
  for (int s = 0; s < kExportMacroSlots; ++s) {
    size_t at = sizeof(ProfileFile) + s * sizeof(StMacro);
    if (at + sizeof(StMacro) <= f.bytes.size())
      std::memcpy(&file->slots[s], f.bytes.data() + at, sizeof(StMacro));
  }
  return file;
}

// The checks, so that nothing the mouse would not take reaches the library,
// the store or the mouse: the profile field by field against the model, with
// the macros its buttons take from the file, or from the library for a
// button whose macro the file does not carry (a damaged library macro goes
// to no button). On success the profile is mended for the model.
bool CheckImport(ExportFile& file, const MacroLibrary& library, const DevCfg& model,
                 const TextFn& texts, Notifier& notifier) {
  std::map<uint32_t, StMacro> fromLibrary;
  const ProfileCheck check =
      CheckProfileForModel(file.profile, model, [&](uint32_t id) -> const StMacro* {
        const int s = file.FindSlot(id);
        if (s >= 0 && file.slots[s].dwMagicNumber == kMacroMagic) return &file.slots[s];
        const std::optional<StMacro> m = library.FindById(id);
        return m ? &(fromLibrary[id] = *m) : nullptr;
      });
  if (!check.Ok()) {
    LogPrint("ImportProfile: refused, %s", check.FirstFatal().c_str());
    notifier.Message(Caption::Error, TextOr(texts, "tc_tip3", "This is not a valid profile"));
    return false;
  }
  MendProfileForModel(file.profile, model);
  for (auto& table : file.profile.Key) {
    for (const KeyInfo& k : table) {
      if (!IsMacroKey(k) || k.dwMacroID == 0) continue;
      int s = file.FindSlot(k.dwMacroID);
      if (s < 0 || library.HasId(k.dwMacroID)) continue;
      if (file.slots[s].dwMagicNumber != kMacroMagic) {
        LogPrint("Add_Macro: FAILED, dwMagicNumber=0x%x", file.slots[s].dwMagicNumber);
        return false;
      }
    }
  }
  return true;
}

// The file's macros into the library, and the buttons onto their library
// ids: a macro used by several buttons is taken once.
bool TakeMacros(ExportFile& file, MacroLibrary& library) {
  std::map<uint32_t, uint32_t> newIds;
  for (auto& table : file.profile.Key) {
    for (KeyInfo& k : table) {
      if (!IsMacroKey(k) || k.dwMacroID == 0) continue;
      if (auto it = newIds.find(k.dwMacroID); it != newIds.end()) {
        k.dwMacroID = it->second;
        continue;
      }
      int s = file.FindSlot(k.dwMacroID);
      if (s < 0) continue;
      const StMacro& slot = file.slots[s];
      if (library.HasId(k.dwMacroID)) {
        // Only a macro record replaces the library's macro: the checks took
        // the library's own macro for a slot that is none.
        if (slot.dwMagicNumber == kMacroMagic) library.ReplaceMacro(k.dwMacroID, slot);
        newIds[k.dwMacroID] = k.dwMacroID;
        continue;
      }
      // The same macro imported before (same name, events and play settings)
      // is used again rather than copied.
      if (std::optional<uint32_t> twin = library.FindTwin(slot)) {
        newIds[k.dwMacroID] = *twin;
        k.dwMacroID = *twin;
        continue;
      }
      StMacro add = slot;
      add.dwID = 0;  // the library gives it a new time id
      std::optional<StMacro> added = library.Add_Macro(add);
      if (!added) return false;
      newIds[k.dwMacroID] = added->dwID;
      k.dwMacroID = added->dwID;
    }
  }
  return true;
}

}  // namespace

ImportOutcome ImportProfileFile(ProfileStore& store, MacroLibrary& library, const DevCfg& model,
                                const std::string& path, Notifier& notifier) {
  ImportOutcome out;
  const TextFn& texts = store.Texts();
  if (!store.HasCurrent()) return out;
  std::optional<ExportFile> file = ReadExportFile(path, texts, notifier);
  if (!file || !CheckImport(*file, library, model, texts, notifier) || !TakeMacros(*file, library))
    return out;

  const ProfileFile& imported = file->profile;
  int level = imported.nCurDpiLevel;
  LogPrint("ImportProfile: nCurDpiLevel=%d", level);
  if (level < 0 || level >= model.DpiLevels()) level = 0;
  if (!store.Edit([&](ProfileFile& p) {
        uint32_t keepId = p.dwID;
        p = imported;
        p.dwID = keepId;
      })) {
    return out;
  }
  out.ok = true;
  out.nCurDpiLevel = level;
  out.nFlag = ImportApplyFlags(model);
  return out;
}

}  // namespace tolvane
