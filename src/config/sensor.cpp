#include "config/sensor.h"

#include <algorithm>
#include <limits>
#include <string_view>
#include <vector>

#include "app/log.h"
#include "app/notifier.h"
#include "config/catalogue.h"
#include "config/dev_cfg.h"
#include "config/ini_file.h"

namespace tolvane {

namespace {

// Register codes of 200, 300, ..., 5000 DPI (0x3325 and 0x4090).
constexpr uint8_t kCodes3325[49] = {
    4,  6,  8,  11, 13, 15, 18, 20, 22, 25, 27, 29, 32,  34,  36,  39,  41,
    43, 46, 48, 50, 52, 55, 57, 59, 62, 64, 66, 69, 71,  73,  76,  78,  80,
    83, 85, 87, 90, 92, 94, 97, 99, 101, 104, 106, 108, 111, 113, 115};

// Register codes of 600, 700, ..., 4000 DPI (0x3104; 0x3212 uses the first 19).
constexpr uint8_t kCodes3104[35] = {16, 18, 21, 23, 26, 29, 31, 34, 37, 39, 42, 45,
                                    47, 50, 52, 55, 58, 60, 63, 66, 68, 71, 74, 76,
                                    79, 82, 84, 87, 89, 92, 95, 97, 100, 103, 105};

// Register codes of 100, 200, ..., 16000 DPI (0x3335).
constexpr uint8_t kCodes3335[160] = {
    0,   2,   3,   4,   5,   6,   7,   9,   10,  11,  12,  13,  14,  16,  17,  18,
    19,  20,  22,  23,  24,  25,  26,  27,  29,  30,  31,  32,  33,  35,  37,  38,
    39,  40,  41,  42,  44,  45,  46,  47,  48,  50,  51,  52,  53,  54,  56,  57,
    58,  59,  60,  62,  63,  64,  65,  66,  68,  69,  70,  71,  72,  74,  75,  76,
    77,  78,  80,  81,  82,  83,  84,  86,  87,  88,  89,  90,  92,  93,  94,  95,
    96,  98,  99,  100, 101, 102, 104, 105, 106, 107, 108, 110, 111, 112, 113, 114,
    116, 117, 118, 119, 120, 122, 123, 124, 125, 126, 128, 129, 130, 131, 132, 134,
    135, 136, 137, 138, 140, 141, 142, 143, 144, 146, 147, 148, 149, 150, 152, 153,
    154, 155, 156, 158, 159, 160, 161, 162, 164, 165, 166, 167, 168, 170, 171, 172,
    173, 174, 176, 177, 178, 179, 180, 181, 182, 183, 184, 185, 186, 187, 188, 189};

struct DefaultList {
  uint32_t sensor;
  std::array<int32_t, 8> dpi;
};
constexpr DefaultList kDefaultLists[] = {
    {0x3050, {750, 1000, 1500, 2000, 2500, 3000, 3500, 4000}},
    {0x3370, {750, 1000, 1500, 2000, 2500, 3000, 3500, 4000}},
    {0x3212, {750, 1000, 1600, 2400, 3200, 4000, 5000, 7200}},
    {0x3320, {750, 1000, 1500, 2000, 2500, 3500, 4000, 5000}},
    {0x3325, {800, 1200, 2000, 3200, 4000, 5200, 6000, 8000}},
    {0x3330, {1000, 1500, 2000, 3000, 4000, 5000, 6000, 7200}},
    {0x3360, {1000, 1600, 2000, 3000, 4000, 5000, 6000, 8000}},
    {0x3610, {1000, 1600, 2000, 2400, 3000, 3200, 4000, 5600}},
    {0x5050, {750, 1000, 1250, 1500, 1750, 2000, 2500, 2750}},
    {0x5090, {500, 1000, 1250, 1500, 2000, 2500, 3000, 3500}},
    {0x7350, {600, 800, 1000, 1200, 1600, 2000, 2400, 3200}},
    {0x9800, {1000, 1500, 2000, 3000, 3500, 4000, 5000, 8200}},
};

int32_t ClampToInt32(int64_t v) {
  return int32_t(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                     std::numeric_limits<int32_t>::max()));
}

void Push(SensorCfg& t, int32_t dpi, uint8_t code) {
  if (t.nCount >= kMaxSensorDpi) return;
  t.nDpi[t.nCount] = dpi;
  t.bCode[t.nCount] = code;
  ++t.nCount;
}

// Values from..to by step, code = running position.
void PushRangeByPosition(SensorCfg& t, int from, int to, int step) {
  for (int v = from; v <= to; v += step) Push(t, v, uint8_t(t.nCount));
}

void PushListed(SensorCfg& t, int from, int step, const uint8_t* codes, int n) {
  for (int i = 0; i < n; ++i) Push(t, from + i * step, codes[i]);
}

// Values the device doubles: each takes the code of the entry holding half of it.
void PushDoubled(SensorCfg& t, int from, int to, int step) {
  for (int v = from; v <= to; v += step) {
    uint8_t code = 0xFF;
    bool found = false;
    for (int i = 0; i < t.nCount && !found; ++i)
      if (t.nDpi[i] == v / 2) {
        code = t.bCode[i];
        found = true;
      }
    if (!found) LogPrint("increct dp %d", v);
    Push(t, v, code);
  }
}

bool IsTableDoubling(uint32_t s) { return s == 0x3325 || s == 0x4090; }

}  // namespace

const std::array<int32_t, 8>* DefaultDpiList(uint32_t sensor) {
  for (const auto& d : kDefaultLists)
    if (d.sensor == sensor) return &d.dpi;
  return nullptr;
}

SensorCfg& SensorTables::Add(uint32_t sensor) {
  for (auto& t : tables_)
    if (t.nSensor == 0) {
      t = SensorCfg{};
      t.nSensor = sensor;
      return t;
    }
  return tables_.back();  // never reached: the built-in set is smaller than the array
}

void SensorTables::Build(bool step200) {
  tables_.fill(SensorCfg{});

  SensorCfg& t3050 = Add(0x3050);
  for (int v : {500, 750, 1000, 1250, 1500, 1750, 2000, 2500, 3000, 3500, 4000})
    Push(t3050, v, uint8_t(t3050.nCount + 1));

  SensorCfg& t3330 = Add(0x3330);
  PushRangeByPosition(t3330, 50, 7200, 50);
  PushRangeByPosition(t3330, 7300, 12000, 100);

  PushListed(Add(0x3104), 600, 100, kCodes3104, 35);
  PushListed(Add(0x3212), 600, 100, kCodes3104, 19);

  SensorCfg& t3325 = Add(0x3325);
  PushListed(t3325, 200, 100, kCodes3325, 49);
  if (step200)
    PushDoubled(t3325, 5200, 10000, 200);
  else
    PushDoubled(t3325, 6000, 10000, 1000);

  PushListed(Add(0x3335), 100, 100, kCodes3335, 160);

  SensorCfg& t4090 = Add(0x4090);
  PushListed(t4090, 200, 100, kCodes3325, 49);
  PushDoubled(t4090, 5200, 10000, 200);

  SensorCfg& t3336 = Add(0x3336);
  PushRangeByPosition(t3336, 50, 7200, 50);
  PushDoubled(t3336, 7300, 12000, 100);

  SensorCfg& t3370 = Add(0x3370);
  for (int v = 50; v <= 10000; v += 50) Push(t3370, v, 0);
  for (int v = 10100; v <= 19000; v += 100) Push(t3370, v, 0);
  for (int v = 19200; v <= 38000; v += 200) Push(t3370, v, 0);

  SensorCfg& t3395 = Add(0x3395);
  for (int v = 50; v <= 26000; v += 50) Push(t3395, v, 0);
}

SensorCfg* SensorTables::Find(uint32_t sensor) {
  if (sensor == 0) return nullptr;
  for (auto& t : tables_)
    if (t.nSensor == sensor) return &t;
  return nullptr;
}

const SensorCfg* SensorTables::Find(uint32_t sensor) const {
  return const_cast<SensorTables*>(this)->Find(sensor);
}

void SensorTables::ApplySensorKeys(const IniFile& ini, std::string_view section, SensorCfg& table,
                                   Notifier& n) {
  auto value = [&](std::string_view key) -> std::string_view {
    auto v = ini.Find(section, key);
    return v ? *v : std::string_view();
  };

  std::vector<int64_t> alias = ParseNumberList(value("DPIRANGEALIAS"), kMaxSensorDpi, 10, 259);
  const size_t pairs = alias.size() / 2;

  std::string_view range = value("DPIRANGE");
  if (!range.empty()) {
    std::vector<int64_t> r = ParseNumberList(range, 6, 10, 259);
    if (r.size() < 3) {
      // Not enough to regenerate anything: the table stays as it was.
      LogPrint("ApplySensorKeys: [%.*s] DPIRANGE has %d numbers", int(section.size()),
               section.data(), int(r.size()));
      n.Message(Caption::Warning, "Wrong DPIRANGE");
      return;
    }
    int32_t values[kMaxSensorDpi] = {};
    int count = 0;
    auto store = [&](int64_t v) {
      for (size_t p = 0; p < pairs; ++p)
        if (alias[2 * p] == v) {
          if (alias[2 * p + 1] != -1) v = alias[2 * p + 1];
          break;
        }
      values[count++] = ClampToInt32(v);
    };
    // The start is always stored; a step of 0 or below stores the start only.
    auto run = [&](int64_t start, int64_t end, int64_t step) {
      int64_t v = start;
      while (count < kMaxSensorDpi) {
        store(v);
        if (step <= 0) break;
        v += step;
        if (v > end) break;
      }
    };
    auto at = [&](size_t i) -> int64_t { return i < r.size() ? r[i] : 0; };
    run(r[0], r[1], r[2]);
    if (r.size() >= 4) run(at(3), at(4), at(5));
    std::fill(std::begin(table.nDpi), std::end(table.nDpi), 0);
    std::copy(values, values + count, table.nDpi);
    table.nCount = count;
    return;
  }

  std::string_view set = value("DPISET");
  if (!set.empty()) {
    std::vector<int64_t> v = ParseNumberList(set, kMaxSensorDpi, 10, 779);
    std::fill(std::begin(table.nDpi), std::end(table.nDpi), 0);
    for (size_t i = 0; i < v.size(); ++i) table.nDpi[i] = ClampToInt32(v[i]);
    table.nCount = int32_t(v.size());
  }
  std::string_view hw = value("DPIHW");
  if (!hw.empty()) {
    std::vector<int64_t> c = ParseNumberList(hw, kMaxSensorDpi, 16, 519);
    std::fill(std::begin(table.bCode), std::end(table.bCode), 0);
    for (size_t i = 0; i < c.size(); ++i) table.bCode[i] = uint8_t(c[i] & 0xFF);
    if (int(c.size()) != table.nCount) {
      LogPrint("ApplySensorKeys: [%.*s] %d codes for %d values", int(section.size()),
               section.data(), int(c.size()), int(table.nCount));
      n.Message(Caption::Warning, "DPISET Num != DPIHW Num");
    }
  } else if (!set.empty()) {
    for (int i = 0; i < table.nCount; ++i) table.bCode[i] = uint8_t((i + 1) & 0xFF);
  }
}

int SensorTables::DpiToCode(uint32_t s, int v, int* mode) const {
  int m = 0;
  int code = 0;
  const SensorCfg* t = Find(s);
  if (t && v > 0) {
    switch (s) {
      case 0x3395:
        if (v < 26100) code = v / 50 - 1;
        else { code = (v / 2) / 50 - 1; m = 1; }
        break;
      case 0x3330:
        if (v <= 7200) code = v / 50 - 1;
        else { code = (v / 2) / 50 - 1; m = 1; }
        break;
      case 0x3370:
        if (v <= 10000) code = v / 50 - 1;
        else if (v <= 19000) { code = v / 100 - 1; m = 2; }
        else if (v <= 20000) { code = (v / 2) / 50 - 1; m = 1; }
        else if (v <= 38000) { code = (v / 2) / 100 - 1; m = 3; }
        break;
      default: {
        int i = 0;
        while (i < t->nCount && t->nDpi[i] != v) ++i;
        if (i == t->nCount) break;
        code = t->bCode[i];
        if (IsTableDoubling(s)) m = v > 5000;
        else if (s == 0x3336) m = v > 7200;
        else if (s == 0x3104) m = v > 4000;
      }
    }
    if (code < 0) code = 0;  // below the smallest step: not representable
  }
  if (mode) *mode = m;
  return code;
}

bool SensorTables::Defines(uint32_t s, int v) const {
  if (DpiToIndex(s, v) >= 0) return true;
  int m = 0;
  const int c = DpiToCode(s, v, &m);
  if (c <= 0) return false;
  DevCfg model;
  model.nSensor = s;
  return CodeToDpi(&model, c, m) == v;
}

int SensorTables::CodeToDpi(const DevCfg* cfg, int c, int m) const {
  if (!cfg || cfg->nSensor == 0 || c < 0 || c > 0xFFFF) return 0;
  const uint32_t s = cfg->nSensor;
  const SensorCfg* t = Find(s);
  if (!t) return 0;
  switch (s) {
    case 0x3395: return (c + 1) * 50 * ((m & 1) ? 2 : 1);
    case 0x3370: return (c + 1) * ((m & 2) ? 100 : 50) * ((m & 1) ? 2 : 1);
    case 0x3325:
    case 0x4090:
      for (int i = 0; i < 49; ++i)
        if (kCodes3325[i] == c) return (200 + 100 * i) * (m ? 2 : 1);
      return 0;
    case 0x3336: return c <= 143 ? 50 * (c + 1) * (m ? 2 : 1) : 0;
    case 0x3330: return (c + 1) * (m ? 100 : 50);
    default:
      for (int i = 0; i < t->nCount; ++i)
        if (t->bCode[i] == c) return t->nDpi[i] * ((s == 0x3104 && m) ? 2 : 1);
      return 0;
  }
}

int SensorTables::DpiToIndex(uint32_t sensor, int dpi) const {
  const SensorCfg* t = Find(sensor);
  if (!t) return -1;
  for (int i = 0; i < t->nCount; ++i)
    if (t->nDpi[i] == dpi) return i;
  return -1;
}

int SensorTables::IndexToDpi(uint32_t sensor, int index) const {
  const SensorCfg* t = Find(sensor);
  if (!t || index < 0 || index >= t->nCount) return -1;
  return t->nDpi[index];
}

int DpiToCode(uint32_t sensor, int dpi, int* mode) { return Cat().sensors.DpiToCode(sensor, dpi, mode); }
int CodeToDpi(const DevCfg* cfg, int code, int mode) { return Cat().sensors.CodeToDpi(cfg, code, mode); }
int DpiToIndex(uint32_t sensor, int dpi) { return Cat().sensors.DpiToIndex(sensor, dpi); }
int IndexToDpi(uint32_t sensor, int index) { return Cat().sensors.IndexToDpi(sensor, index); }
bool SensorDefines(uint32_t sensor, int dpi) { return Cat().sensors.Defines(sensor, dpi); }

}  // namespace tolvane
