// GetProfile: the device's settings, buttons and macros into a profile record.
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "app/log.h"
#include "app/notifier.h"
#include "config/catalogue.h"
#include "device/hid_dev.h"
#include "device/link_options.h"
#include "macro/hd_macro.h"
#include "macro/macro_library.h"
#include "macro/macro_names.h"
#include "profile/profile_device.h"

namespace tolvane {

namespace {

void SleepMs(int ms) { ProfilePause(ms); }

constexpr int kNameEntryBytes = 31;
constexpr int kMacroReadBytes = 353;  // count byte and events of a slot

struct ReadState {
  uint8_t set[eeprom::kSettingsBytes] = {};
  // The first 20 bytes of each combination block; the rest stays 0.
  uint8_t combo[eeprom::kMatrixEntries * eeprom::kComboStride] = {};
  uint8_t names[eeprom::kMatrixEntries][kNameEntryBytes] = {};
  int nameBytes[eeprom::kMatrixEntries] = {};  // name bytes that belong to the name
};

std::atomic<bool> g_pacing{true};

}  // namespace

void SetProfilePacing(bool on) { g_pacing = on; }
bool ProfilePacing() { return g_pacing; }
void ProfilePause(int ms) {
  if (g_pacing) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int ModelKeyEnv::SniperCode(uint32_t position) const {
  if (!model_) return -1;
  const int dpi = IndexToDpi(model_->nSensor, int(position));
  if (dpi <= 0) return -1;
  const int code = DpiToCode(model_->nSensor, dpi);
  return code == 0 ? -1 : (code & 0xFF);
}

int ModelKeyEnv::SniperPosition(uint8_t code) const {
  if (!model_) return -1;
  const int dpi = CodeToDpi(model_, code, 0);
  return dpi <= 0 ? -1 : DpiToIndex(model_->nSensor, dpi);
}

int ModelKeyEnv::DpiAt(uint32_t position) const {
  if (!model_) return -1;
  return IndexToDpi(model_->nSensor, int(position));
}

std::optional<int> SnapDpi(uint32_t sensor, int dpi) {
  const SensorCfg* t = Cat().sensors.Find(sensor);
  if (!t || t->nCount <= 0) return std::nullopt;
  int best = t->nDpi[0];
  for (int i = 1; i < t->nCount && i < kMaxSensorDpi; ++i) {
    const long d = std::labs(long(t->nDpi[i]) - dpi), bd = std::labs(long(best) - dpi);
    if (d < bd) best = t->nDpi[i];
  }
  return best;
}

namespace {

// One read of the device's profile: the memory pieces it reads, then the
// record filled from them. Each step that talks to the device returns false
// when a failed read ends the whole read.
class ProfileReader {
 public:
  ProfileReader(CHidDev& dev, const DevCfg* model, MacroLibrary* library)
      : dev_(dev), model_(model), library_(library), plus_(dev.IsPlus()) {
    const LinkOptions lo = GetLinkOptions();
    goOn_ = lo.bGoWithNoDev;
    dumps_ = lo.nSubDebug & 1;
  }

  int Read(ProfileFile& f) {
    if (!ReadSettings() || !ReadCombos() || !ReadMacroNames()) return 0;
    int nLevels = 0;
    if (!DecodeRateAndLevels(f, nLevels)) return 0;
    DecodeOptions(f);
    DecodeDpiLevels(f, nLevels);
    if (!ReadButtons(f)) return 0;
    DecodeLights(f);
    return 1;
  }

 private:
  // Settings block, 19 pieces of 10.
  bool ReadSettings() {
    uint8_t* set = st_->set;
    for (int i = 0; i < eeprom::kSettingsBytes / 10; ++i) {
      if (!dev_.ReadEEPROM(uint32_t(i * 10), set + i * 10, 10)) {
        LogPrint("GetProfile: read err, nAddr=0x%x", unsigned(i * 10));
        if (!goOn_) return false;
      }
      SleepMs(10);
    }
    if (dumps_) {
      LogHex(set, 12, 0, "GetProfile (0x00~0x0B):");
      if (set[2] < 1 || set[2] > 8 || set[4] > 8) LogPrint("!!!!Error: wrong dpi data");
      LogHex(set + 0x0C, 32, 0, "GetProfile (0x0C~0x2B) (DPI)(x y mul crc):");
      LogHex(set + 0x2C, 32, 0, "GetProfile (0x2C~0x4B) (DPI Color):");
      LogHex(set + 0x4C, 8, 0, "GetProfile (0x4C~0x53) (DPI Effect):");
      LogHex(set + 0x60, 64, 0, "GetProfile (0x60~0x9F) (KeyMatrix):");
      LogHex(set + 0xA0, 8, 0, "GetProfile (0xA0~0xA7):");
      if (plus_)
        LogHex(set + 0xA9, 18, 0, "GetProfile (0xA9~0xBA):");
      else
        LogHex(set + 0xA9, 12, 0, "GetProfile (0xA9~0xB4):");
    }
    return true;
  }

  // Combination blocks.
  bool ReadCombos() {
    SleepMs(20);
    for (int j = 0; j < eeprom::kMatrixEntries; ++j) {
      const uint32_t addr = eeprom::kCombo + eeprom::kComboStride * uint32_t(j);
      uint8_t* out = st_->combo + eeprom::kComboStride * j;
      if (!dev_.ReadEEPROM(addr, out, 10) || !dev_.ReadEEPROM(addr + 10, out + 10, 10)) {
        LogPrint("GetProfile: combo read err, j=%d", j);
        if (!goOn_) return false;
      }
    }
    if (dumps_) {
      char title[48];
      std::snprintf(title, sizeof title, "GetComboKeyData (0x100~0x%x):", 0x300u);
      LogHex(st_->combo, sizeof st_->combo, 0, title);
    }
    return true;
  }

  // Macro names. A piece starting 00 00 or FF FF ends the name and is not
  // part of it (erased memory holds FF).
  bool ReadMacroNames() {
    for (int j = 0; j < eeprom::kMatrixEntries; ++j) {
      SleepMs(10);
      int got = 0;
      const uint32_t addr = eeprom::kMacro + 1 + eeprom::kMacroStride * uint32_t(j);
      const int ok = dev_.ReadROM(addr, st_->names[j], int(kHdNameBytes),
                                  [&](const uint8_t* p, int n) {
                                    if (n >= 2 && ((p[0] == 0 && p[1] == 0) ||
                                                   (p[0] == 0xFF && p[1] == 0xFF)))
                                      return true;
                                    got += n;
                                    return false;
                                  });
      if (!ok) {
        LogPrint("GetProfile: macro name read err, j=%d", j);
        if (!goOn_) return false;
        got = 0;
      }
      std::memset(st_->names[j] + got, 0, size_t(kNameEntryBytes - got));
      st_->nameBytes[j] = got;
    }
    if (dumps_) LogHex(st_->names, sizeof st_->names, 0, "GetMacroName:");
    return true;
  }

  // Polling rate, level count and current level: an unknown rate code, or
  // values no profile can hold, fail the read rather than filling the record
  // with them.
  bool DecodeRateAndLevels(ProfileFile& f, int& nLevels) {
    const uint8_t* set = st_->set;
    const uint32_t rate = RateFromCode(set[eeprom::kRate], plus_);
    if (rate == 0) {
      LogPrint("GetProfile: wrong polling rate code 0x%x", set[eeprom::kRate]);
      return false;
    }
    nLevels = set[eeprom::kLevels];
    const int cur = set[eeprom::kCurLevel];
    if (nLevels < 1 || nLevels > kProfileDpiLevels || cur >= nLevels) {
      LogPrint("GetProfile: wrong dpi level data, levels=%d, current=%d", nLevels, cur);
      return false;
    }
    f.dwPollingRate = rate;
    dev_.nCurDpiLevel = cur;
    f.nCurDpiLevel = cur;
    LogPrint("nCurDpiLevel=%d", cur);
    return true;
  }

  void DecodeOptions(ProfileFile& f) const {
    const uint8_t* set = st_->set;
    // The options a model may lack: read only where it shows them.
    struct ModelOption {
      uint32_t DevCfg::*shown;
      size_t at;
      int32_t ProfileFile::*field;
      const char* name;  // in the dump
    };
    static const ModelOption kModelOptions[] = {
        {&DevCfg::bShowLOD, eeprom::kLod, &ProfileFile::nLOD, "LOD"},
        {&DevCfg::bShowRipple, eeprom::kRipple, &ProfileFile::nRipple, "Ripple"},
        {&DevCfg::bShowFixLine, eeprom::kFixLine, &ProfileFile::nFixLine, "FixLine"},
        {&DevCfg::bShowDebounce, eeprom::kDebounce, &ProfileFile::nDebounce, "Debounce"}};
    for (const ModelOption& o : kModelOptions) {
      if (!(model_->*o.shown)) continue;
      f.*o.field = set[o.at];
      if (dumps_) LogPrint("%s=%d", o.name, int(f.*o.field));
    }
    f.nSleepTime = set[eeprom::kSleepTime] * 10;
    if (dumps_) LogPrint("Sleep Time=%d", f.nSleepTime);
    f.bLightOffOnMove = set[eeprom::kLightOffOnMove];
    if (dumps_) LogPrint("Turn OFF Light On Moving=%d", f.bLightOffOnMove);
    if (plus_) {
      f.nSensorSleep = set[eeprom::kOptB7];
      f.nOption2 = set[eeprom::kOptB9];
    } else {
      f.nSensorSleep = set[eeprom::kOptB5];
      f.nOption2 = set[eeprom::kOptB7];
    }
    f.bButtonOption = set[eeprom::kButtonOption] != 0 ? 1 : 0;
  }

  void DecodeDpiLevels(ProfileFile& f, int nLevels) const {
    const uint8_t* set = st_->set;
    for (DpiLevel& l : f.Dpi) l.bAbsent = 1;
    bool wrongDpi = false;
    for (int i = 0; i < nLevels; ++i) {
      DpiLevel& l = f.Dpi[i];
      const uint8_t* c = set + eeprom::kDpiColor + 4 * i;
      l.dwColor = DecodeColor(c[0], c[1], c[2]);
      l.bAbsent = 0;
      const int off = eeprom::kDpi + 4 * i;
      const DpiCodes codes = DecodeDpiEntry(std::span<const uint8_t, 4>(set + off, 4));
      LogPrint("nHwDpi=0x%x, nHwDpiY=0x%x, bMul=%x", codes.xCode, codes.yCode, codes.xMode);
      l.dwDpiX = uint32_t(CodeToDpi(model_, int(codes.xCode), int(codes.xMode)));
      LogPrint("dwDpi[%d]=%d", i, int(l.dwDpiX));
      if (l.dwDpiX == 0) {
        LogPrint("wrong dpi(%x): Data[%d]=0x%x, Data[%d]=0x%x", model_->nSensor, off, set[off],
                 off + 2, set[off + 2]);
        wrongDpi = true;
      }
      l.dwDpiY = uint32_t(CodeToDpi(model_, int(codes.yCode), int(codes.yMode)));
    }
    f.nDpiLevels = nLevels;
    if (wrongDpi) GetNotifier().Message(Caption::Warning, "Get wrong dpi from device");
  }

  bool ReadButtons(ProfileFile& f) {
    ModelKeyEnv env(model_, library_);
    const uint32_t keyMask = Cat().opt.KeyMask;
    for (int b = 0; b < kMaxKeys; ++b) {
      if (keyMask & (1u << b)) continue;
      const uint32_t k = model_->keys[0][b].nMatrix;
      if (k == 0) continue;
      if (k > uint32_t(eeprom::kMatrixEntries)) {
        LogPrint("GetProfile: key %d has matrix index %u, skipped", b, k);
        continue;
      }
      const int j = int(k - 1);
      const uint8_t* e = st_->set + eeprom::kMatrix + 4 * j;
      const uint32_t code = uint32_t(e[0]) | uint32_t(e[1]) << 8 | uint32_t(e[2]) << 16;
      LogPrint("nCode = 0x%x, MatrixInx=%d", code, j);
      std::string macroName;
      std::optional<uint32_t> addedId;
      if ((code & 0xFF) == kHwMacro && !ReadButtonMacro(j, code, macroName, addedId)) return false;
      KeyInfo key;
      key.nMatrix = k;
      if (!HardwareCodeToKeyInfo(std::span<const uint8_t>(st_->combo, sizeof st_->combo), code,
                                 key, env, macroName)) {
        LogPrint("GetProfile: key %d: code 0x%x not decoded", b, code);
        continue;
      }
      if (addedId) key.dwMacroID = *addedId;
      f.Key[0][b] = key;
      LogPrint("keyinfo: major=0x%x, minor=%d", key.dwFunID >> 24, int(key.dwFunID & 0xFFFFFF));
    }
    return true;
  }

  // The macro of matrix entry j, which a button plays: read, named from the
  // names block and put into the library (a named one merged under its file
  // name, an unnamed one added under a new id).
  bool ReadButtonMacro(int j, uint32_t code, std::string& macroName,
                       std::optional<uint32_t>& addedId) {
    StMacro m;
    std::memset(&m, 0, sizeof m);
    SleepMs(15);
    uint8_t buf[kHdMacroSize] = {};
    int got = 0;
    const uint32_t addr = eeprom::kMacro + 31 + eeprom::kMacroStride * uint32_t(j);
    const int ok = dev_.ReadROM(addr, buf, kMacroReadBytes, [&](const uint8_t* p, int n) {
      got += n;
      return n >= 3 && p[0] == 0 && p[1] == 0 && p[2] == 0;
    });
    if (!ok) {
      LogPrint("GetProfile: macro read err, MatrixInx=%d", j);
      return goOn_;
    }
    if (!HdMacro_To_StMacro(m, std::span<const uint8_t>(buf, size_t(got)),
                            library_ ? MakeTimeId() : 0))
      return true;
    SetMacroNameFromRecord(m, std::span<const uint8_t>(st_->names[j], size_t(st_->nameBytes[j])));
    SetMacroPlayByte(m, uint8_t(code >> 16));
    const std::string name = GetMacroName(m);
    if (!library_) return true;
    if (name.empty()) {
      addedId.reset();
      if (auto added = library_->Add_Macro(m))
        addedId = added->dwID;
      else
        LogPrint("add macro to list faile..");
    } else {
      library_->MergeDeviceMacro(m);
      macroName = SafeMacroFileName(name);
    }
    return true;
  }

  void DecodeLights(ProfileFile& f) const {
    const uint8_t* set = st_->set;
    if (!plus_ || model_->bShowDpiLED)
      EEPROM_To_DpiLight(std::span<const uint8_t, 8>(set + eeprom::kDpiLight, 8), f.DpiLight,
                         plus_);
    if (model_->bShowMainEffect)
      EEPROM_To_MainRGB(std::span<const uint8_t, 8>(set + eeprom::kMainLight, 8), f.MainLight,
                        LogLevel > 0, plus_);
    if (model_->bShowLogoEffect)
      EEPROM_To_LogoRGB(std::span<const uint8_t, 10>(set + eeprom::kLogo, 10), f.LogoLight);
  }

  CHidDev& dev_;
  const DevCfg* model_;
  MacroLibrary* library_;
  const bool plus_;
  bool goOn_ = false;
  bool dumps_ = false;
  std::unique_ptr<ReadState> st_ = std::make_unique<ReadState>();
};

}  // namespace

int GetProfile(CHidDev& dev, ProfileFile* pFile, MacroLibrary* library) {
  if (!dev.pDevCfg || !pFile) return 0;
  return ProfileReader(dev, dev.pDevCfg, library).Read(*pFile);
}

}  // namespace tolvane
