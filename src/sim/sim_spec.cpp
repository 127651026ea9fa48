#include "sim/sim_spec.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace tolvane::sim {

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool ParseNumber(const std::string& v, int base, uint32_t max, uint32_t* out) {
  std::string s = v;
  if (base == 16 && s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s = s.substr(2);
  if (s.empty() || s.size() > 8) return false;
  uint32_t n = 0;
  for (char c : s) {
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    n = n * uint32_t(base) + uint32_t(d);
    if (n > max) return false;
  }
  *out = n;
  return true;
}

bool ParseFlag(const std::string& v, bool hasValue, bool* out) {
  std::string s = Lower(v);
  if (!hasValue || s == "1" || s == "yes" || s == "true" || s == "on") {
    *out = true;
    return true;
  }
  if (s == "0" || s == "no" || s == "false" || s == "off") {
    *out = false;
    return true;
  }
  return false;
}

bool Listed(const std::vector<uint16_t>& l, uint16_t v) {
  return std::find(l.begin(), l.end(), v) != l.end();
}

// A model for an identity the catalogue does not know.
DevCfg GenericModel(Family f, uint8_t cid, uint8_t mid) {
  DevCfg m;
  std::snprintf(m.szName, sizeof m.szName, "Generic %s", FamilyName(f));
  m.nCid = cid;
  m.nMid = mid;
  m.nFw = f == Family::ProPlus ? 1 : 0;
  m.nSensor = 0x3395;
  m.nDM = 6;
  const uint32_t dpi[6] = {800, 1600, 2400, 3200, 4800, 6400};
  const uint32_t colours[8] = {0x0000FF, 0xFF0000, 0x00FF00, 0xFF0080,
                               0x03C6FA, 0x6A03FA, 0xFF00FF, 0xFFFF00};
  std::copy(std::begin(dpi), std::end(dpi), m.dwDpi);
  std::copy(std::begin(colours), std::end(colours), m.dwDpiColor);
  m.nDefRate = 0x1000;
  m.nKeyCount = 6;
  const uint32_t fn[6] = {0x01000011, 0x01000013, 0x01000012, 0x01000014, 0x01000015, 0x080000AA};
  for (int t = 0; t < kKeyModes; ++t)
    for (int b = 0; b < 6; ++b) {
      m.keys[t][b].dwFunID = fn[b];
      m.keys[t][b].nMatrix = uint32_t(b + 1);
    }
  m.nSleepTime = 60;
  m.bSleepTimeCheck = 1;
  return m;
}

}  // namespace

SimCatalogue SimCatalogueFrom(const Catalogue& cat) {
  SimCatalogue c;
  for (int i : cat.ModelsInUse()) c.models.push_back(cat.dev[size_t(i)]);
  c.vids = cat.opt.VID;
  c.wiredPids = cat.opt.PID;
  c.wirelessPids = cat.opt.PID2;
  for (size_t i = 0; i < 6; ++i) c.factory.ledParam[i] = cat.opt.LEDParam[i];
  c.factory.debounce = uint8_t(cat.opt.Debounce);
  const SensorTables* tables = &cat.sensors;
  c.factory.dpiToCode = [tables](uint32_t sensor, uint32_t dpi, uint32_t* mode) {
    int m = 0;
    const int code = tables->DpiToCode(sensor, int(dpi), &m);
    *mode = uint32_t(m);
    return code < 0 ? 0u : uint32_t(code);
  };
  return c;
}

bool ParseSimSpec(const std::string& text, SimSpec* out, std::string* err) {
  auto bad = [&](const std::string& m) {
    if (err) *err = "--simulate " + text + ": " + m;
    return false;
  };
  SimSpec s;
  size_t colon = text.find(':');
  std::string family = Lower(text.substr(0, colon));
  if (family == "pro") s.family = Family::Pro;
  else if (family == "pro+") s.family = Family::ProPlus;
  else return bad("unknown family '" + text.substr(0, colon) + "' (expected pro or pro+)");

  if (colon != std::string::npos) {
    std::string rest = text.substr(colon + 1);
    if (rest.empty()) return bad("nothing after ':'");
    size_t pos = 0;
    while (pos <= rest.size()) {
      size_t comma = rest.find(',', pos);
      std::string item = rest.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
      pos = comma == std::string::npos ? rest.size() + 1 : comma + 1;
      if (item.empty()) return bad("empty item");
      size_t eq = item.find('=');
      bool hasValue = eq != std::string::npos;
      std::string key = Lower(item.substr(0, eq));
      std::string val = hasValue ? item.substr(eq + 1) : std::string();
      uint32_t n = 0;
      auto need = [&]() {
        if (!hasValue || val.empty()) return bad("key '" + key + "' needs a value");
        return true;
      };
      auto num = [&](int base, uint32_t max) {
        if (!need()) return false;
        if (!ParseNumber(val, base, max, &n))
          return bad("bad value '" + val + "' for " + key + " (" +
                     (base == 16 ? "hex" : "decimal") + ", at most " +
                     (base == 16 ? "0x" : "") + [&] {
                       char b[16];
                       std::snprintf(b, sizeof b, base == 16 ? "%X" : "%u", max);
                       return std::string(b);
                     }() + ")");
        return true;
      };
      if (key == "cid" || key == "mid") {
        if (!num(16, 0xFF)) return false;
        (key == "cid" ? s.cid : s.mid) = uint8_t(n);
      } else if (key == "pid" || key == "vid") {
        if (!num(16, 0xFFFF)) return false;
        (key == "pid" ? s.pid : s.vid) = uint16_t(n);
      } else if (key == "link") {
        if (!need()) return false;
        std::string l = Lower(val);
        if (l == "wired") s.link = Link::Wired;
        else if (l == "wireless") s.link = Link::Wireless;
        else return bad("bad link '" + val + "' (expected wired or wireless)");
      } else if (key == "eeprom") {
        if (!need()) return false;
        s.eeprom = val;
      } else if (key == "latency") {
        if (!num(10, 60000)) return false;
        s.latencyMs = int(n);
      } else if (key == "wake") {
        if (!num(10, 600000)) return false;
        s.wakeAfterMs = int(n);
      } else if (key == "power") {
        if (!num(10, 255)) return false;
        s.power = uint8_t(n);
      } else if (key == "4k") {
        if (!num(16, 0xFF)) return false;
        s.code4k = uint8_t(n);
      } else if (key == "ver") {
        if (!num(16, 0xFFFF)) return false;
        s.version = uint16_t(n);
      } else if (key == "charging" || key == "asleep") {
        bool f = false;
        if (!ParseFlag(val, hasValue, &f)) return bad("bad value '" + val + "' for " + key);
        (key == "charging" ? s.charging : s.asleep) = f;
      } else {
        return bad("unknown key '" + item.substr(0, eq) + "'");
      }
    }
  }
  // Only a receiver's mouse sleeps; a pid alone decides the link later.
  if (s.asleep && (s.link ? *s.link == Link::Wired : !s.pid)) return bad("asleep needs link=wireless");
  if (s.wakeAfterMs >= 0 && !s.asleep) return bad("wake needs asleep");
  *out = s;
  return true;
}

bool ResolveModel(const SimSpec& spec, const SimCatalogue& cat, DevCfg* model, std::string* err) {
  const uint32_t fw = spec.family == Family::ProPlus ? 1 : 0;
  if (spec.cid && spec.mid) {
    for (const DevCfg& m : cat.models)
      if (m.InUse() && m.nCid == *spec.cid && m.nMid == *spec.mid) {
        *model = m;
        return true;
      }
    *model = GenericModel(spec.family, *spec.cid, *spec.mid);
    return true;
  }
  for (const DevCfg& m : cat.models) {
    if (!m.InUse() || m.nFw != fw) continue;
    if ((spec.cid && m.nCid != *spec.cid) || (spec.mid && m.nMid != *spec.mid)) continue;
    *model = m;
    return true;
  }
  if (err)
    *err = std::string("no catalogue model of family ") + FamilyName(spec.family) +
           (spec.cid || spec.mid ? " with that identity" : "") + "; give cid and mid";
  return false;
}

std::shared_ptr<VirtualMouse> MakeVirtualMouse(const SimSpec& spec, const SimCatalogue& cat,
                                               std::string* err) {
  DevCfg model;
  if (!ResolveModel(spec, cat, &model, err)) return nullptr;

  MouseState st;
  st.family = spec.family;
  st.vid = spec.vid ? *spec.vid : cat.vids.empty() ? kFallbackVid : cat.vids.front();
  if (spec.link)
    st.link = *spec.link;
  else if (spec.pid && Listed(cat.wirelessPids, *spec.pid) && !Listed(cat.wiredPids, *spec.pid))
    st.link = Link::Wireless;
  else
    st.link = Link::Wired;
  if (spec.pid)
    st.pid = *spec.pid;
  else if (st.link == Link::Wired)
    st.pid = cat.wiredPids.empty() ? kFallbackWiredPid : cat.wiredPids.front();
  else
    st.pid = cat.wirelessPids.empty() ? kFallbackWirelessPid : cat.wirelessPids.front();
  if (spec.asleep && st.link == Link::Wired) {
    if (err) *err = "--simulate: asleep needs a wireless link (pid is a wired product id)";
    return nullptr;
  }
  st.version = spec.version;
  st.cid = uint8_t(model.nCid);
  st.mid = uint8_t(model.nMid);
  st.code4k = spec.code4k ? *spec.code4k : spec.family == Family::ProPlus ? 1 : 0;
  st.power = spec.power;
  st.charging = spec.charging;
  st.asleep = spec.asleep;
  st.factory = BuildFactoryImage(model, spec.family, cat.factory);
  st.eeprom = st.factory;

  if (!spec.eeprom.empty()) {
    std::error_code ec;
    if (std::filesystem::exists(spec.eeprom, ec)) {
      if (!LoadEepromFile(spec.eeprom, st.eeprom, err)) return nullptr;
    } else if (!SaveEepromFile(spec.eeprom, st.eeprom, err)) {
      return nullptr;
    }
  }
  MouseOptions opt;
  opt.latencyMs = spec.latencyMs;
  opt.wakeAfterMs = spec.wakeAfterMs;
  opt.eepromPath = spec.eeprom;
  return std::make_shared<VirtualMouse>(st, std::move(opt));
}

std::shared_ptr<VirtualMouse> MakeVirtualMouse(const std::string& spec, const SimCatalogue& cat,
                                               std::string* err) {
  SimSpec s;
  if (!ParseSimSpec(spec, &s, err)) return nullptr;
  return MakeVirtualMouse(s, cat, err);
}

std::unique_ptr<SimTransport> MakeSimTransport(const std::vector<std::string>& specs,
                                               const SimCatalogue& cat, std::string* err) {
  auto t = std::make_unique<SimTransport>();
  for (const std::string& spec : specs) {
    auto m = MakeVirtualMouse(spec, cat, err);
    if (!m) return nullptr;
    t->Plug(m);
  }
  return t;
}

}  // namespace tolvane::sim
