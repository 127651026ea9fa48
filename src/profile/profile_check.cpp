#include "profile/profile_check.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <iterator>

#include "app/log.h"
#include "config/catalogue.h"
#include "config/sensor.h"
#include "macro/macro_check.h"
#include "profile/key_codes.h"

namespace tolvane {

namespace {

constexpr int32_t kSensorSleepValues[] = {1, 2, 3, 6, 12, 18, 24, 30, 36, 42, 48, 54, 60};
constexpr uint32_t kMaxColor = 0xFFFFFF;
constexpr uint32_t kNoTableMinDpi = 50, kNoTableMaxDpi = 26000, kNoTableDpiStep = 50;

const SensorTables& Tables(const SensorTables* sensors) {
  return sensors ? *sensors : Cat().sensors;
}

class Findings {
 public:
  explicit Findings(ProfileCheck& out) : out_(out) {}
  void Fatal(std::string field, const char* fmt, long long v) { Add(std::move(field), fmt, v, false); }
  void Mend(std::string field, const char* fmt, long long v) { Add(std::move(field), fmt, v, true); }
  // `v` must lie in [lo, hi].
  void Range(const char* field, long long v, long long lo, long long hi) {
    if (v < lo || v > hi) {
      char what[96];
      std::snprintf(what, sizeof what, "%lld is outside %lld..%lld", v, lo, hi);
      out_.findings.push_back({field, what, false});
    }
  }

 private:
  void Add(std::string field, const char* fmt, long long v, bool mendable) {
    char what[128];
    std::snprintf(what, sizeof what, fmt, v);
    out_.findings.push_back({std::move(field), what, mendable});
  }
  ProfileCheck& out_;
};

std::string Indexed(const char* base, int i, const char* member) {
  char s[64];
  std::snprintf(s, sizeof s, "%s[%d].%s", base, i, member);
  return s;
}

std::string KeyField(int t, int b, const char* member) {
  char s[64];
  std::snprintf(s, sizeof s, "Key[%d][%d].%s", t, b, member);
  return s;
}

bool InFunctionTable(uint32_t fun) {
  for (const FunctionInfo& f : FunctionTable())
    if (f.dwFunID == fun) return true;
  return false;
}

// A raw hardware code the reader would recognise as a function.
bool KnownHardwareCode(uint32_t code) {
  if (code > 0xFFFFFF) return false;
  static const std::array<uint8_t, kComboRecords * kComboRecordSize> noCombos{};
  KeyInfo k;
  return HardwareCodeToKeyInfo(noCombos, code, k, KeyCodeEnv{});
}

void CheckKey(Findings& f, const KeyInfo& k, int t, int b, uint32_t sensor,
              const SensorTables& tables, const MacroSource& macros) {
  if (k.nMatrix > uint32_t(eeprom::kMatrixEntries)) {
    // Not written at all once mended.
    f.Mend(KeyField(t, b, "nMatrix"), "matrix position %lld does not exist", k.nMatrix);
    return;
  }
  if (k.dwFunID == 0) {
    if (k.nMatrix != 0) f.Fatal(KeyField(t, b, "dwFunID"), "no function (0x%llx)", 0);
    return;
  }
  const uint32_t fun = k.dwFunID;
  switch (FunGroup(fun)) {
    case kGroupKeyboard:
      if (fun != kFunComboKey && fun != kFunPlainKey) break;
      for (uint8_t key : k.stCombo.bKeys) {
        if (key != 0 && VkToHid(key) == 0) {
          f.Fatal(KeyField(t, b, "stCombo"), "key code 0x%llx has no key", key);
          return;
        }
      }
      if (ComboEventCount(k.stCombo) > kMaxComboEvents)
        f.Fatal(KeyField(t, b, "stCombo"), "%lld events do not fit the mouse",
                ComboEventCount(k.stCombo));
      return;
    case kGroupMacro: {
      if (fun != kFunMacro) break;
      const StMacro* m = macros ? macros(k.dwMacroID) : nullptr;
      if (m) {
        const MacroCheck c = CheckMacro(*m);
        if (!c.Ok())
          f.Fatal(KeyField(t, b, "dwMacroID"), "macro 0x%llx cannot be played by the mouse",
                  k.dwMacroID);
      }
      return;
    }
    case kGroupSpecial:
      if (fun == kFunSniper) {
        if (tables.Find(sensor) && tables.IndexToDpi(sensor, int(k.dwParameter)) < 0)
          f.Fatal(KeyField(t, b, "dwParameter"), "sniper DPI position %lld is not in the table",
                  k.dwParameter);
        return;
      }
      if (fun == kFunFire) {
        if (k.dwParameter > 0xFFFF)
          f.Fatal(KeyField(t, b, "dwParameter"), "fire setting 0x%llx", k.dwParameter);
        return;
      }
      if (fun == kFunCustom) {
        if (!KnownHardwareCode(k.dwParameter))
          f.Fatal(KeyField(t, b, "dwParameter"), "hardware code 0x%llx has no meaning",
                  k.dwParameter);
        return;
      }
      break;
    case kGroupRaw:
      if (fun != kFunRaw) break;
      if (!KnownHardwareCode(k.dwParameter))
        f.Fatal(KeyField(t, b, "dwParameter"), "hardware code 0x%llx has no meaning", k.dwParameter);
      return;
    default:
      break;
  }
  if (!InFunctionTable(fun)) f.Fatal(KeyField(t, b, "dwFunID"), "function 0x%llx is unknown", fun);
}

// A level the profile does not use (a profile of a model with fewer levels)
// whose values the sensor would not take: it gets the model's default.
bool AbsentLevel(const ProfileFile& p, const DevCfg& model, int i, const SensorTables& tables) {
  return p.Dpi[i].bAbsent != 0 &&
         (!DpiInSensorRange(model.nSensor, p.Dpi[i].dwDpiX, &tables) ||
          !DpiInSensorRange(model.nSensor, p.Dpi[i].dwDpiY, &tables) || p.Dpi[i].dwColor > kMaxColor);
}

void CheckLight(Findings& f, const LightSetting& l, const char* name, int maxMode) {
  const std::string base = name;
  f.Range((base + ".nMode").c_str(), l.nMode, 0, maxMode);
  f.Range((base + ".nSpeed").c_str(), l.nSpeed, 0, 10);
  f.Range((base + ".nBright").c_str(), l.nBright, 0, 10);
  f.Range((base + ".dwColor").c_str(), l.dwColor, 0, kMaxColor);
}

}  // namespace

bool ProfileCheck::Ok() const {
  return std::none_of(findings.begin(), findings.end(),
                      [](const ProfileFinding& f) { return !f.mendable; });
}

bool ProfileCheck::HasMends() const {
  return std::any_of(findings.begin(), findings.end(),
                     [](const ProfileFinding& f) { return f.mendable; });
}

std::string ProfileCheck::FirstFatal() const {
  for (const ProfileFinding& f : findings)
    if (!f.mendable) return f.field + ": " + f.what;
  return {};
}

bool DpiInSensorRange(uint32_t sensor, uint32_t dpi, const SensorTables* sensors) {
  const SensorTables& tables = Tables(sensors);
  if (tables.Find(sensor)) return dpi <= uint32_t(INT32_MAX) && tables.DpiToIndex(sensor, int(dpi)) >= 0;
  return dpi >= kNoTableMinDpi && dpi <= kNoTableMaxDpi && dpi % kNoTableDpiStep == 0;
}

ProfileCheck CheckProfileForModel(const ProfileFile& p, const DevCfg& model,
                                  const MacroSource& macros, const SensorTables* sensors) {
  ProfileCheck out;
  Findings f(out);
  const SensorTables& tables = Tables(sensors);
  const int levels = model.DpiLevels();

  if (p.szName[kProfileNameUnits - 1] != 0) f.Mend("szName", "not terminated (%lld)", 0);
  if (p.nKeyTable < 0 || p.nKeyTable >= kKeyModes) f.Mend("nKeyTable", "table %lld", p.nKeyTable);
  if (p.dwSensor != model.nSensor) f.Mend("dwSensor", "sensor 0x%llx is not the model's", p.dwSensor);

  // DPI: every level the writer sends (the model's count), X and Y.
  for (int i = 0; i < levels; ++i) {
    if (AbsentLevel(p, model, i, tables)) {
      f.Mend(Indexed("Dpi", i, "bAbsent"), "level %lld is not in the profile", i);
      continue;
    }
    if (!DpiInSensorRange(model.nSensor, p.Dpi[i].dwDpiX, &tables))
      f.Fatal(Indexed("Dpi", i, "dwDpiX"), "%lld DPI is not in the sensor's table", p.Dpi[i].dwDpiX);
    if (!DpiInSensorRange(model.nSensor, p.Dpi[i].dwDpiY, &tables))
      f.Fatal(Indexed("Dpi", i, "dwDpiY"), "%lld DPI is not in the sensor's table", p.Dpi[i].dwDpiY);
    if (p.Dpi[i].dwColor > kMaxColor)
      f.Fatal(Indexed("Dpi", i, "dwColor"), "colour 0x%llx", p.Dpi[i].dwColor);
  }
  f.Range("nDpiMode", p.nDpiMode, 0, 1);
  if (levels > 0) {
    if (p.nDpiLevels < 1) f.Mend("nDpiLevels", "%lld levels", p.nDpiLevels);
    else if (p.nDpiLevels > levels) f.Mend("nDpiLevels", "%lld levels, more than the model has", p.nDpiLevels);
    const int count = std::clamp(p.nDpiLevels, int32_t(1), int32_t(levels));
    if (p.nCurDpiLevel < 0 || p.nCurDpiLevel >= count)
      f.Mend("nCurDpiLevel", "level %lld beyond the level count", p.nCurDpiLevel);
  }

  if (RateToCode(p.dwPollingRate, model.nFw == 1) < 0)
    f.Fatal("dwPollingRate", "rate 0x%llx is not one the mouse has", p.dwPollingRate);

  f.Range("nLOD", p.nLOD, 0, 2);
  f.Range("nRipple", p.nRipple, 0, 1);
  f.Range("nFixLine", p.nFixLine, 0, 1);
  f.Range("nDebounce", p.nDebounce, 0, 30);
  f.Range("nSleepTime", p.nSleepTime, 0, 2559);  // the mouse keeps tens of seconds in a byte
  f.Range("bLightOffOnMove", p.bLightOffOnMove, 0, 1);
  f.Range("bButtonOption", p.bButtonOption, 0, 1);
  f.Range("nOption2", p.nOption2, 0, 255);
  f.Range("nOption3", p.nOption3, 0, 255);
  if (std::find(std::begin(kSensorSleepValues), std::end(kSensorSleepValues), p.nSensorSleep) ==
      std::end(kSensorSleepValues))
    f.Fatal("nSensorSleep", "%lld is not a sensor-sleep step", p.nSensorSleep);

  f.Range("DpiLight.nMode", p.DpiLight.nMode, 0, 2);
  f.Range("DpiLight.nSpeed", p.DpiLight.nSpeed, 0, 4);
  f.Range("DpiLight.nBright", p.DpiLight.nBright, 0, 9);
  CheckLight(f, p.MainLight, "MainLight", 6);
  CheckLight(f, p.LogoLight, "LogoLight", 3);

  // The pointer settings go to the computer with the profile.
  if (p.SysMouse.nScrollLines == 0) f.Fatal("SysMouse.nScrollLines", "%lld lines", 0);
  f.Range("SysMouse.nScrollLines", p.SysMouse.nScrollLines, -1, 100);
  f.Range("SysMouse.nDoubleClickTime", p.SysMouse.nDoubleClickTime, 1, 5000);
  f.Range("SysMouse.nPointerSpeed", p.SysMouse.nPointerSpeed, 1, 20);
  f.Range("SysMouse.bEnhancePrecision", p.SysMouse.bEnhancePrecision, 0, 1);
  f.Range("SysMouse.nTrails", p.SysMouse.nTrails, 0, 255);

  for (int t = 0; t < kKeyModes; ++t)
    for (int b = 0; b < kMaxKeys; ++b) CheckKey(f, p.Key[t][b], t, b, model.nSensor, tables, macros);
  return out;
}

bool MendProfileForModel(ProfileFile& p, const DevCfg& model, const SensorTables* sensors) {
  bool changed = false;
  auto mended = [&](const char* field, long long from, long long to) {
    LogPrint("CheckProfile: %s=%lld mended to %lld", field, from, to);
    changed = true;
  };
  if (p.szName[kProfileNameUnits - 1] != 0) {
    p.szName[kProfileNameUnits - 1] = 0;
    mended("szName", 0, 0);
  }
  if (p.nKeyTable < 0 || p.nKeyTable >= kKeyModes) {
    mended("nKeyTable", p.nKeyTable, 0);
    p.nKeyTable = 0;
  }
  if (p.dwSensor != model.nSensor) {
    mended("dwSensor", p.dwSensor, model.nSensor);
    p.dwSensor = model.nSensor;
  }
  for (auto& table : p.Key) {
    for (KeyInfo& k : table) {
      if (k.nMatrix > uint32_t(eeprom::kMatrixEntries)) {
        mended("nMatrix", k.nMatrix, 0);
        k.nMatrix = 0;
      }
    }
  }
  const int levels = model.DpiLevels();
  for (int i = 0; i < levels; ++i) {
    if (!AbsentLevel(p, model, i, Tables(sensors))) continue;
    mended("Dpi[i].dwDpiX", p.Dpi[i].dwDpiX, model.dwDpi[i]);
    p.Dpi[i].dwDpiX = p.Dpi[i].dwDpiY = model.dwDpi[i];
    p.Dpi[i].dwColor = model.dwDpiColor[i];
  }
  if (levels > 0) {
    const int32_t count = std::clamp(p.nDpiLevels, int32_t(1), int32_t(levels));
    if (count != p.nDpiLevels) {
      mended("nDpiLevels", p.nDpiLevels, count);
      p.nDpiLevels = count;
    }
    if (p.nCurDpiLevel < 0 || p.nCurDpiLevel >= p.nDpiLevels) {
      mended("nCurDpiLevel", p.nCurDpiLevel, 0);
      p.nCurDpiLevel = 0;
    }
  }
  return changed;
}

}  // namespace tolvane
