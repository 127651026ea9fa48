#include "config/catalogue.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>

#include "app/log.h"
#include "app/notifier.h"
#include "config/ini_file.h"

namespace tolvane {

namespace {

constexpr std::string_view kOpt = "OPT";

int32_t ToInt32(int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::string Fmt(const char* fmt, int v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, fmt, v);
  return buf;
}

// The value forms of cfg.ini. A key whose value is empty counts as missing,
// as it does for the private-profile string reader with an empty default.
class Reader {
 public:
  Reader(const IniFile& ini, Notifier& n) : ini_(ini), n_(n) {}

  std::optional<std::string_view> Value(std::string_view sec, std::string_view key) const {
    auto v = ini_.Find(sec, key);
    if (!v || v->empty()) return std::nullopt;
    return v;
  }

  uint32_t Int(std::string_view sec, std::string_view key, uint32_t def) const {
    return ini_.GetInt(sec, key, def);
  }

  std::string Text(std::string_view sec, std::string_view key, size_t bufChars) const {
    return ini_.GetString(sec, key, "", bufChars);
  }

  std::vector<int64_t> List(std::string_view sec, std::string_view key, size_t maxCount, int base,
                            size_t rawBufChars = 259) const {
    auto v = Value(sec, key);
    return v ? ParseNumberList(*v, maxCount, base, rawBufChars) : std::vector<int64_t>{};
  }

  uint32_t Colour(std::string_view sec, std::string_view key, uint32_t def) const {
    auto v = Value(sec, key);
    if (!v) return def;
    std::vector<int64_t> c = ParseNumberList(*v, 3, 10);
    uint32_t out = 0;
    for (size_t i = 0; i < c.size(); ++i) out |= (uint32_t(c[i]) & 0xFF) << (8 * i);
    return out;
  }

  Point Pt(std::string_view sec, std::string_view key, Point def) const {
    const auto c = Exactly(sec, key, 2, "Wrong POINT num");
    return c ? Point{ToInt32((*c)[0]), ToInt32((*c)[1])} : def;
  }

  Rect Rc(std::string_view sec, std::string_view key, Rect def) const {
    const auto c = Exactly(sec, key, 4, "Wrong rect num");
    return c ? Rect{ToInt32((*c)[0]), ToInt32((*c)[1]), ToInt32((*c)[2]), ToInt32((*c)[3])} : def;
  }

  Notifier& Notify() const { return n_; }

 private:
  // The key's `count` decimal numbers; nothing when the key is missing, and
  // nothing with a log line and the box `wrongCount` when it holds another
  // count.
  std::optional<std::vector<int64_t>> Exactly(std::string_view sec, std::string_view key,
                                              size_t count, const char* wrongCount) const {
    auto v = Value(sec, key);
    if (!v) return std::nullopt;
    std::vector<int64_t> c = ParseNumberList(*v, count + 1, 10);
    if (c.size() == count) return c;
    LogPrint("LoadCatalogue: [%.*s] %.*s needs %d numbers", int(sec.size()), sec.data(),
             int(key.size()), key.data(), int(count));
    n_.Message(Caption::Error, wrongCount);
    return std::nullopt;
  }

  const IniFile& ini_;
  Notifier& n_;
};

std::vector<uint16_t> IdList(const Reader& r, std::string_view key) {
  std::vector<uint16_t> out;
  for (int64_t v : r.List(kOpt, key, 10, 16)) out.push_back(uint16_t(v & 0xFFFF));
  return out;
}

// A key of [OPT] and the field of OptCfg it fills.
template <typename T>
struct OptKey {
  const char* key;
  T OptCfg::*field;
};

void ReadOptions(const Reader& r, OptCfg& o) {
  // `Debug` and "3325Setp200" are read before everything else.
  static const OptKey<uint32_t> kInts[] = {
      {"Suwnd", &OptCfg::Suwnd},
      {"ApplyNow", &OptCfg::ApplyNow},
      {"DrvVer", &OptCfg::DrvVer},
      {"BtnTips", &OptCfg::BtnTips},
      {"MenuItems", &OptCfg::MenuItems},
      {"DefDevIndex", &OptCfg::DefDevIndex},
      {"EnhancePrecision", &OptCfg::EnhancePrecision},
      {"Debounce", &OptCfg::Debounce},
      {"ShowWelcome", &OptCfg::ShowWelcome},
      {"ShowProfile", &OptCfg::ShowProfile},
      {"ComboRec", &OptCfg::ComboRec},
      {"FontSize", &OptCfg::FontSize},
      {"MinDelay", &OptCfg::MinDelay},
      {"MacroDir", &OptCfg::MacroDir},
      {"MacroOptX", &OptCfg::MacroOptX},
      {"MacroHasMsKey", &OptCfg::MacroHasMsKey},
      {"ListTrans", &OptCfg::ListTrans},
      {"InsertBefore", &OptCfg::InsertBefore},
      {"MinUIDelay", &OptCfg::MinUIDelay},
      {"Sensor", &OptCfg::Sensor},
      {"Pop", &OptCfg::Pop},
      {"TrayIcon", &OptCfg::TrayIcon},
      {"AutoSw", &OptCfg::AutoSw},
      {"GoWithNoDev", &OptCfg::GoWithNoDev},
      {"ExitType", &OptCfg::ExitType},
      {"ShowSys", &OptCfg::ShowSys},
      {"ShowPower", &OptCfg::ShowPower},
      {"ShowProSw", &OptCfg::ShowProSw},
      {"KeyMask", &OptCfg::KeyMask},
      {"UIDebug", &OptCfg::UIDebug},
      {"SubDebug", &OptCfg::SubDebug},
      {"SpotFw", &OptCfg::SpotFw},
      {"ShowFWUpdate", &OptCfg::ShowFWUpdate},
      {"Retry", &OptCfg::Retry},
      {"BarY", &OptCfg::BarY},
      {"DpiBarY", &OptCfg::DpiBarY},
      {"DpiSliderY", &OptCfg::DpiSliderY},
      {"ScaleY", &OptCfg::ScaleY},
      {"SliderY", &OptCfg::SliderY},
      {"MenuW", &OptCfg::MenuW},
  };
  for (const auto& k : kInts) o.*k.field = r.Int(kOpt, k.key, o.*k.field);

  o.VID = IdList(r, "VID");
  o.PID = IdList(r, "PID");
  o.PID2 = IdList(r, "PID2");
  o.FontName = r.Text(kOpt, "FontName", 30);
  o.USBString = r.Text(kOpt, "USBString", 30);
  o.appdir = r.Text(kOpt, "appdir", 30);
  if (o.appdir.empty()) {
    LogPrint("LoadCatalogue: appdir is empty");
    r.Notify().Message(Caption::Error, "APPDATA=NULL");
  }
  o.Title = r.Text(kOpt, "Title", 40);
  std::vector<int64_t> led = r.List(kOpt, "LEDParam", 6, 10);
  if (!led.empty())
    for (size_t i = 0; i < o.LEDParam.size(); ++i)
      o.LEDParam[i] = i < led.size() ? uint8_t(led[i] & 0xFF) : 0;

  o.rcMacroList = r.Rc(kOpt, "rcMacroList", o.rcMacroList);
  o.rcKeyList = r.Rc(kOpt, "rcKeyList", o.rcKeyList);
  o.rcSupprotBtn = r.Rc(kOpt, "rcSupprotBtn", o.rcSupprotBtn);
  o.rcHomePageBtn = r.Rc(kOpt, "rcHomePageBtn", o.rcHomePageBtn);

  static const OptKey<uint32_t> kColours[] = {
      {"clrMacFrame", &OptCfg::clrMacFrame},
      {"Txt_clr", &OptCfg::Txt_clr},
      {"Btn_txt_clr_nr", &OptCfg::Btn_txt_clr_nr},
      {"Btn_txt_clr_ov", &OptCfg::Btn_txt_clr_ov},
      {"Btn_txt_clr_dn", &OptCfg::Btn_txt_clr_dn},
      {"Menu_txt_clr_nr", &OptCfg::Menu_txt_clr_nr},
      {"Menu_txt_clr_ov", &OptCfg::Menu_txt_clr_ov},
      {"Menu_txt_clr_dn", &OptCfg::Menu_txt_clr_dn},
      {"LstBox_txt_clr_nr", &OptCfg::LstBox_txt_clr_nr},
      {"LstBox_txt_clr_dn", &OptCfg::LstBox_txt_clr_dn},
      {"LstBox_bkg_clr", &OptCfg::LstBox_bkg_clr},
      {"LstBox_item_clr", &OptCfg::LstBox_item_clr},
      {"clrEdit", &OptCfg::clrEdit},
      {"clrMask", &OptCfg::clrMask},
      {"clrDpiMark", &OptCfg::clrDpiMark},
      {"clrMaskDialog", &OptCfg::clrMaskDialog},
  };
  for (const auto& k : kColours) o.*k.field = r.Colour(kOpt, k.key, o.*k.field);

  static const OptKey<Point> kPoints[] = {
      {"ptNavi", &OptCfg::ptNavi},
      {"ptMin", &OptCfg::ptMin},
      {"ptApply", &OptCfg::ptApply},
      {"ptKey", &OptCfg::ptKey},
      {"ptMoveSpeed", &OptCfg::ptMoveSpeed},
      {"ptScrollSpeed", &OptCfg::ptScrollSpeed},
      {"ptDbClickSpeed", &OptCfg::ptDbClickSpeed},
      {"ptPower", &OptCfg::ptPower},
      {"ptProfile", &OptCfg::ptProfile},
      {"ptDpiBar", &OptCfg::ptDpiBar},
      {"ptLedEft", &OptCfg::ptLedEft},
      {"ptDpiEft", &OptCfg::ptDpiEft},
      {"ptDpiLight", &OptCfg::ptDpiLight},
      {"ptDpiSpeed", &OptCfg::ptDpiSpeed},
      {"ptLight", &OptCfg::ptLight},
      {"ptSpeed", &OptCfg::ptSpeed},
      {"ptGradit", &OptCfg::ptGradit},
      {"ptResult", &OptCfg::ptResult},
      {"ptRGBEdit", &OptCfg::ptRGBEdit},
      {"ptLightOffOnMoving", &OptCfg::ptLightOffOnMoving},
      {"ptSleep", &OptCfg::ptSleep},
      {"ptGrid", &OptCfg::ptGrid},
  };
  for (const auto& k : kPoints) o.*k.field = r.Pt(kOpt, k.key, o.*k.field);
}

void ReadLedOptions(const Reader& r, std::array<LedOption, kLedOptions>& opts) {
  static const uint8_t kDefaults[kLedOptions][5] = {
      {0, 6, 0, 0, 1}, {6, 6, 0, 0, 1}, {8, 10, 0, 0, 0}, {6, 6, 0, 0, 0},
      {6, 6, 0, 0, 1}, {6, 6, 0, 0, 0}, {0, 0, 0, 0, 0}};
  for (int i = 0; i < kLedOptions; ++i) {
    LedOption& o = opts[i];
    o = LedOption{};
    o.A = kDefaults[i][0], o.B = kDefaults[i][1], o.C = kDefaults[i][2];
    o.D = kDefaults[i][3], o.E = kDefaults[i][4];
    if (!r.Value(kOpt, Fmt("LedOpt%d", i + 1))) continue;
    std::vector<int64_t> v = r.List(kOpt, Fmt("LedOpt%d", i + 1), 29, 10);
    auto byte = [&](size_t k) -> uint8_t { return k < v.size() ? uint8_t(v[k] & 0xFF) : 0; };
    o.A = byte(0), o.B = byte(1), o.C = byte(2), o.D = byte(3), o.E = byte(4);
    if (v.size() > 5)
      for (int c = 0; c < 7; ++c)
        o.clr[c] = byte(5 + 3 * c) | uint32_t(byte(6 + 3 * c)) << 8 | uint32_t(byte(7 + 3 * c)) << 16;
  }
}

// A language folder is one plain subfolder of the program folder.
bool IsPlainFolderName(std::string_view f) {
  return !f.empty() && f != "." && f != ".." && f.find_first_of("/\\") == std::string_view::npos;
}

void ReadLanguages(const Reader& r, std::vector<Language>& out) {
  for (int i = 1; i <= kMaxLanguages; ++i) {
    std::string key = Fmt("Lang%d", i);
    std::string v = r.Text(kOpt, key, 260);
    if (v.empty()) break;
    size_t comma = v.find(',');
    std::string_view folder =
        comma == std::string::npos ? std::string_view() : TrimBlanks(std::string_view(v).substr(comma + 1));
    if (!IsPlainFolderName(folder)) {
      LogPrint("LoadCatalogue: %s=%s", key.c_str(), v.c_str());
      r.Notify().Message(Caption::Error, Fmt("Lang%d is invalidate", i));
      break;
    }
    out.push_back({CutChars(TrimBlanks(std::string_view(v).substr(0, comma)), 29), CutChars(folder, 29)});
  }
}

// "K%d_%d" (button, table): type, code, parameter, matrix, all hexadecimal.
KeyInfo MakeKeyInfo(const std::vector<int64_t>& v) {
  const uint32_t type = uint32_t(v[0]), code = uint32_t(v[1]), param = uint32_t(v[2]);
  KeyInfo k{};
  k.dwFunID = type * 0x1000000u + (code & 0xFF);
  k.nMatrix = uint32_t(v[3]) & 0xFF;
  if (type == 8) {
    switch (code & 0xFF) {
      case 0xA6:
      case 0xAD:
      case 0xC0: k.dwParameter = param; break;
      case 0xA4: k.dwParameter = param ? param : 0xA03; break;
      default: break;
    }
  } else if (type == 2) {
    k.dwFunID = 0x020000A1;
    k.stCombo.bKeys[0] = uint8_t(code & 0xFF);
    k.stCombo.bKeys[1] = uint8_t((code >> 8) & 0xFF);
    k.stCombo.bModifiers = uint8_t(param & 0x0F);
  }
  return k;
}

// The look and the settings of a [DEV_n] section: marks, name, rates, what the
// pages show, lights and sleep.
void ReadModelSettings(const Reader& r, const std::string& sec, DevCfg& d) {
  d.ptMark = r.Pt(sec, "ptMark", {337, 65});
  d.ptLedMark = r.Pt(sec, "ptLedMark", {525, 30});
  std::string name = r.Text(sec, "Name", 20);
  std::memcpy(d.szName, name.data(), std::min(name.size(), sizeof d.szName - 1));

  d.nRate[0] = r.Int(sec, "RATE1", 0x125);
  d.nRate[1] = r.Int(sec, "RATE2", 0x250);
  d.nRate[2] = r.Int(sec, "RATE3", 0x500);
  d.nRate[3] = r.Int(sec, "RATE4", 0x1000);
  d.nDefRate = r.Int(sec, "DR", 0x500);
  d.bShowLOD = r.Int(sec, "ShowLOD", 0);
  d.bShowUsbRate = r.Int(sec, "ShowUsbRate", 1);
  d.bShowRipple = r.Int(sec, "ShowRipple", 1);
  d.bShowFixLine = r.Int(sec, "ShowFixLine", 1);
  d.bShowMainEffect = r.Int(sec, "ShowMainEffect", 1);
  d.bShowLogoEffect = r.Int(sec, "ShowLogoEffect", 0);
  d.bShowDebounce = r.Int(sec, "ShowDebounce", 1);
  d.nDebounce = r.Int(sec, "Debounce", 0);
  d.bShowXY = r.Int(sec, "ShowXY", 0);
  d.bShowRGBSw = r.Int(sec, "ShowRGBSw", 1);
  d.dwDpiMenuMask = r.Int(sec, "DpiMenuMask", 7);
  d.nDpiUILevels = r.Int(sec, "DpiUILevels", 0);
  d.bSetDPIByClick = r.Int(sec, "SetDPIByClick", 1);
  d.bShowSleep = r.Int(sec, "ShowSleep", 1);
  d.dwDpiLEDMode = r.Int(sec, "DpiLEDMode", 0);
  if (d.dwDpiLEDMode == 0) d.dwDpiLEDMode = 0x30502;
  d.nSleepTime = r.Int(sec, "SleepTime", 60);
  d.bSleepTimeCheck = r.Int(sec, "SleepTimeCheck", 1);

  std::vector<int64_t> sleep = r.List(sec, "SleepVal", 12, 10);
  if (!sleep.empty()) {
    for (size_t i = 0; i < sleep.size(); ++i) d.nSleepVal[i] = uint32_t(sleep[i]);
  } else {
    static const uint32_t kSleep[11] = {10, 30, 60, 300, 600, 900, 1200, 1500, 1800, 2100, 2400};
    std::copy(std::begin(kSleep), std::end(kSleep), d.nSleepVal);
  }

  d.bShowDpiColor = r.Int(sec, "ShowDpiColor", 1);
  d.bShowDpiLED = r.Int(sec, "ShowDpiLED", 1);
  d.bShowDpi = r.Int(sec, "ShowDpi", 1);
  if (d.bShowDpi == 0) d.bShowDpiLED = 0;
}

// The DPI levels of a [DEV_n] section: limits, count, values (checked against
// the sensor's table) and colours.
void ReadDpiLevels(const Reader& r, const std::string& sec, DevCfg& d, SensorTables& sensors,
                   const IniFile& ini) {
  Notifier& n = r.Notify();
  std::vector<int64_t> limit = r.List(sec, "DpiLimit", 20, 10);
  if (limit.size() % 2 != 0) {
    LogPrint("LoadCatalogue: [%s] DpiLimit has %d numbers", sec.c_str(), int(limit.size()));
    n.Message(Caption::Warning, "wrong DpiLimit value");
  } else {
    for (size_t p = 0; p < kMaxDpiLevels && 2 * p < limit.size(); ++p) {
      d.nDpiLimit[0][p] = uint32_t(limit[2 * p]);
      d.nDpiLimit[1][p] = uint32_t(limit[2 * p + 1]);
    }
  }

  d.nDM = r.Int(sec, "DM", 6);
  d.nDPIH = r.Int(sec, "DPIH", 15);
  d.nDefLevel = r.Int(sec, "DEFLEVEL", 0);

  SensorCfg* table = sensors.Find(d.nSensor);
  if (!table) {
    LogPrint("LoadCatalogue: [%s] no table for sensor 0x%x", sec.c_str(), d.nSensor);
    n.Message(Caption::Warning, "Can't find sensor");
  } else {
    SensorTables::ApplySensorKeys(ini, sec, *table, n);
  }

  const int levels = d.DpiLevels();
  std::vector<int64_t> dpi = r.List(sec, "DPI", kMaxDpiLevels, 10);
  if (dpi.size() == d.nDM) {
    for (size_t i = 0; i < dpi.size(); ++i) d.dwDpi[i] = uint32_t(ToInt32(dpi[i]));
  } else {
    if (!dpi.empty()) {
      LogPrint("LoadCatalogue: [%s] %d DPI values for DM=%u", sec.c_str(), int(dpi.size()), d.nDM);
      n.Message(Caption::Warning, "DPI != DM.");
    }
    if (const auto* def = DefaultDpiList(d.nSensor))
      for (int i = 0; i < kMaxDpiLevels; ++i) d.dwDpi[i] = uint32_t((*def)[i]);
  }
  if (table)
    for (int i = 0; i < levels; ++i)
      if (sensors.DpiToIndex(d.nSensor, int(d.dwDpi[i])) < 0)
        n.Message(Caption::Warning, Fmt("Wrong default dpi value: %d", int(d.dwDpi[i])));

  static const uint32_t kLevelColours[kMaxDpiLevels] = {0x0000FF, 0xFF0000, 0x00FF00, 0xFF0080,
                                                        0x03C6FA, 0x6A03FA, 0xFF00FF, 0xFFFF00};
  std::copy(std::begin(kLevelColours), std::end(kLevelColours), d.dwDpiColor);
  std::vector<int64_t> dc = r.List(sec, "DC", 3 * kMaxDpiLevels, 10);
  if (dc.size() == 3 * uint64_t(d.nDM)) {
    for (size_t i = 0; i < d.nDM; ++i)
      d.dwDpiColor[i] = (uint32_t(dc[3 * i]) & 0xFF) | (uint32_t(dc[3 * i + 1]) & 0xFF) << 8 |
                        (uint32_t(dc[3 * i + 2]) & 0xFF) << 16;
  } else if (!dc.empty()) {
    LogPrint("LoadCatalogue: [%s] %d DC values for DM=%u", sec.c_str(), int(dc.size()), d.nDM);
    n.Message(Caption::Warning, "DC != DM.");
  }
}

// The buttons of a [DEV_n] section: their count, the key tables and the hot
// spots; false when MDNUM or KM make the whole load fail.
bool ReadButtons(const Reader& r, const std::string& sec, DevCfg& d) {
  Notifier& n = r.Notify();
  d.nKEYH = r.Int(sec, "KEYH", 10);
  const uint32_t mdnum = r.Int(sec, "MDNUM", 9);
  if (mdnum != 3 && mdnum != 6 && mdnum != 9) {
    LogPrint("LoadCatalogue: [%s] MDNUM=%u is not 3, 6 or 9", sec.c_str(), mdnum);
    return false;
  }
  d.nMdNum = mdnum / 3;
  const uint32_t km = r.Int(sec, "KM", 32);
  if (km % 2 != 0 || km / 2 < 1 || km / 2 > uint32_t(kMaxKeys)) {
    LogPrint("LoadCatalogue: [%s] KM=%u is not an even number from 2 to 32", sec.c_str(), km);
    return false;
  }
  d.nKeyCount = km / 2;

  for (int t = 0; t < kKeyModes; ++t) {
    int valid = 0;
    for (int i = 1; i <= kMaxKeys; ++i) {
      char key[16];
      std::snprintf(key, sizeof key, "K%d_%d", i, t + 1);
      std::vector<int64_t> v = r.List(sec, key, 4, 16);
      if (v.size() < 4) continue;
      d.keys[t][i - 1] = MakeKeyInfo(v);
      ++valid;
    }
    if (valid > 0 && uint32_t(valid) < d.nKeyCount) {
      LogPrint("LoadCatalogue: [%s] key table %d has %d of %u keys", sec.c_str(), t + 1, valid,
               d.nKeyCount);
      n.Message(Caption::Error, "Key num to small");
    }
    if (valid == 0 && t > 0) std::copy(std::begin(d.keys[0]), std::end(d.keys[0]), d.keys[t]);
  }

  for (int i = 1; i <= kMaxKeys; ++i) {
    std::string key = Fmt("rcKey%d", i);
    if (!r.Value(sec, key)) break;
    std::vector<int64_t> v = r.List(sec, key, 4 + 1, 10);
    if (v.size() != 4) {
      LogPrint("LoadCatalogue: [%s] %s needs 4 numbers", sec.c_str(), key.c_str());
      n.Message(Caption::Error, "rcKey value error");
      continue;
    }
    d.rcKey[i - 1] = Rect{ToInt32(v[0]), ToInt32(v[1]), ToInt32(v[0] + v[2]), ToInt32(v[1] + v[3])};
  }
  return true;
}

// Reads one [DEV_n] section into `d`; false when MDNUM or KM make the whole
// load fail.
bool ReadModel(const Reader& r, int number, DevCfg& d, SensorTables& sensors, const IniFile& ini) {
  const std::string sec = Fmt("DEV_%d", number);
  d.nSensor = r.Int(sec, "Sensor", 0);
  if (d.nSensor == 0) return true;
  d.bWideRange = d.nSensor == 0x3395 ? 1 : 0;
  d.nCid = r.Int(sec, "CID", 0);
  d.nMid = r.Int(sec, "MID", 0);
  d.nFw = r.Int(sec, "Fw", 0);
  ReadModelSettings(r, sec, d);
  ReadDpiLevels(r, sec, d, sensors, ini);
  return ReadButtons(r, sec, d);
}

}  // namespace

std::vector<int> Catalogue::ModelsInUse() const {
  std::vector<int> out;
  if (!bLoaded) return out;
  for (int i = 0; i < kMaxModels; ++i)
    if (dev[i].InUse()) out.push_back(i);
  return out;
}

const DevCfg* Catalogue::FindModel(uint32_t cid, uint32_t mid) const {
  for (const DevCfg& d : dev)
    if (d.InUse() && d.nCid == cid && d.nMid == mid) return &d;
  return nullptr;
}

bool LoadCatalogue(const std::string& cfgIniPath, Catalogue& out, Notifier& n) {
  out = Catalogue{};
  IniFile ini;
  const bool found = ini.Load(cfgIniPath);
  Reader r(ini, n);

  out.opt.b3325Setp200 = r.Int(kOpt, "3325Setp200", 0);
  out.sensors.Build(out.opt.b3325Setp200 != 0);

  out.opt.Debug = r.Int(kOpt, "Debug", 0);
  LogLevel = int(std::min<uint32_t>(out.opt.Debug, INT_MAX));
  SetupLogger();
  if (!found) LogPrint("LoadCatalogue: can't read %s, using defaults", cfgIniPath.c_str());

  ReadOptions(r, out.opt);
  ReadLedOptions(r, out.ledOpt);
  ReadLanguages(r, out.languages);

  for (int i = 0; i < kMaxModels; ++i)
    if (!ReadModel(r, i + 1, out.dev[i], out.sensors, ini)) return false;

  out.macro.nMinDelay = out.opt.MinDelay;
  out.bLoaded = true;
  return true;
}

Catalogue& g_Catalogue() {
  static Catalogue* instance = new Catalogue();  // lives as long as the process
  return *instance;
}

}  // namespace tolvane
