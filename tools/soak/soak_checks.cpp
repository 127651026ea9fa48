#include "soak_checks.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "config/sensor.h"
#include "macro/macro_file.h"
#include "macro/macro_library.h"
#include "profile/key_codes.h"
#include "profile/key_env.h"
#include "profile/profile_device.h"
#include "profile/profile_store.h"

namespace tolvane::soak {
namespace fs = std::filesystem;

namespace {

std::string Hex(const uint8_t* b, size_t n) {
  std::string s;
  char t[4];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(t, sizeof t, i ? " %02x" : "%02x", b[i]);
    s += t;
  }
  return s;
}

std::string At(uint16_t addr) {
  char t[16];
  std::snprintf(t, sizeof t, "0x%03x", unsigned(addr));
  return t;
}

std::vector<uint8_t> Pair(int v) {
  return {uint8_t(v), uint8_t(0x55 - uint8_t(v))};
}

std::vector<uint8_t> Quad(uint32_t b0, uint32_t b1, uint32_t b2) {
  return {uint8_t(b0), uint8_t(b1), uint8_t(b2), uint8_t(0x55 - uint8_t(b0) - uint8_t(b1) - uint8_t(b2))};
}

// The rate codes of the EEPROM byte at 0x00.
int RateCode(uint32_t rate, bool plus) {
  switch (rate) {
    case 0x125: return 8;
    case 0x250: return 4;
    case 0x500: return 2;
    case 0x1000: return 1;
    case 0x2000: return plus ? 16 : -1;
    case 0x4000: return plus ? 32 : -1;
    default: return -1;
  }
}

// One DPI level: x low, y low, the modes and high bits, check.
std::vector<uint8_t> DpiQuad(uint32_t sensor, const DpiLevel& l) {
  int xm = 0, ym = 0;
  const uint32_t x = uint32_t(DpiToCode(sensor, int(l.dwDpiX), &xm));
  const uint32_t y = uint32_t(DpiToCode(sensor, int(l.dwDpiY), &ym));
  const uint32_t m = (uint32_t(xm) + 4 * ((x >> 8) & 3) + 16 * (uint32_t(ym) + 4 * ((y >> 8) & 3))) & 0xFF;
  return Quad(x & 0xFF, y & 0xFF, m);
}

struct Range {
  uint32_t lo, hi;  // [lo, hi)
};

std::vector<Range> GroupRanges(uint32_t flag, bool plus) {
  std::vector<Range> r;
  auto add = [&](uint32_t bit, std::initializer_list<Range> rs) {
    if (flag & bit) r.insert(r.end(), rs);
  };
  add(kApplyButtons, {{0x60, 0xA0}, {0x100, 0x300}, {0x300, uint32_t(sim::kEepromSize)}});
  add(kApplyLights, {{0x4C, 0x5E}, {0xA0, 0xA9}});
  add(kApplyDpi, {{0x0C, 0x2C}});
  add(kApplyDpiColor, {{0x2C, 0x4C}});
  add(kApplyLevelCount, {{0x02, 0x04}});
  add(kApplyCurLevel, {{0x04, 0x06}});
  add(kApplyRate, {{0x00, 0x02}});
  add(kApplyLod, {{0x0A, 0x0C}});
  add(kApplyFixLine, {{0xAF, 0xB1}});
  add(kApplyRipple, {{0xB1, 0xB3}});
  add(kApplyDebounce, {{0xA9, 0xAB}});
  add(kApplySleepTime, {{0xAD, 0xAF}});
  add(kApplyLightOffOnMove, {{0xB3, 0xB5}});
  add(kApplyButtonOption, {{0xAB, 0xAD}});
  add(kApplyOption2, {plus ? Range{0xB9, 0xBB} : Range{0xB7, 0xB9}});
  add(kApplySensorSleep, {plus ? Range{0xB7, 0xB9} : Range{0xB5, 0xB7}});
  if (plus) add(kApplyOption3, {{0xB5, 0xB7}});
  return r;
}

std::vector<uint8_t> ReadAll(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

bool AllZero(const uint8_t* b, size_t n) {
  return std::all_of(b, b + n, [](uint8_t v) { return v == 0; });
}

}  // namespace

std::vector<GuardedUnit> GuardedUnits(bool plus) {
  std::vector<GuardedUnit> u;
  for (uint16_t a : {0x00, 0x02, 0x04, 0x0A, 0x4C, 0x4E, 0x50, 0x58, 0x5A, 0x5C, 0xA9, 0xAB, 0xAD,
                     0xAF, 0xB1, 0xB3, 0xB5, 0xB7})
    u.push_back({a, 2});
  if (plus)
    for (uint16_t a : {0x52, 0xA7, 0xB9}) u.push_back({a, 2});
  for (int i = 0; i < 8; ++i) {
    u.push_back({uint16_t(0x0C + 4 * i), 4});
    u.push_back({uint16_t(0x2C + 4 * i), 4});
  }
  u.push_back({0x54, 4});
  for (int i = 0; i < 16; ++i) u.push_back({uint16_t(0x60 + 4 * i), 4});
  u.push_back({0xA0, 7});
  return u;
}

bool UnitOk(const Eeprom& e, const GuardedUnit& u) {
  uint8_t sum = 0;
  for (int i = 0; i < u.len - 1; ++i) sum = uint8_t(sum + e[u.addr + i]);
  return uint8_t(sum + e[u.addr + u.len - 1]) == 0x55;
}

bool WriteInGroups(uint16_t addr, size_t len, uint32_t flag, bool plus) {
  for (const Range& r : GroupRanges(flag, plus))
    if (addr >= r.lo && addr + len <= r.hi) return true;
  return false;
}

std::vector<Expected> ExpectedWrites(const ProfileFile& p, const DevCfg& model, bool plus,
                                     uint32_t flag, uint32_t data, int curLevel,
                                     const MacroLibrary& library) {
  std::vector<Expected> out;
  auto items = [&](int count) {
    std::vector<int> v;
    if (data == kAllItems) {
      for (int i = 0; i < count; ++i) v.push_back(i);
    } else if (int(data) < count) {
      v.push_back(int(data));
    }
    return v;
  };
  if ((flag & kApplyButtons)) {
    const int table = std::clamp(p.nKeyTable, 0, kKeyModes - 1);
    LibraryKeyEnv env(&library);
    bool written[16] = {};
    for (int b : items(kMaxKeys)) {
      const KeyInfo& key = p.Key[table][b];
      if (key.nMatrix == 0 || key.nMatrix > 16) continue;
      const int j = int(key.nMatrix) - 1;
      written[j] = true;
      const int64_t code = keyinfo_to_hardware_code(env, key);
      uint32_t c = code < 0 ? 0 : uint32_t(code) & 0xFFFFFF;
      if (code >= 0 && (c & 0xFF) == kHwMacro) {
        if (auto m = library.FindById(key.dwMacroID)) {
          c = (c & ~0xFF00u) | uint32_t(j) << 8;
          // The macro slot starts with the name's length in bytes and the
          // name in UTF-16.
          Expected e{uint16_t(0x300 + 0x180 * j), {}, "macro name of button " + std::to_string(b)};
          int units = 0;
          while (units < 15 && m->szName[units]) ++units;
          e.bytes.push_back(uint8_t(2 * units));
          for (int i = 0; i < units; ++i) {
            e.bytes.push_back(uint8_t(m->szName[i]));
            e.bytes.push_back(uint8_t(m->szName[i] >> 8));
          }
          out.push_back(std::move(e));
        }
      }
      out.push_back({uint16_t(0x60 + 4 * j), Quad(c, c >> 8, c >> 16),
                     "matrix entry of button " + std::to_string(b)});
    }
    if (data == kAllItems)
      for (int j = 0; j < 16; ++j)
        if (!written[j]) out.push_back({uint16_t(0x60 + 4 * j), Quad(0, 0, 0), "unused matrix entry"});
  }
  if ((flag & kApplyDpi) && model.bShowDpi)
    for (int i : items(data == kAllItems ? model.DpiLevels() : kProfileDpiLevels))
      out.push_back({uint16_t(0x0C + 4 * i), DpiQuad(model.nSensor, p.Dpi[i]),
                     "DPI level " + std::to_string(i)});
  if ((flag & kApplyDpiColor) && model.bShowDpi)
    for (int i : items(data == kAllItems ? model.DpiLevels() : kProfileDpiLevels)) {
      const uint32_t c = p.Dpi[i].dwColor;
      out.push_back({uint16_t(0x2C + 4 * i), Quad(c, c >> 8, c >> 16),
                     "colour of DPI level " + std::to_string(i)});
    }
  struct Single {
    uint32_t bit;
    uint16_t addr;
    int value;
    const char* what;
  };
  const Single singles[] = {
      {kApplyLevelCount, 0x02, p.nDpiLevels, "number of DPI levels"},
      {kApplyCurLevel, 0x04, curLevel, "current DPI level"},
      {kApplyLod, 0x0A, p.nLOD, "lift-off distance"},
      {kApplyFixLine, 0xAF, p.nFixLine, "angle snapping"},
      {kApplyRipple, 0xB1, p.nRipple, "ripple control"},
      {kApplyDebounce, 0xA9, p.nDebounce, "debounce"},
      {kApplySleepTime, 0xAD, p.nSleepTime / 10, "sleep time"},
      {kApplyLightOffOnMove, 0xB3, p.bLightOffOnMove, "light off while moving"},
      {kApplyButtonOption, 0xAB, p.bButtonOption, "button option"},
      {kApplyOption2, uint16_t(plus ? 0xB9 : 0xB7), p.nOption2, "option 2"},
      {kApplySensorSleep, uint16_t(plus ? 0xB7 : 0xB5), p.nSensorSleep, "sensor sleep"},
  };
  for (const Single& s : singles)
    if (flag & s.bit) out.push_back({s.addr, Pair(s.value), s.what});
  if (plus && (flag & kApplyOption3)) out.push_back({0xB5, Pair(p.nOption3), "option 3"});
  if (flag & kApplyRate) {
    const int code = RateCode(p.dwPollingRate, plus);
    if (code > 0) out.push_back({0x00, Pair(code), "polling rate"});
  }
  return out;
}

void CheckApply(const Eeprom& before, const Eeprom& after, const std::vector<SentWrite>& sent,
                const std::vector<Expected>& expected, bool success, uint32_t flag, bool plus,
                std::vector<std::string>& out) {
  for (const SentWrite& w : sent)
    if (!WriteInGroups(w.addr, w.bytes.size(), flag, plus))
      out.push_back("write of " + std::to_string(w.bytes.size()) + " bytes at " + At(w.addr) +
                    " outside the groups requested");
  for (const GuardedUnit& u : GuardedUnits(plus))
    if (UnitOk(before, u) && !UnitOk(after, u))
      out.push_back("guarded unit at " + At(u.addr) + " left half written: " +
                    Hex(&before[u.addr], u.len) + " -> " + Hex(&after[u.addr], u.len));
  for (const Expected& e : expected) {
    const size_t n = e.bytes.size();
    const bool isNew = std::memcmp(&after[e.addr], e.bytes.data(), n) == 0;
    const bool isOld = std::memcmp(&after[e.addr], &before[e.addr], n) == 0;
    if (success && !isNew)
      out.push_back("reported written, but " + e.what + " at " + At(e.addr) + " holds " +
                    Hex(&after[e.addr], n) + " instead of " + Hex(e.bytes.data(), n));
    else if (!isNew && !isOld)
      out.push_back(e.what + " at " + At(e.addr) + " is neither old nor new: " +
                    Hex(&before[e.addr], n) + " -> " + Hex(&after[e.addr], n) + " (new " +
                    Hex(e.bytes.data(), n) + ")");
  }
  if (!success) return;
  // The device holds what was last sent to every address the write touched.
  std::vector<int> last(sim::kEepromSize, -1);
  for (const SentWrite& w : sent)
    for (size_t i = 0; i < w.bytes.size() && w.addr + i < sim::kEepromSize; ++i)
      last[w.addr + i] = w.bytes[i];
  for (size_t a = 0; a < sim::kEepromSize; ++a)
    if (last[a] >= 0 && after[a] != uint8_t(last[a])) {
      out.push_back("reported written, but EEPROM " + At(uint16_t(a)) + " does not hold the byte sent");
      break;
    }
}

void CheckReadMatches(const ProfileFile& p, const Eeprom& e, const DevCfg& model, bool plus,
                      int curLevel, std::vector<std::string>& out) {
  auto expect = [&](bool ok, const std::string& what, uint16_t addr) {
    if (!ok)
      out.push_back("profile read reported good, but its " + what + " differs from EEPROM " +
                    At(addr) + " (" + Hex(&e[addr], 2) + ")");
  };
  const uint8_t code = e[0x00];
  expect(RateCode(p.dwPollingRate, plus) == code, "polling rate", 0x00);
  const int levels = e[0x02];
  expect(p.nDpiLevels == levels, "number of DPI levels", 0x02);
  expect(curLevel == e[0x04], "current DPI level", 0x04);
  if (model.bShowLOD) expect(p.nLOD == e[0x0A], "lift-off distance", 0x0A);
  if (model.bShowRipple) expect(p.nRipple == e[0xB1], "ripple control", 0xB1);
  if (model.bShowFixLine) expect(p.nFixLine == e[0xAF], "angle snapping", 0xAF);
  if (model.bShowDebounce) expect(p.nDebounce == e[0xA9], "debounce", 0xA9);
  expect(p.nSleepTime == e[0xAD] * 10, "sleep time", 0xAD);
  expect(p.bLightOffOnMove == e[0xB3], "light off while moving", 0xB3);
  for (int i = 0; i < levels && i < kProfileDpiLevels; ++i) {
    const uint16_t a = uint16_t(0x2C + 4 * i);
    const uint32_t c = uint32_t(e[a]) | uint32_t(e[a + 1]) << 8 | uint32_t(e[a + 2]) << 16;
    expect(p.Dpi[i].dwColor == c && p.Dpi[i].bAbsent == 0, "colour of level " + std::to_string(i), a);
  }
}

void CheckUserFiles(const std::string& dir, std::vector<std::string>& out) {
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    const fs::path& path = it->path();
    const std::string name = path.filename().string();
    const std::string ext = path.extension().string();
    auto bad = [&](const std::string& why) { out.push_back(path.string() + ": " + why); };
    if (name.rfind(".~", 0) == 0) {
      bad("temporary file of a replacing write left behind");
      continue;
    }
    if (name.rfind("PRO_", 0) == 0 && ext == ".dct") {
      std::vector<uint8_t> b = ReadAll(path);
      if (b.size() != kProfileStoreSize) {
        bad("profile store of " + std::to_string(b.size()) + " bytes");
        continue;
      }
      for (int i = 0; i < kStoreProfiles; ++i) {
        ProfileFile p;
        std::memcpy(static_cast<void*>(&p), b.data() + 4 + size_t(i) * sizeof p, sizeof p);
        if (p.dwMagic != kProfileMagic || p.dwID == 0)
          bad("profile " + std::to_string(i) + " has no valid header");
        else if (SanitizeProfile(p))
          bad("profile " + std::to_string(i) + " holds values out of range");
      }
    } else if (name == kGlobalSettingsName) {
      if (fs::file_size(path, ec) != kGlobalSettingsSize) bad("global settings of the wrong size");
    } else if (name == "mac.dct") {
      if (fs::file_size(path, ec) != kMacSnapshotSize) bad("macro snapshot of the wrong size");
    } else if (ext == kExportExtension) {
      std::vector<uint8_t> b = ReadAll(path);
      ProfileFile p;
      if (b.size() != kExportFileSize) {
        bad("export of " + std::to_string(b.size()) + " bytes");
        continue;
      }
      std::memcpy(static_cast<void*>(&p), b.data(), sizeof p);
      if (p.dwMagic != kProfileMagic || p.dwID == 0) bad("export without a valid profile");
      for (int s = 0; s < kExportMacroSlots; ++s) {
        const uint8_t* slot = b.data() + sizeof p + size_t(s) * kMacroFileSize;
        uint32_t magic;
        std::memcpy(&magic, slot, 4);
        if (!AllZero(slot, kMacroFileSize) && magic != kMacroMagic)
          bad("export macro slot " + std::to_string(s) + " is damaged");
      }
    } else if (ext == kMacroExtension) {
      if (ReadMacroFile(path.string()).status != MacroFileStatus::Ok) bad("macro file does not load");
    }
  }
}

}  // namespace tolvane::soak
