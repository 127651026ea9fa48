// tolvanectl show, set, profile, battery and watch: the active profile of the
// chosen device. show and every set first read the profile with GetProfile;
// a set changes one group of the record and writes only that group.
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/event_sink.h"
#include "app/notifier.h"
#include "app/paths.h"
#include "cli/cli.h"
#include "cli/cli_device.h"
#include "cli/json.h"
#include "config/catalogue.h"
#include "config/dev_cfg.h"
#include "config/texts.h"
#include "device/dev_pro.h"
#include "macro/macro_library.h"
#include "profile/key_codes.h"
#include "profile/profile_device.h"
#include "profile/profile_file.h"

namespace tolvane::cli {

namespace {

// ---- parsing --------------------------------------------------------------------

bool ParseInt(const std::string& s, long lo, long hi, long* out) {
  if (s.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(s.c_str(), &end, 10);
  if (errno || !end || *end || v < lo || v > hi) return false;
  *out = v;
  return true;
}

bool ParseOnOff(const std::string& s, int* out) {
  if (s == "on" || s == "1") {
    *out = 1;
    return true;
  }
  if (s == "off" || s == "0") {
    *out = 0;
    return true;
  }
  return false;
}

// "#rrggbb" -> 0x00BBGGRR.
bool ParseColor(const std::string& s, uint32_t* out) {
  if (s.size() != 7 || s[0] != '#') return false;
  uint32_t rgb = 0;
  for (size_t i = 1; i < 7; ++i) {
    const char c = s[i];
    int d = -1;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    if (d < 0) return false;
    rgb = rgb << 4 | uint32_t(d);
  }
  *out = (rgb >> 16 & 0xFF) | (rgb & 0xFF00) | (rgb & 0xFF) << 16;
  return true;
}

std::string ColorText(uint32_t bgr) {
  char b[8];
  std::snprintf(b, sizeof b, "#%02x%02x%02x", bgr & 0xFF, bgr >> 8 & 0xFF, bgr >> 16 & 0xFF);
  return b;
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

// Function names of `set button`, one per function of the code table that a
// button can carry without parameters.
const std::map<std::string, uint32_t>& FunctionNames() {
  static const std::map<std::string, uint32_t> names = {
      {"left", kFunLeftClick},
      {"right", kFunRightClick},
      {"middle", kFunMiddleClick},
      {"forward", kFunForward},
      {"back", kFunBack},
      {"double-click", kFunDoubleClick},
      {"triple-click", kFunTripleClick},
      {"disable", kFunDisabled},
      {"dpi-up", kFunDpiUp},
      {"dpi-down", kFunDpiDown},
      {"dpi-cycle", kFunDpiCycle},
      {"rate-switch", kFunRateSwitch},
      {"light-toggle", kFunLightOnOff},
      {"light-effect", kFunLightEffectSwitch},
      {"profile-switch", kFunProfileSwitch},
      {"mail", kFunAppMail},
      {"calculator", kFunAppCalculator},
      {"my-computer", kFunAppMyComputer},
      {"search", kFunAppSearch},
      {"home-page", kFunAppHomePage},
      {"browser-back", kFunAppBrowserBack},
      {"browser-forward", kFunAppBrowserForward},
      {"browser-stop", kFunAppBrowserStop},
      {"browser-refresh", kFunAppBrowserRefresh},
      {"favourites", kFunAppFavourites},
      {"media-select", kFunMediaSelect},
      {"play-pause", kFunPlayPause},
      {"stop", kFunMediaStop},
      {"previous-track", kFunPrevTrack},
      {"next-track", kFunNextTrack},
      {"volume-up", kFunVolumeUp},
      {"volume-down", kFunVolumeDown},
      {"mute", kFunMute},
  };
  return names;
}

// A key name of `keys:` as a virtual-key code; 0 when unknown.
uint32_t KeyVk(const std::string& name) {
  const std::string n = Lower(name);
  if (n.size() == 1) {
    const char c = n[0];
    if (c >= 'a' && c <= 'z') return uint32_t(c - 'a' + 'A');
    if (c >= '0' && c <= '9') return uint32_t(c);
  }
  if (n.size() >= 2 && n[0] == 'f') {
    long f = 0;
    if (ParseInt(n.substr(1), 1, 24, &f)) return uint32_t(0x70 + f - 1);
  }
  static const std::map<std::string, uint32_t> named = {
      {"enter", 0x0D},    {"esc", 0x1B},       {"escape", 0x1B}, {"space", 0x20},
      {"tab", 0x09},      {"backspace", 0x08}, {"delete", 0x2E}, {"insert", 0x2D},
      {"home", 0x24},     {"end", 0x23},       {"pageup", 0x21}, {"pagedown", 0x22},
      {"left", 0x25},     {"up", 0x26},        {"right", 0x27},  {"down", 0x28},
  };
  auto it = named.find(n);
  return it == named.end() ? 0 : it->second;
}

// "Ctrl+Shift+A": modifiers, then one to three keys.
bool ParseKeys(const std::string& text, KeyCombo* combo) {
  KeyCombo c;
  int keys = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t plus = text.find('+', start);
    if (plus == std::string::npos) plus = text.size();
    const std::string part = text.substr(start, plus - start);
    const std::string l = Lower(part);
    if (l == "ctrl" || l == "control") c.bModifiers |= 0x01;
    else if (l == "shift") c.bModifiers |= 0x02;
    else if (l == "alt") c.bModifiers |= 0x04;
    else if (l == "win" || l == "super") c.bModifiers |= 0x08;
    else {
      const uint32_t vk = KeyVk(part);
      if (vk == 0 || VkToHid(vk) == 0 || keys == 3) return false;
      c.bKeys[keys++] = uint8_t(vk);
    }
    start = plus + 1;
  }
  if (keys == 0) return false;
  *combo = c;
  return true;
}

// ---- the device and its profile -------------------------------------------------

struct Target {
  std::unique_ptr<DeviceSession> session;
  std::shared_ptr<CHidDev> dev;
  const DevCfg* model = nullptr;
  bool plus = false;
  std::unique_ptr<MacroLibrary> library;
  ProfileFile file;
};

TextLookup Texts() {
  return [](std::string_view id) { return Tx(id); };
}

// Opens the chosen device; with `read` also the macro library and the active
// profile. Exit status, kExitOk when it is ready.
int Open(const CliContext& ctx, Target& t, bool read) {
  t.dev = OpenChosenDevice(ctx, &t.session);
  if (!t.dev) return kExitFailure;
  t.model = t.dev->pDevCfg;
  if (!t.model) {
    CliContext::Fail("the device has no catalogue model");
    return kExitFailure;
  }
  t.plus = dynamic_cast<CDevProPlus*>(t.dev.get()) != nullptr;
  if (!read) return kExitOk;
  t.library = std::make_unique<MacroLibrary>(UserDataDir, Cat().opt.MacroDir != 0);
  t.library->Load();
  t.file.dwID = 1;
  t.file.nKeyTable = 0;
  t.file.dwSensor = t.model->nSensor;
  if (!t.dev->GetProfile(&t.file, t.library.get())) {
    CliContext::Fail("cannot read the profile from the device");
    return kExitFailure;
  }
  return kExitOk;
}

std::string HexFun(uint32_t v) {
  char b[16];
  std::snprintf(b, sizeof b, "0x%08x", v);
  return b;
}

std::string LightJson(const LightSetting& l) {
  return "{\"mode\":" + std::to_string(l.nMode) + ",\"speed\":" + std::to_string(l.nSpeed) +
         ",\"brightness\":" + std::to_string(l.nBright) + ",\"color\":\"" + ColorText(l.dwColor) +
         "\"}";
}

const char* Bool(int v) { return v ? "true" : "false"; }

std::string ShowJson(Target& t) {
  const ProfileFile& f = t.file;
  const DevCfg& m = *t.model;
  ModelKeyEnv env(&m, t.library.get());
  std::string o = "{\"profile\":" + std::to_string(t.dev->GetCurProfile());
  o += ",\"model\":" + JsonString(m.Name());
  o += ",\"pollingRateHz\":" + std::to_string(RateHz(f.dwPollingRate));
  o += ",\"dpiLevels\":" + std::to_string(f.nDpiLevels);
  o += ",\"currentDpiLevel\":" + std::to_string(t.dev->nCurDpiLevel.load() + 1);
  o += ",\"dpi\":[";
  for (int i = 0; i < m.DpiLevels(); ++i) {
    const DpiLevel& l = f.Dpi[i];
    if (i) o += ",";
    o += "{\"x\":" + std::to_string(l.dwDpiX) + ",\"y\":" + std::to_string(l.dwDpiY) +
         ",\"color\":\"" + ColorText(l.dwColor) + "\",\"absent\":" + Bool(int(l.bAbsent)) + "}";
  }
  o += "],\"lod\":" + std::to_string(f.nLOD);
  o += ",\"ripple\":" + std::string(Bool(f.nRipple));
  o += ",\"angleSnapping\":" + std::string(Bool(f.nFixLine));
  o += ",\"debounce\":" + std::to_string(f.nDebounce);
  o += ",\"sleepTime\":" + std::to_string(f.nSleepTime);
  o += ",\"lightOffOnMove\":" + std::string(Bool(f.bLightOffOnMove));
  o += ",\"sensorSleep\":" + std::to_string(f.nSensorSleep);
  o += ",\"buttonOption\":" + std::string(Bool(f.bButtonOption));
  o += ",\"buttons\":[";
  const int table = f.nKeyTable >= 0 && f.nKeyTable < kKeyModes ? f.nKeyTable : 0;
  for (int b = 0; b < m.KeyCount(); ++b) {
    const KeyInfo& k = f.Key[table][b];
    if (b) o += ",";
    o += "{\"index\":" + std::to_string(b + 1) + ",\"matrix\":" + std::to_string(k.nMatrix) +
         ",\"funId\":\"" + HexFun(k.dwFunID) + "\",\"label\":" +
         JsonString(KeyInfoLabel(k, env, Texts())) + "}";
  }
  o += "],\"mainLight\":" + LightJson(f.MainLight);
  o += ",\"logoLight\":" + LightJson(f.LogoLight);
  o += ",\"dpiLight\":{\"mode\":" + std::to_string(f.DpiLight.nMode) +
       ",\"speed\":" + std::to_string(f.DpiLight.nSpeed) +
       ",\"brightness\":" + std::to_string(f.DpiLight.nBright) + "}}";
  return o;
}

void ShowText(Target& t) {
  const ProfileFile& f = t.file;
  const DevCfg& m = *t.model;
  ModelKeyEnv env(&m, t.library.get());
  std::printf("model: %s\n", m.Name().c_str());
  std::printf("profile: %d\n", t.dev->GetCurProfile());
  std::printf("polling rate: %d Hz\n", RateHz(f.dwPollingRate));
  std::printf("dpi levels: %d (current %d)\n", f.nDpiLevels, t.dev->nCurDpiLevel.load() + 1);
  for (int i = 0; i < m.DpiLevels(); ++i) {
    const DpiLevel& l = f.Dpi[i];
    std::printf("  level %d: %u x %u  %s%s\n", i + 1, l.dwDpiX, l.dwDpiY,
                ColorText(l.dwColor).c_str(), l.bAbsent ? "  (absent)" : "");
  }
  std::printf("lod: %d\nripple: %s\nangle snapping: %s\ndebounce: %d ms\n", f.nLOD,
              f.nRipple ? "on" : "off", f.nFixLine ? "on" : "off", f.nDebounce);
  std::printf("sleep time: %d s\nlight off on move: %s\nsensor sleep: %d\nbutton option: %s\n",
              f.nSleepTime, f.bLightOffOnMove ? "on" : "off", f.nSensorSleep,
              f.bButtonOption ? "on" : "off");
  const int table = f.nKeyTable >= 0 && f.nKeyTable < kKeyModes ? f.nKeyTable : 0;
  for (int b = 0; b < m.KeyCount(); ++b) {
    const KeyInfo& k = f.Key[table][b];
    std::printf("  button %d (matrix %u): %s  %s\n", b + 1, k.nMatrix, HexFun(k.dwFunID).c_str(),
                KeyInfoLabel(k, env, Texts()).c_str());
  }
  auto light = [](const char* name, const LightSetting& l) {
    std::printf("%s light: mode %d speed %d brightness %d %s\n", name, l.nMode, l.nSpeed,
                l.nBright, ColorText(l.dwColor).c_str());
  };
  light("main", f.MainLight);
  light("logo", f.LogoLight);
  std::printf("dpi light: mode %d speed %d brightness %d\n", f.DpiLight.nMode, f.DpiLight.nSpeed,
              f.DpiLight.nBright);
}

// Writes one group, then reads the profile again and prints it.
int Apply(Target& t, uint32_t flag, uint32_t item, bool json) {
  if (!t.dev->ApplySetting(&t.file, nullptr, 0, flag, item, t.library.get())) {
    CliContext::Fail("writing to the device failed");
    return kExitFailure;
  }
  ProfileFile fresh;
  fresh.dwID = 1;
  fresh.dwSensor = t.model->nSensor;
  if (!t.dev->GetProfile(&fresh, t.library.get())) {
    CliContext::Fail("written, but the profile could not be read back");
    return kExitFailure;
  }
  t.file = fresh;
  if (json)
    std::printf("%s\n", ShowJson(t).c_str());
  else
    ShowText(t);
  return kExitOk;
}

// ---- set ------------------------------------------------------------------------

struct SetArgs {
  std::vector<std::string> words;  // what follows `set`
  std::string color;
  long speed = -1, brightness = -1;
  bool json = false;
};

int Usage(const std::string& text) {
  CliContext::Fail(text);
  return kExitUsage;
}

int Refuse(const std::string& text) {
  CliContext::Fail(text);
  return kExitFailure;
}

// Parses the function of `set button` into `key` (matrix index not set).
// Empty string when done, else the reason.
std::string ParseFunction(const std::string& text, const ModelKeyEnv& env, KeyInfo* key,
                          std::string* note, bool* notFound) {
  KeyInfo k;
  const auto& names = FunctionNames();
  auto it = names.find(Lower(text));
  const size_t colon = text.find(':');
  const std::string head = Lower(text.substr(0, colon));
  const std::string arg = colon == std::string::npos ? "" : text.substr(colon + 1);
  if (it != names.end()) {
    k.dwFunID = it->second;
  } else if (colon != std::string::npos && head == "sniper") {
    long dpi = 0;
    if (!ParseInt(arg, 1, 100000, &dpi)) return "sniper:DPI needs a DPI value";
    int best = -1;
    long bestDist = 0;
    for (uint32_t p = 0; p < 4096; ++p) {
      const int v = env.DpiAt(p);
      if (v < 0) break;
      const long d = std::labs(long(v) - dpi);
      if (best < 0 || d < bestDist) {
        best = int(p);
        bestDist = d;
      }
    }
    if (best < 0) return "the sensor of this model has no DPI table";
    if (bestDist != 0)
      *note = "sniper DPI " + std::to_string(dpi) + " snapped to " +
              std::to_string(env.DpiAt(uint32_t(best)));
    k.dwFunID = kFunSniper;
    k.dwParameter = uint32_t(best);
  } else if (colon != std::string::npos && head == "fire") {
    const size_t comma = arg.find(',');
    long clicks = 0, interval = 0;
    if (comma == std::string::npos || !ParseInt(arg.substr(0, comma), 1, 255, &clicks) ||
        !ParseInt(arg.substr(comma + 1), 1, 255, &interval))
      return "fire:CLICKS,INTERVAL needs two numbers 1-255";
    k.dwFunID = kFunFire;
    k.dwParameter = uint32_t(clicks) | uint32_t(interval) << 8;
  } else if (colon != std::string::npos && head == "keys") {
    if (!ParseKeys(arg, &k.stCombo))
      return "keys: needs modifiers (Ctrl, Shift, Alt, Win) and one to three keys, as Ctrl+Shift+A";
    k.dwFunID = k.stCombo.bModifiers ? kFunComboKey : kFunPlainKey;
  } else if (colon != std::string::npos && head == "macro") {
    const auto id = env.FindMacroId(arg);
    if (arg.empty()) return "macro:NAME needs the name of a library macro";
    if (!id) {
      *notFound = true;
      return "no macro \"" + arg + "\" in the macro library";
    }
    k.dwFunID = kFunMacro;
    k.dwMacroID = *id;
  } else {
    return "unknown function \"" + text + "\"";
  }
  *key = k;
  return {};
}

int RunSet(const CliContext& ctx, const SetArgs& a) {
  if (a.words.empty()) return Usage("set needs a setting");
  const std::string what = a.words[0];
  const std::vector<std::string> w(a.words.begin() + 1, a.words.end());
  auto need = [&](size_t n) { return w.size() == n; };
  static const std::vector<std::string> known = {
      "dpi",   "dpi-count",         "dpi-level",    "dpi-color", "rate",  "lod",   "ripple",
      "angle-snapping", "debounce", "sleep",        "light-off-on-move", "sensor-sleep",
      "light", "button"};
  bool isKnown = false;
  for (const auto& k : known) isKnown |= k == what;
  if (!isKnown) return Usage("unknown setting \"" + what + "\"");
  const bool lightCmd = what == "light";
  if (!lightCmd && (!a.color.empty() || a.speed >= 0 || a.brightness >= 0))
    return Usage("--color, --speed and --brightness belong to `set light`");

  // Syntax first, so that a usage error never touches the device.
  long n1 = 0, n2 = 0, dpiY = 0;
  int onOff = 0;
  uint32_t color = 0;
  if (what == "dpi") {
    if (!need(2) || !ParseInt(w[0], 1, kProfileDpiLevels, &n1))
      return Usage("usage: set dpi LEVEL X[,Y]");
    const size_t comma = w[1].find(',');
    if (!ParseInt(w[1].substr(0, comma), 1, 100000, &n2))
      return Usage("usage: set dpi LEVEL X[,Y]");
    long y = n2;
    if (comma != std::string::npos && !ParseInt(w[1].substr(comma + 1), 1, 100000, &y))
      return Usage("usage: set dpi LEVEL X[,Y]");
    dpiY = y;
  } else if (what == "dpi-count" || what == "dpi-level") {
    if (!need(1) || !ParseInt(w[0], 1, kProfileDpiLevels, &n1))
      return Usage("usage: set " + what + " N (1-8)");
  } else if (what == "dpi-color") {
    if (!need(2) || !ParseInt(w[0], 1, kProfileDpiLevels, &n1) || !ParseColor(w[1], &color))
      return Usage("usage: set dpi-color LEVEL #rrggbb");
  } else if (what == "rate") {
    if (!need(1) || !ParseInt(w[0], 1, 100000, &n1)) return Usage("usage: set rate HZ");
  } else if (what == "lod") {
    if (!need(1) || !ParseInt(w[0], 1, 2, &n1)) return Usage("usage: set lod 1|2");
  } else if (what == "ripple" || what == "angle-snapping" || what == "light-off-on-move") {
    if (!need(1) || !ParseOnOff(w[0], &onOff)) return Usage("usage: set " + what + " on|off");
  } else if (what == "debounce" || what == "sensor-sleep") {
    if (!need(1) || !ParseInt(w[0], 0, 255, &n1)) return Usage("usage: set " + what + " 0-255");
  } else if (what == "sleep") {
    // The device keeps a tenth of it in one byte.
    if (!need(1) || !ParseInt(w[0], 0, 2550, &n1) || n1 % 10)
      return Usage("usage: set sleep SECONDS (a multiple of 10, up to 2550)");
  } else if (lightCmd) {
    if (!need(2) || (w[0] != "main" && w[0] != "logo" && w[0] != "dpi") ||
        !ParseInt(w[1], 0, 255, &n1))
      return Usage("usage: set light main|logo|dpi MODE [--color #rrggbb] [--speed N] "
                   "[--brightness N]");
    if (!a.color.empty() && (w[0] == "dpi" || !ParseColor(a.color, &color)))
      return Usage(w[0] == "dpi" ? "the dpi light has no colour" : "--color needs #rrggbb");
  } else if (what == "button") {
    if (!need(2) || !ParseInt(w[0], 1, kMaxKeys, &n1))
      return Usage("usage: set button INDEX FUNCTION");
  }

  Target t;
  if (int r = Open(ctx, t, true); r != kExitOk) return r;
  ProfileFile& f = t.file;
  const DevCfg& m = *t.model;
  const bool json = a.json;

  if (what == "dpi" || what == "dpi-color") {
    if (!m.bShowDpi) return Refuse("this model has no DPI settings");
    if (n1 > m.DpiLevels())
      return Refuse("level " + std::to_string(n1) + ": this model has " +
                    std::to_string(m.DpiLevels()) + " levels");
    const int i = int(n1 - 1);
    if (what == "dpi-color") {
      f.Dpi[i].dwColor = color;
      return Apply(t, kApplyDpiColor, uint32_t(i), json);
    }
    long xy[2] = {n2, dpiY};
    for (int k = 0; k < 2; ++k) {
      const long v = xy[k];
      if (const auto s = SnapDpi(m.nSensor, int(v)); s && *s != v) {
        // One report for a value given once (X alone, or X equal to Y).
        if (k == 0 || v != n2)
          std::printf("dpi %ld is not in the sensor's table; snapped to %d\n", v, *s);
        xy[k] = *s;
      }
    }
    f.Dpi[i].dwDpiX = uint32_t(xy[0]);
    f.Dpi[i].dwDpiY = uint32_t(xy[1]);
    return Apply(t, kApplyDpi, uint32_t(i), json);
  }
  if (what == "dpi-count") {
    if (n1 > m.DpiLevels())
      return Refuse("this model has " + std::to_string(m.DpiLevels()) + " levels");
    f.nDpiLevels = int(n1);
    return Apply(t, kApplyLevelCount, 0, json);
  }
  if (what == "dpi-level") {
    if (n1 > f.nDpiLevels)
      return Refuse("level " + std::to_string(n1) + ": " + std::to_string(f.nDpiLevels) +
                    " levels are in use");
    t.dev->nCurDpiLevel = int(n1 - 1);
    return Apply(t, kApplyCurLevel, 0, json);
  }
  if (what == "rate") {
    const uint32_t rate = RateFromHz(int(n1));
    if (rate == 0 || RateToCode(rate, t.plus) < 0)
      return Refuse("this device has no polling rate of " + std::to_string(n1) + " Hz");
    f.dwPollingRate = rate;
    return Apply(t, kApplyRate, 0, json);
  }
  if (what == "lod") {
    if (!m.bShowLOD) return Refuse("this model has no lift-off distance setting");
    f.nLOD = int(n1);
    return Apply(t, kApplyLod, 0, json);
  }
  if (what == "ripple") {
    if (!m.bShowRipple) return Refuse("this model has no ripple control");
    f.nRipple = onOff;
    return Apply(t, kApplyRipple, 0, json);
  }
  if (what == "angle-snapping") {
    if (!m.bShowFixLine) return Refuse("this model has no angle snapping");
    f.nFixLine = onOff;
    return Apply(t, kApplyFixLine, 0, json);
  }
  if (what == "debounce") {
    if (!m.bShowDebounce) return Refuse("this model has no debounce setting");
    f.nDebounce = int(n1);
    return Apply(t, kApplyDebounce, 0, json);
  }
  if (what == "sleep") {
    f.nSleepTime = int(n1);
    return Apply(t, kApplySleepTime, 0, json);
  }
  if (what == "light-off-on-move") {
    f.bLightOffOnMove = onOff;
    return Apply(t, kApplyLightOffOnMove, 0, json);
  }
  if (what == "sensor-sleep") {
    f.nSensorSleep = int(n1);
    return Apply(t, kApplySensorSleep, 0, json);
  }
  if (lightCmd) {
    const std::string part = w[0];
    if (part == "dpi") {
      if (!m.bShowDpiLED) return Refuse("this model has no DPI light");
      // Speed index 0-4, brightness index 0-9.
      if (a.speed > 4 || a.brightness > 9)
        return Usage("the dpi light takes --speed 0-4 and --brightness 0-9");
      f.DpiLight.nMode = int(n1);
      if (a.speed >= 0) f.DpiLight.nSpeed = int(a.speed);
      if (a.brightness >= 0) f.DpiLight.nBright = int(a.brightness);
      return Apply(t, kApplyLights, kLightDpi, json);
    }
    const bool main = part == "main";
    if (main ? !m.bShowMainEffect : !m.bShowLogoEffect)
      return Refuse("this model has no " + part + " light");
    if (main && n1 > 6) return Usage("the main light takes modes 0-6");
    const long maxSpeed = main ? 10 : 5;
    if (a.speed == 0 || a.speed > maxSpeed || a.brightness == 0 || a.brightness > 10)
      return Usage("the " + part + " light takes --speed 1-" + std::to_string(maxSpeed) +
                   " and --brightness 1-10");
    LightSetting& l = main ? f.MainLight : f.LogoLight;
    l.nMode = int(n1);
    if (!a.color.empty()) l.dwColor = color;
    if (a.speed > 0) l.nSpeed = int(a.speed);
    if (a.brightness > 0) l.nBright = int(a.brightness);
    // A light read while off carries no speed or brightness; start from the
    // first entries rather than writing table position -1.
    if (l.nSpeed < 1) l.nSpeed = 1;
    if (l.nBright < 1) l.nBright = 1;
    return Apply(t, kApplyLights, main ? kLightMain : kLightLogo, json);
  }
  // button
  const int b = int(n1 - 1);
  if (b >= m.KeyCount() || m.keys[0][b].nMatrix == 0)
    return Refuse("this model has no button " + std::to_string(n1));
  ModelKeyEnv env(&m, t.library.get());
  KeyInfo key;
  std::string note;
  bool notFound = false;
  if (std::string err = ParseFunction(w[1], env, &key, &note, &notFound); !err.empty())
    return notFound ? Refuse(err) : Usage(err);
  const int table = f.nKeyTable >= 0 && f.nKeyTable < kKeyModes ? f.nKeyTable : 0;
  if (key.dwFunID != kFunLeftClick) {
    bool otherLeft = false;
    for (int i = 0; i < kMaxKeys; ++i)
      if (i != b && f.Key[table][i].dwFunID == kFunLeftClick) otherLeft = true;
    if (!otherLeft) {
      std::string msg = Tx("tc_msg1");
      if (msg.empty()) msg = "At least one button must stay a left click.";
      return Refuse(msg);
    }
  }
  key.nMatrix = m.keys[0][b].nMatrix;
  if (keyinfo_to_hardware_code(env, key) < 0)
    return Refuse("\"" + w[1] + "\" has no form this device can store");
  if (!note.empty()) std::printf("%s\n", note.c_str());
  f.Key[table][b] = key;
  return Apply(t, kApplyButtons, uint32_t(b), json);
}

// ---- watch ------------------------------------------------------------------

std::atomic<bool> g_interrupted{false};

extern "C" void OnInterrupt(int) { g_interrupted = true; }

class LineSink : public EventSink {
 public:
  void Post(uint32_t msg, uintptr_t, intptr_t lParam) override {
    if (msg != WM_DEVICE_BEHAVIOR) return;
    const int kind = int(lParam >> 8 & 0xFF), value = int(lParam & 0xFF);
    static const char* const names[] = {"?",          "dpi-level",  "rate",      "reset",
                                        "main-light", "logo-light", "dpi-light", "power"};
    std::lock_guard<std::mutex> l(mu_);
    std::printf("%s %d\n", kind >= 1 && kind <= 7 ? names[kind] : "unknown", value);
    std::fflush(stdout);
    ++count_;
  }
  int Count() {
    std::lock_guard<std::mutex> l(mu_);
    return count_;
  }

 private:
  std::mutex mu_;
  int count_ = 0;
};

int RunWatch(const CliContext& ctx, long count, double seconds) {
  // The sink outlives the session, whose end joins the threads that post.
  LineSink sink;
  Target t;
  if (int r = Open(ctx, t, false); r != kExitOk) return r;
  t.dev->SetNotifyWnd(&sink);
  g_interrupted = false;
  auto old = std::signal(SIGINT, OnInterrupt);
  const auto end = std::chrono::steady_clock::now() +
                   std::chrono::milliseconds(seconds > 0 ? long(seconds * 1000) : 0);
  while (!g_interrupted && (count <= 0 || sink.Count() < count) &&
         (seconds <= 0 || std::chrono::steady_clock::now() < end))
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::signal(SIGINT, old);
  return kExitOk;
}

}  // namespace

void RegisterProfileCommands(CLI::App& app, CliContext& ctx) {
  auto show = app.add_subcommand("show", "Print the active profile of the device");
  auto showJson = std::make_shared<bool>(false);
  show->add_flag("--json", *showJson, "JSON output");
  show->callback([&ctx, showJson] {
    ctx.action = [&ctx, showJson] {
      Target t;
      if (int r = Open(ctx, t, true); r != kExitOk) return r;
      if (*showJson)
        std::printf("%s\n", ShowJson(t).c_str());
      else
        ShowText(t);
      return kExitOk;
    };
  });

  auto set = app.add_subcommand("set", "Change one setting of the active profile");
  auto sa = std::make_shared<SetArgs>();
  set->add_option("setting", sa->words, "SETTING VALUE...")->required()->expected(1, 3);
  set->add_option("--color", sa->color, "Light colour #rrggbb");
  set->add_option("--speed", sa->speed, "Light speed");
  set->add_option("--brightness", sa->brightness, "Light brightness");
  set->add_flag("--json", sa->json, "Print the new state as JSON");
  set->callback([&ctx, sa] { ctx.action = [&ctx, sa] { return RunSet(ctx, *sa); }; });

  auto prof = app.add_subcommand("profile", "The device's active profile number");
  prof->require_subcommand(1);
  prof->add_subcommand("get", "Print the active profile number")->callback([&ctx] {
    ctx.action = [&ctx] {
      Target t;
      if (int r = Open(ctx, t, false); r != kExitOk) return r;
      const int p = t.dev->GetCurProfile();
      if (p < 0) return Refuse("the device did not report its profile");
      std::printf("profile %d\n", p);
      return kExitOk;
    };
  });
  auto profSet = prof->add_subcommand("set", "Switch the device to profile N (0-3)");
  auto profN = std::make_shared<int>(0);
  profSet->add_option("N", *profN)->required()->check(CLI::Range(0, 3));
  profSet->callback([&ctx, profN] {
    ctx.action = [&ctx, profN] {
      Target t;
      if (int r = Open(ctx, t, false); r != kExitOk) return r;
      if (!t.dev->SetCurProfile(*profN)) return Refuse("the device refused the profile switch");
      const int p = t.dev->GetCurProfile();
      if (p < 0) return Refuse("the device did not report its profile");
      std::printf("profile %d\n", p);
      return p == *profN ? kExitOk : Refuse("the device stayed on profile " + std::to_string(p));
    };
  });

  app.add_subcommand("battery", "Print the battery level and charging state")->callback([&ctx] {
    ctx.action = [&ctx] {
      Target t;
      if (int r = Open(ctx, t, false); r != kExitOk) return r;
      int level = 0, charging = 0;
      if (!t.dev->GetPower(level, charging)) return Refuse("the device did not report its battery");
      std::printf("battery %d%% %s\n", level, charging ? "charging" : "not charging");
      return kExitOk;
    };
  });

  auto watch = app.add_subcommand("watch", "Print each notification of the device until interrupted");
  auto count = std::make_shared<long>(0);
  auto seconds = std::make_shared<double>(0);
  watch->add_option("--count", *count, "Stop after N notifications")->check(CLI::NonNegativeNumber);
  watch->add_option("--seconds", *seconds, "Stop after S seconds")->check(CLI::NonNegativeNumber);
  watch->callback([&ctx, count, seconds] {
    ctx.action = [&ctx, count, seconds] { return RunWatch(ctx, *count, *seconds); };
  });
}

}  // namespace tolvane::cli
