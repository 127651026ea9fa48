// tolvanectl show, set, profile, battery and watch: the active profile of the
// chosen device, through the program. show and every set first choose the
// device as the window does (store, read); a set changes one setting through
// its edit function, writes only that group and reads the profile back, so
// the model's store always holds what the device holds.
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
#include <utility>
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
#include "profile/profile_edit.h"
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

// The program with the chosen device; with `read`, made current as the
// window does it: its store loaded and its active profile read (and saved).
struct Target {
  std::unique_ptr<DeviceSession> session;
  int entry = -1;
  std::shared_ptr<CHidDev> dev;
  const DevCfg* model = nullptr;
  ProfileFile file;  // the record as last read
  Program& Prog() { return session->Prog(); }
  MacroLibrary* Library() { return &Prog().Library(); }
};

TextLookup Texts() {
  return [](std::string_view id) { return Tx(id); };
}

// Runs an operation to its end; true when it succeeded.
bool Run(Program& p, Ticket t) { return p.Wait(t, 120000) && p.Result(t) == std::optional<bool>(true); }

int ReadChosen(Target& t);

// Exit status, kExitOk when the device (and with `read` its profile) is ready.
int Open(const CliContext& ctx, Target& t, bool read) {
  t.session = StartDeviceSession(ctx);
  if (!t.session) return kExitFailure;
  t.entry = ChosenEntry(ctx, *t.session);
  if (t.entry < 0) return kExitFailure;
  t.dev = t.session->Manager().List().Device(size_t(t.entry));
  t.model = t.dev ? t.dev->pDevCfg : nullptr;
  if (!t.model) {
    CliContext::Fail("the device has no catalogue model");
    return kExitFailure;
  }
  if (!read) return kExitOk;
  return ReadChosen(t);
}

// Makes the chosen device current as the window does it and reads its
// active profile (which saves the model's store).
int ReadChosen(Target& t) {
  if (!Run(t.Prog(), t.Prog().ChooseDevice(t.entry)) || !t.Prog().Profile()) {
    CliContext::Fail("cannot read the profile from the device");
    return kExitFailure;
  }
  t.file = *t.Prog().Profile();
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
  ModelKeyEnv env(&m, t.Library());
  std::string o = "{\"profile\":" + std::to_string(t.Prog().ProfileIndex());
  o += ",\"model\":" + JsonString(m.Name());
  o += ",\"pollingRateHz\":" + std::to_string(RateHz(f.dwPollingRate));
  o += ",\"dpiLevels\":" + std::to_string(f.nDpiLevels);
  o += ",\"currentDpiLevel\":" + std::to_string(t.Prog().CurDpiLevel() + 1);
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
  ModelKeyEnv env(&m, t.Library());
  std::printf("model: %s\n", m.Name().c_str());
  std::printf("profile: %d\n", t.Prog().ProfileIndex());
  std::printf("polling rate: %d Hz\n", RateHz(f.dwPollingRate));
  std::printf("dpi levels: %d (current %d)\n", f.nDpiLevels, t.Prog().CurDpiLevel() + 1);
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

// Changes the record through the edit function, writes that group, then
// reads the profile back through the window's read path (which saves the
// model's store) and prints it.
int Apply(Target& t, const Program::EditFn& edit, bool json) {
  Program& p = t.Prog();
  const EditOutcome e = p.Edit(edit, true);
  if (!e.ok) {
    CliContext::Fail(e.gateRefused ? "the device cannot be changed now" : e.edit.text);
    return kExitFailure;
  }
  if (!e.edit.note.empty()) std::printf("%s\n", e.edit.note.c_str());
  if (!p.WaitApplyIdle(120000) || p.LastApplyResult() != 1) {
    CliContext::Fail("writing to the device failed");
    return kExitFailure;
  }
  if (!Run(p, p.ReadProfile()) || !p.Profile()) {
    CliContext::Fail("written, but the profile could not be read back");
    return kExitFailure;
  }
  t.file = *p.Profile();
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

// The words of `set` and their values, checked before anything touches the
// device.
struct SetValues {
  std::string what;
  std::vector<std::string> w;  // the words after the setting
  long n1 = 0, n2 = 0, dpiY = 0;
  int onOff = 0;
  uint32_t color = 0;
};

// kExitOk with `v` filled, or a usage error (printed).
int ParseSet(const SetArgs& a, SetValues& v) {
  if (a.words.empty()) return Usage("set needs a setting");
  v.what = a.words[0];
  v.w.assign(a.words.begin() + 1, a.words.end());
  const std::string& what = v.what;
  const std::vector<std::string>& w = v.w;
  long& n1 = v.n1;
  long& n2 = v.n2;
  int& onOff = v.onOff;
  uint32_t& color = v.color;
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

  if (what == "dpi") {
    if (!need(2) || !ParseInt(w[0], 1, kProfileDpiLevels, &n1))
      return Usage("usage: set dpi LEVEL X[,Y]");
    const size_t comma = w[1].find(',');
    if (!ParseInt(w[1].substr(0, comma), 1, 100000, &n2))
      return Usage("usage: set dpi LEVEL X[,Y]");
    long y = n2;
    if (comma != std::string::npos && !ParseInt(w[1].substr(comma + 1), 1, 100000, &y))
      return Usage("usage: set dpi LEVEL X[,Y]");
    v.dpiY = y;
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
    // Speed index 0-4, brightness index 0-9.
    if (w[0] == "dpi" && (a.speed > 4 || a.brightness > 9))
      return Usage("the dpi light takes --speed 0-4 and --brightness 0-9");
    if (w[0] == "main" && n1 > 6) return Usage("the main light takes modes 0-6");
    const long maxSpeed = w[0] == "main" ? 10 : 5;
    if (w[0] != "dpi" && (a.speed == 0 || a.speed > maxSpeed || a.brightness == 0 || a.brightness > 10))
      return Usage("the " + w[0] + " light takes --speed 1-" + std::to_string(maxSpeed) +
                   " and --brightness 1-10");
  } else if (what == "button") {
    if (!need(2) || !ParseInt(w[0], 1, kMaxKeys, &n1))
      return Usage("usage: set button INDEX FUNCTION");
  }
  return kExitOk;
}

// The edit function of a parsed `set` other than `set button`.
Program::EditFn SetEdit(const SetArgs& a, const SetValues& v) {
  if (v.what == "dpi")
    return [v](ProfileFile& f, const EditModel& m) {
      return EditDpi(f, m, int(v.n1 - 1), int(v.n2), int(v.dpiY));
    };
  if (v.what == "dpi-color")
    return [v](ProfileFile& f, const EditModel& m) {
      return EditDpiColor(f, m, int(v.n1 - 1), v.color);
    };
  if (v.what == "dpi-count")
    return [v](ProfileFile& f, const EditModel& m) {
      return EditLevelCount(f, m, int(v.n1));
    };
  if (v.what == "dpi-level")
    return [v](ProfileFile& f, const EditModel& m) {
      return EditCurrentLevel(f, m, int(v.n1 - 1));
    };
  // The settings of one number, and those that are on or off.
  using NumberEdit = EditResult (*)(ProfileFile&, const EditModel&, int);
  using SwitchEdit = EditResult (*)(ProfileFile&, const EditModel&, bool);
  static const std::pair<const char*, NumberEdit> kNumbers[] = {
      {"rate", EditRate},   {"lod", EditLiftOff}, {"debounce", EditDebounce},
      {"sleep", EditSleep}, {"sensor-sleep", EditSensorSleep}};
  static const std::pair<const char*, SwitchEdit> kSwitches[] = {
      {"ripple", EditRipple},
      {"angle-snapping", EditAngleSnapping},
      {"light-off-on-move", EditLightOffOnMove}};
  for (const auto& e : kNumbers)
    if (v.what == e.first)
      return [edit = e.second, n = int(v.n1)](ProfileFile& f, const EditModel& m) {
        return edit(f, m, n);
      };
  for (const auto& e : kSwitches)
    if (v.what == e.first)
      return [edit = e.second, on = v.onOff != 0](ProfileFile& f, const EditModel& m) {
        return edit(f, m, on);
      };
  // light
  LightEdit le;
  le.part = v.w[0] == "dpi" ? kLightDpi : v.w[0] == "main" ? kLightMain : kLightLogo;
  le.mode = int(v.n1);
  if (!a.color.empty()) le.color = v.color;
  le.speed = int(a.speed);
  le.brightness = int(a.brightness);
  return [le](ProfileFile& f, const EditModel& m) { return EditLight(f, m, le); };
}

int RunSet(const CliContext& ctx, const SetArgs& a) {
  SetValues v;
  if (int r = ParseSet(a, v); r != kExitOk) return r;
  Target t;
  const bool json = a.json;
  if (v.what == "button") {
    // The function is parsed against the library before anything changes,
    // the device's profile and the model's store included.
    if (int r = Open(ctx, t, false); r != kExitOk) return r;
    ModelKeyEnv env(t.model, t.Library());
    KeyInfo key;
    std::string note;
    bool notFound = false;
    if (std::string err = ParseFunction(v.w[1], env, &key, &note, &notFound); !err.empty())
      return notFound ? Refuse(err) : Usage(err);
    if (key.dwFunID == kFunMacro) {
      if (std::string damaged = DamagedMacroRefusal(*t.Library(), key.dwMacroID); !damaged.empty())
        return Refuse(damaged);
    }
    if (int r = ReadChosen(t); r != kExitOk) return r;
    if (!note.empty()) std::printf("%s\n", note.c_str());
    const int b = int(v.n1 - 1);
    return Apply(t, [&](ProfileFile& f, const EditModel& m) {
      EditResult r = EditButton(f, m, b, key);
      if (!r.ok && r.text == "the function has no form this device can store")
        r.text = "\"" + v.w[1] + "\" has no form this device can store";
      return r;
    }, json);
  }
  if (int r = Open(ctx, t, true); r != kExitOk) return r;
  return Apply(t, SetEdit(a, v), json);
}

// ---- watch ------------------------------------------------------------------

std::atomic<bool> g_interrupted{false};

extern "C" void OnInterrupt(int) { g_interrupted = true; }

int RunWatch(const CliContext& ctx, long count, double seconds) {
  Target t;
  if (int r = Open(ctx, t, false); r != kExitOk) return r;
  CliEvents& sink = t.session->Events();
  sink.PrintNotifications(true);
  g_interrupted = false;
  auto old = std::signal(SIGINT, OnInterrupt);
  const auto end = std::chrono::steady_clock::now() +
                   std::chrono::milliseconds(seconds > 0 ? long(seconds * 1000) : 0);
  while (!g_interrupted && (count <= 0 || sink.Printed() < count) &&
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
      if (int r = Open(ctx, t, true); r != kExitOk) return r;
      std::printf("profile %d\n", t.Prog().ProfileIndex());
      return kExitOk;
    };
  });
  auto profSet = prof->add_subcommand("set", "Switch the device to profile N (0-3)");
  auto profN = std::make_shared<int>(0);
  profSet->add_option("N", *profN)->required()->check(CLI::Range(0, 3));
  profSet->callback([&ctx, profN] {
    ctx.action = [&ctx, profN] {
      Target t;
      if (int r = Open(ctx, t, true); r != kExitOk) return r;
      const Ticket s = t.Prog().SwitchProfile(*profN);
      if (!Run(t.Prog(), s)) {
        if (t.session->Events().Switched() < 0)
          return Refuse("the device refused the profile switch");
        return Refuse("the device did not report its profile");
      }
      const int p = t.Prog().ProfileIndex();
      std::printf("profile %d\n", p);
      return p == *profN ? kExitOk : Refuse("the device stayed on profile " + std::to_string(p));
    };
  });

  app.add_subcommand("battery", "Print the battery level and charging state")->callback([&ctx] {
    ctx.action = [&ctx] {
      Target t;
      if (int r = Open(ctx, t, false); r != kExitOk) return r;
      if (!Run(t.Prog(), t.Prog().ReadBattery(t.entry)) || t.session->Events().Battery() < 0)
        return Refuse("the device did not report its battery");
      const intptr_t got = t.session->Events().Battery();
      const int level = int(got & 0xFF);
      const bool charging = (got & 0x100) != 0;
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
