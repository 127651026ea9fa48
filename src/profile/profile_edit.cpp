#include "profile/profile_edit.h"

#include "config/sensor.h"
#include "config/texts.h"
#include "macro/hd_macro.h"
#include "macro/macro_library.h"
#include "profile/key_codes.h"
#include "profile/profile_device.h"

namespace tolvane {

namespace {

EditResult Request(uint32_t flag, uint32_t item = 0) {
  EditResult r;
  r.ok = true;
  r.flag = flag;
  r.item = item;
  return r;
}

bool HasModel(const EditModel& m, EditResult* refusal) {
  if (m.model) return true;
  *refusal = EditRefused("the device has no catalogue model");
  return false;
}

std::string Levels(int n) { return std::to_string(n) + " levels"; }

EditResult LevelRefusal(const DevCfg& d, int level) {
  return EditRefused("level " + std::to_string(level + 1) + ": this model has " +
                     Levels(d.DpiLevels()));
}

}  // namespace

EditResult EditRefused(std::string text, std::string textId) {
  EditResult r;
  r.text = std::move(text);
  r.textId = std::move(textId);
  return r;
}

EditResult EditDpi(ProfileFile& f, const EditModel& m, int level, int x, int y) {
  EditResult r;
  if (!HasModel(m, &r)) return r;
  const DevCfg& d = *m.model;
  if (!d.bShowDpi) return EditRefused("this model has no DPI settings");
  if (level < 0 || level >= d.DpiLevels()) return LevelRefusal(d, level);
  if (x < 1 || y < 1) return EditRefused("a DPI value is at least 1");
  int xy[2] = {x, y};
  std::string note;
  for (int k = 0; k < 2; ++k) {
    const int v = xy[k];
    if (SensorDefines(d.nSensor, v)) continue;  // the sensor's own rule gives it a code
    if (const auto s = SnapDpi(d.nSensor, v); s && *s != v) {
      // One remark for a value given once (X alone, or X equal to Y).
      if (k == 0 || v != x)
        note += (note.empty() ? "" : "\n") + std::string("dpi ") + std::to_string(v) +
                " is not in the sensor's table; snapped to " + std::to_string(*s);
      xy[k] = *s;
    }
  }
  f.Dpi[level].dwDpiX = uint32_t(xy[0]);
  f.Dpi[level].dwDpiY = uint32_t(xy[1]);
  r = Request(kApplyDpi, uint32_t(level));
  r.note = note;
  return r;
}

EditResult EditDpiColor(ProfileFile& f, const EditModel& m, int level, uint32_t bgr) {
  EditResult r;
  if (!HasModel(m, &r)) return r;
  const DevCfg& d = *m.model;
  if (!d.bShowDpi) return EditRefused("this model has no DPI settings");
  if (level < 0 || level >= d.DpiLevels()) return LevelRefusal(d, level);
  f.Dpi[level].dwColor = bgr & 0xFFFFFF;
  return Request(kApplyDpiColor, uint32_t(level));
}

EditResult EditLevelCount(ProfileFile& f, const EditModel& m, int count, int curLevel) {
  EditResult r;
  if (!HasModel(m, &r)) return r;
  if (count < 1 || count > m.model->DpiLevels())
    return EditRefused("this model has " + Levels(m.model->DpiLevels()));
  f.nDpiLevels = count;
  r = Request(kApplyLevelCount);
  if (curLevel >= count) {
    r.flag |= kApplyCurLevel;
    r.curDpiLevel = count - 1;
  }
  return r;
}

EditResult EditDpiMode(ProfileFile& f, const EditModel& m, bool separate) {
  EditResult r;
  if (!HasModel(m, &r)) return r;
  const DevCfg& d = *m.model;
  if (!d.bShowDpi) return EditRefused("this model has no DPI settings");
  if (separate && !d.bShowXY) return EditRefused("this model has no separate X and Y DPI");
  f.nDpiMode = separate ? 1 : 0;
  if (!separate)
    for (int i = 0; i < d.DpiLevels(); ++i) f.Dpi[i].dwDpiY = f.Dpi[i].dwDpiX;
  return Request(kApplyDpi, kAllItems);
}

EditResult EditCurrentLevel(ProfileFile& f, const EditModel& m, int level) {
  EditResult r;
  if (!HasModel(m, &r)) return r;
  if (level < 0 || level >= f.nDpiLevels)
    return EditRefused("level " + std::to_string(level + 1) + ": " + std::to_string(f.nDpiLevels) +
                       " levels are in use");
  r = Request(kApplyCurLevel);
  r.curDpiLevel = level;
  return r;
}

EditResult EditRate(ProfileFile& f, const EditModel& m, int hz) {
  EditResult r;
  if (!HasModel(m, &r)) return r;
  const uint32_t rate = RateFromHz(hz);
  if (rate == 0 || RateToCode(rate, m.plus) < 0)
    return EditRefused("this device has no polling rate of " + std::to_string(hz) + " Hz");
  f.dwPollingRate = rate;
  return Request(kApplyRate);
}

EditResult EditLiftOff(ProfileFile& f, const EditModel& m, int lod) {
  EditResult r;
  if (!HasModel(m, &r)) return r;
  if (!m.model->bShowLOD) return EditRefused("this model has no lift-off distance setting");
  if (lod < 1 || lod > 2) return EditRefused("the lift-off distance is 1 or 2");
  f.nLOD = lod;
  return Request(kApplyLod);
}

EditResult EditRipple(ProfileFile& f, const EditModel& m, bool on) {
  EditResult r;
  if (!HasModel(m, &r)) return r;
  if (!m.model->bShowRipple) return EditRefused("this model has no ripple control");
  f.nRipple = on ? 1 : 0;
  return Request(kApplyRipple);
}

EditResult EditAngleSnapping(ProfileFile& f, const EditModel& m, bool on) {
  EditResult r;
  if (!HasModel(m, &r)) return r;
  if (!m.model->bShowFixLine) return EditRefused("this model has no angle snapping");
  f.nFixLine = on ? 1 : 0;
  return Request(kApplyFixLine);
}

EditResult EditDebounce(ProfileFile& f, const EditModel& m, int ms) {
  EditResult r;
  if (!HasModel(m, &r)) return r;
  if (!m.model->bShowDebounce) return EditRefused("this model has no debounce setting");
  if (ms < 0 || ms > 255) return EditRefused("the debounce time is 0-255 ms");
  f.nDebounce = ms;
  return Request(kApplyDebounce);
}

EditResult EditSleep(ProfileFile& f, const EditModel& m, int seconds) {
  EditResult r;
  if (!HasModel(m, &r)) return r;
  // The device keeps a tenth of it in one byte.
  if (seconds < 0 || seconds > 2550 || seconds % 10)
    return EditRefused("the sleep time is a multiple of 10 seconds, up to 2550");
  f.nSleepTime = seconds;
  return Request(kApplySleepTime);
}

EditResult EditLightOffOnMove(ProfileFile& f, const EditModel& m, bool on) {
  EditResult r;
  if (!HasModel(m, &r)) return r;
  f.bLightOffOnMove = on ? 1 : 0;
  return Request(kApplyLightOffOnMove);
}

EditResult EditSensorSleep(ProfileFile& f, const EditModel& m, int value) {
  EditResult r;
  if (!HasModel(m, &r)) return r;
  if (value < 0 || value > 255) return EditRefused("the sensor sleep value is 0-255");
  f.nSensorSleep = value;
  return Request(kApplySensorSleep);
}

EditResult EditLight(ProfileFile& f, const EditModel& m, const LightEdit& e) {
  EditResult r;
  if (!HasModel(m, &r)) return r;
  const DevCfg& d = *m.model;
  if (e.mode < 0 || e.mode > 255) return EditRefused("a light mode is 0-255");
  if (e.part == kLightDpi) {
    if (!d.bShowDpiLED) return EditRefused("this model has no DPI light");
    if (e.color) return EditRefused("the dpi light has no colour");
    // Speed index 0-4, brightness index 0-9.
    if (e.speed > 4 || e.brightness > 9)
      return EditRefused("the dpi light takes --speed 0-4 and --brightness 0-9");
    f.DpiLight.nMode = e.mode;
    if (e.speed >= 0) f.DpiLight.nSpeed = e.speed;
    if (e.brightness >= 0) f.DpiLight.nBright = e.brightness;
    return Request(kApplyLights, kLightDpi);
  }
  if (e.part != kLightMain && e.part != kLightLogo) return EditRefused("no such light");
  const bool main = e.part == kLightMain;
  const std::string name = main ? "main" : "logo";
  if (main ? !d.bShowMainEffect : !d.bShowLogoEffect)
    return EditRefused("this model has no " + name + " light");
  if (main && e.mode > 6) return EditRefused("the main light takes modes 0-6");
  const int maxSpeed = main ? 10 : 5;
  if (e.speed == 0 || e.speed > maxSpeed || e.brightness == 0 || e.brightness > 10)
    return EditRefused("the " + name + " light takes --speed 1-" + std::to_string(maxSpeed) +
                       " and --brightness 1-10");
  LightSetting& l = main ? f.MainLight : f.LogoLight;
  l.nMode = e.mode;
  if (e.color) l.dwColor = *e.color & 0xFFFFFF;
  if (e.speed > 0) l.nSpeed = e.speed;
  if (e.brightness > 0) l.nBright = e.brightness;
  // A light read while off carries no speed or brightness; start from the
  // first entries rather than writing table position -1.
  if (l.nSpeed < 1) l.nSpeed = 1;
  if (l.nBright < 1) l.nBright = 1;
  return Request(kApplyLights, e.part);
}

EditResult EditLightColor(ProfileFile& f, const EditModel& m, uint32_t bgr) {
  EditResult r;
  if (!HasModel(m, &r)) return r;
  // On a copy: a light that refuses leaves the other one unchanged too.
  ProfileFile g = f;
  uint32_t parts = 0;
  for (const uint32_t part : {kLightMain, kLightLogo}) {
    if (!(part == kLightMain ? m.model->bShowMainEffect : m.model->bShowLogoEffect)) continue;
    LightEdit e;
    e.part = part;
    e.mode = (part == kLightMain ? g.MainLight : g.LogoLight).nMode;
    e.color = bgr;
    r = EditLight(g, m, e);
    if (!r.ok) return r;
    parts |= part;
  }
  if (!parts) return EditRefused("this model has no main or logo light");
  f = g;
  return Request(kApplyLights, parts);
}

EditResult EditButton(ProfileFile& f, const EditModel& m, int button, KeyInfo key) {
  EditResult r;
  if (!HasModel(m, &r)) return r;
  const DevCfg& d = *m.model;
  if (button < 0 || button >= d.KeyCount() || d.keys[0][button].nMatrix == 0)
    return EditRefused("this model has no button " + std::to_string(button + 1));
  const int table = f.nKeyTable >= 0 && f.nKeyTable < kKeyModes ? f.nKeyTable : 0;
  if (!KeepsLeftClick(f.Key[table], d.KeyCount(), button, key.dwFunID)) {
    std::string msg = Tx("tc_msg1");
    return EditRefused(msg.empty() ? "At least one button must stay a left click." : msg,
                       "tc_msg1");
  }
  if (key.dwFunID == kFunMacro && m.library) {
    if (std::string damaged = DamagedMacroRefusal(*m.library, key.dwMacroID); !damaged.empty())
      return EditRefused(damaged);
  }
  key.nMatrix = d.keys[0][button].nMatrix;
  ModelKeyEnv env(&d, m.library);
  if (keyinfo_to_hardware_code(env, key) < 0)
    return EditRefused("the function has no form this device can store");
  f.Key[table][button] = key;
  return Request(kApplyButtons, uint32_t(button));
}

std::string DamagedMacroRefusal(const MacroLibrary& library, uint32_t id) {
  if (!library.IsDamaged(id)) return {};
  const auto macro = library.FindById(id);
  return "the macro \"" + (macro ? GetMacroName(*macro) : std::string()) +
         "\" is damaged (it breaks the mouse's rules); fix it or delete it first";
}

bool KeepsLeftClick(const KeyInfo (&keys)[kMaxKeys], int shown, int button, uint32_t fun) {
  if (fun == kFunLeftClick) return true;
  const int n = shown < 0 ? 0 : (shown > kMaxKeys ? kMaxKeys : shown);
  for (int i = 0; i < n; ++i)
    if (i != button && keys[i].dwFunID == kFunLeftClick) return true;
  return false;
}

EditResult EditButtonOption(ProfileFile& f, const EditModel& m, bool on) {
  EditResult r;
  if (!HasModel(m, &r)) return r;
  if (m.model->nSensor != 0x3395) return EditRefused("this model has no sensor switch");
  f.bButtonOption = on ? 1 : 0;
  return Request(kApplyButtonOption);
}

EditResult EditDropMissingMacros(ProfileFile& f, const EditModel& m) {
  EditResult r;
  if (!HasModel(m, &r)) return r;
  if (!m.library) return EditRefused("no macro library");
  if (!m.library->ResetMissingMacroKeys({f.Key, m.model->keys}))
    return EditRefused("no button lost its macro");
  return Request(kApplyButtons, 255);
}

EditResult EditPointer(ProfileFile& f, const EditModel& m, const SysMouseSettings& s) {
  EditResult r;
  if (!HasModel(m, &r)) return r;
  // Scroll lines -1 is one page per notch.
  if (s.nPointerSpeed < 1 || s.nPointerSpeed > 20 || s.nScrollLines < -1 ||
      s.nDoubleClickTime < 0 || s.nTrails < 0)
    return EditRefused(
        "pointer speed is 1-20; scroll lines are -1 (a page) or more; double-click time and "
        "trails are not negative");
  f.SysMouse = s;
  f.SysMouse.bEnhancePrecision = s.bEnhancePrecision ? 1 : 0;
  return Request(kApplyPointer);
}

}  // namespace tolvane
