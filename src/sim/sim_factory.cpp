#include "sim/sim_factory.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace tolvane::sim {

const uint8_t kSpeedTableA[10] = {10, 9, 8, 7, 6, 5, 4, 3, 2, 1};
const uint8_t kSpeedTableB[10] = {255, 230, 210, 190, 170, 150, 130, 110, 70, 40};
const uint8_t kBrightTableA[10] = {72, 92, 112, 132, 152, 172, 192, 212, 232, 252};
const uint8_t kBrightTableB[10] = {45, 50, 75, 100, 125, 150, 175, 200, 225, 255};
const uint8_t kDpiLightBright[10] = {16, 30, 60, 90, 128, 150, 180, 210, 230, 255};

namespace {

// Register codes of the listed sensors, one per DPI value of the given range.
const uint8_t k3325Codes[] = {  // 200 ... 5000 step 100 (also 0x4090)
    4, 6, 8, 11, 13, 15, 18, 20, 22, 25, 27, 29, 32, 34, 36, 39, 41, 43, 46, 48, 50,
    52, 55, 57, 59, 62, 64, 66, 69, 71, 73, 76, 78, 80, 83, 85, 87, 90, 92, 94, 97, 99,
    101, 104, 106, 108, 111, 113, 115};
const uint8_t k3104Codes[] = {  // 600 ... 4000 step 100 (0x3212: the first 19)
    16, 18, 21, 23, 26, 29, 31, 34, 37, 39, 42, 45, 47, 50, 52, 55, 58, 60, 63, 66, 68,
    71, 74, 76, 79, 82, 84, 87, 89, 92, 95, 97, 100, 103, 105};
const uint8_t k3335Codes[] = {  // 100 ... 16000 step 100
    0, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14, 16, 17, 18, 19, 20, 22, 23, 24, 25, 26,
    27, 29, 30, 31, 32, 33, 35, 37, 38, 39, 40, 41, 42, 44, 45, 46, 47, 48, 50, 51, 52,
    53, 54, 56, 57, 58, 59, 60, 62, 63, 64, 65, 66, 68, 69, 70, 71, 72, 74, 75, 76, 77,
    78, 80, 81, 82, 83, 84, 86, 87, 88, 89, 90, 92, 93, 94, 95, 96, 98, 99, 100, 101,
    102, 104, 105, 106, 107, 108, 110, 111, 112, 113, 114, 116, 117, 118, 119, 120,
    122, 123, 124, 125, 126, 128, 129, 130, 131, 132, 134, 135, 136, 137, 138, 140,
    141, 142, 143, 144, 146, 147, 148, 149, 150, 152, 153, 154, 155, 156, 158, 159,
    160, 161, 162, 164, 165, 166, 167, 168, 170, 171, 172, 173, 174, 176, 177, 178,
    179, 180, 181, 182, 183, 184, 185, 186, 187, 188, 189};

// Code of v in a list that starts at `first` and steps by 100; -1 when absent.
int Listed(const uint8_t* codes, size_t n, uint32_t first, uint32_t v) {
  if (v < first || (v - first) % 100 != 0) return -1;
  size_t i = (v - first) / 100;
  return i < n ? codes[i] : -1;
}

uint32_t Code50(uint32_t v) { return v >= 50 ? v / 50 - 1 : 0; }

// Virtual key -> HID keyboard usage, first match in this order.
struct VkRange { uint8_t usage, vk, count; };
const VkRange kVkTable[] = {
    {0x29, 0x1B, 1},  {0x3A, 0x70, 12}, {0x04, 0x41, 26}, {0x1E, 0x31, 9},  {0x27, 0x30, 1},
    {0x2B, 0x09, 1},  {0x39, 0x14, 1},  {0x28, 0x0D, 1},  {0x2A, 0x08, 1},  {0x2C, 0x20, 1},
    {0x2F, 0xDB, 1},  {0x30, 0xDD, 1},  {0x31, 0xDC, 1},  {0x33, 0xBA, 1},  {0x34, 0xDE, 1},
    {0x36, 0xBC, 1},  {0x37, 0xBE, 1},  {0x38, 0xBF, 1},  {0x35, 0xC0, 1},  {0x2E, 0xBB, 1},
    {0x2D, 0xBD, 1},  {0x46, 0x2C, 1},  {0x47, 0x91, 1},  {0x48, 0x13, 1},  {0x49, 0x2D, 1},
    {0x4A, 0x24, 1},  {0x4B, 0x21, 1},  {0x4C, 0x2E, 1},  {0x4D, 0x23, 1},  {0x4E, 0x22, 1},
    {0x52, 0x26, 1},  {0x51, 0x28, 1},  {0x50, 0x25, 1},  {0x4F, 0x27, 1},  {0x59, 0x61, 9},
    {0x62, 0x60, 1},  {0x57, 0x6B, 1},  {0x56, 0x6D, 1},  {0x55, 0x6A, 1},  {0x54, 0x6F, 1},
    {0x53, 0x90, 1},  {0x58, 0x0D, 1},  {0x63, 0x6E, 1},  {0xE0, 0xA2, 1},  {0xE1, 0xA0, 1},
    {0xE2, 0xA4, 1},  {0xE3, 0x5B, 1},  {0xE4, 0xA3, 1},  {0xE5, 0xA1, 1},  {0xE6, 0xA5, 1},
    {0xE7, 0x5C, 1},  {0x65, 0x5D, 1},
};

uint8_t VkToHid(uint8_t vk) {
  for (const VkRange& r : kVkTable)
    if (vk >= r.vk && vk < r.vk + r.count) return uint8_t(r.usage + (vk - r.vk));
  return 0;
}

uint16_t ConsumerUsage(uint32_t fn) {
  switch (fn & 0xFF) {
    case 0x21: return 0x183; case 0x22: return 0xCD;  case 0x23: return 0xB7;
    case 0x24: return 0xB6;  case 0x25: return 0xB5;  case 0x26: return 0xE9;
    case 0x27: return 0xEA;  case 0x28: return 0xE2;  case 0x30: return 0x18A;
    case 0x31: return 0x192; case 0x32: return 0x194; case 0x33: return 0x221;
    case 0x34: return 0x223; case 0x35: return 0x224; case 0x36: return 0x225;
    case 0x37: return 0x226; case 0x38: return 0x227; case 0x39: return 0x22A;
  }
  return 0xFFFF;
}

uint8_t Clamp1(uint32_t v, uint32_t lo, uint32_t hi) {
  return uint8_t(std::clamp<uint32_t>(v, lo, hi));
}

}  // namespace

uint32_t BuiltinDpiToCode(uint32_t s, uint32_t v, uint32_t* mode) {
  *mode = 0;
  auto half = [&](uint32_t limit, auto&& self_code) -> uint32_t {
    if (v <= limit) return self_code(v);
    *mode = 1;
    return self_code(v / 2);
  };
  int c = -1;
  switch (s) {
    case 0x3395:
      if (v < 26100) return Code50(v);
      *mode = 1;
      return Code50(v / 2);
    case 0x3330:
    case 0x3336:
      return half(7200, Code50);
    case 0x3370:
      if (v <= 10000) return Code50(v);
      if (v <= 19000) { *mode = 2; return v / 100 - 1; }
      if (v <= 20000) { *mode = 1; return Code50(v / 2); }
      if (v <= 38000) { *mode = 3; return (v / 2) / 100 - 1; }
      return 0;
    case 0x3325:
    case 0x4090:
      if (v > 5000) {
        *mode = 1;
        v /= 2;
      }
      c = Listed(k3325Codes, std::size(k3325Codes), 200, v);
      break;
    case 0x3104:
      if (v > 4000) {
        *mode = 1;
        v /= 2;
      }
      c = Listed(k3104Codes, std::size(k3104Codes), 600, v);
      break;
    case 0x3212:
      c = Listed(k3104Codes, 19, 600, v);
      break;
    case 0x3335:
      c = Listed(k3335Codes, std::size(k3335Codes), 100, v);
      break;
    case 0x3050: {
      static const uint32_t vals[] = {500, 750, 1000, 1250, 1500, 1750, 2000, 2500, 3000, 3500, 4000};
      for (size_t i = 0; i < std::size(vals); ++i)
        if (vals[i] == v) return uint32_t(i + 1);
      return 0;
    }
  }
  return c < 0 ? 0 : uint32_t(c);
}

uint32_t DefaultKeyCode(const KeyInfo& key) {
  uint32_t group = key.dwFunID >> 24, fn = key.dwFunID & 0xFFFFFF;
  switch (group) {
    case 0x01:
      switch (fn) {
        case 0x11: return 0x101;
        case 0x13: return 0x201;
        case 0x12: return 0x401;
        case 0x15: return 0x801;
        case 0x14: return 0x1001;
        case 0x16: return 0x23204;
        case 0x17: return 0x33204;
      }
      return 0;
    case 0x02: case 0x03: case 0x04:
      return 5;
    case 0x08:
      switch (fn) {
        case 0xA4: return 4 + ((key.dwParameter >> 8) & 0xFF) * 0x100 + (key.dwParameter & 0xFF) * 0x10000;
        // The catalogue gives a sniper DPI as a table position; the 50-step
        // sensors use the position as the code.
        case 0xA6: return ((key.dwParameter & 0xFF) << 8) | 0x0A;
        case 0xA7: return 8;
        case 0xA8: return 0x202;
        case 0xA9: return 0x302;
        case 0xAA: return 0x102;
        case 0xAC: return 7;
        case 0xAD: return key.dwParameter;
        case 0xAE: return 0x408;
        case 0xB0: return 9;
      }
      return 0;
    case 0x0B:
      return key.dwParameter;
  }
  return 0;
}

size_t DefaultComboRecord(const KeyInfo& key, uint8_t* out) {
  uint32_t group = key.dwFunID >> 24;
  std::memset(out, 0, ee::kComboSize);
  size_t n = 0, p = 1;
  auto add = [&](uint8_t type, uint8_t code, uint8_t third) {
    if (n >= 10) return;  // a record holds at most 10 events
    out[p++] = type;
    out[p++] = code;
    out[p++] = third;
    ++n;
  };
  if (group == 0x02) {
    const KeyCombo& c = key.stCombo;
    for (uint8_t bit : {0x01, 0x02, 0x04, 0x08})
      if (c.bModifiers & bit) add(0x80, bit, 0);
    for (int k = 0; k < 3; ++k)
      if (c.bKeys[k]) add(0x81, VkToHid(c.bKeys[k]), 0);
    for (uint8_t bit : {0x01, 0x02, 0x04, 0x08})
      if (c.bModifiers & bit) add(0x40, bit, 0);
    for (int k = 2; k >= 0; --k)
      if (c.bKeys[k]) add(0x41, VkToHid(c.bKeys[k]), 0);
  } else if (group == 0x03 || group == 0x04) {
    uint16_t u = ConsumerUsage(key.dwFunID);
    add(0x82, uint8_t(u), uint8_t(u >> 8));
    add(0x42, uint8_t(u), uint8_t(u >> 8));
  } else {
    return 0;
  }
  out[0] = uint8_t(n);
  return p;
}

void PutDpiEntry(Eeprom& e, uint16_t addr, uint32_t xCode, uint32_t xMode, uint32_t yCode,
                 uint32_t yMode) {
  uint8_t m = uint8_t(xMode + 4 * ((xCode >> 8) & 3) + 16 * (yMode + 4 * ((yCode >> 8) & 3)));
  PutQuad(e, addr, uint8_t(xCode), uint8_t(yCode), m);
}

Eeprom BuildFactoryImage(const DevCfg& model, Family family, const FactoryOptions& opt) {
  Eeprom e;
  e.fill(0xFF);
  const bool plus = family == Family::ProPlus;

  uint8_t rate = RateToCode(model.nDefRate);
  if (rate == 0 || (!plus && rate > 8)) rate = 1;
  PutPair(e, ee::kRate, rate);

  int dm = std::max(1, model.DpiLevels());
  int inUse = model.nDpiUILevels ? std::min<int>(int(model.nDpiUILevels), dm) : dm;
  PutPair(e, ee::kLevels, uint8_t(inUse));
  PutPair(e, ee::kCurLevel, uint8_t(model.nDefLevel < uint32_t(inUse) ? model.nDefLevel : 0));
  PutPair(e, ee::kLod, 1);

  DpiCodeFn toCode = opt.dpiToCode ? opt.dpiToCode : DpiCodeFn(BuiltinDpiToCode);
  uint32_t lastDpi = model.dwDpi[0];
  for (int i = 0; i < kMaxDpiLevels; ++i) {
    if (i < dm && model.dwDpi[i]) lastDpi = model.dwDpi[i];
    uint32_t mode = 0, code = toCode(model.nSensor, lastDpi, &mode);
    PutDpiEntry(e, uint16_t(ee::kDpi + 4 * i), code, mode, code, mode);
    uint32_t c = model.dwDpiColor[i];
    PutQuad(e, uint16_t(ee::kDpiColor + 4 * i), uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16));
  }

  // DPI indicator light: mode, brightness (1-based), speed (1-based), low byte first.
  uint32_t dl = model.dwDpiLEDMode ? model.dwDpiLEDMode : 0x30502;
  uint8_t dlMode = uint8_t(dl), dlBright = Clamp1((dl >> 8) & 0xFF, 1, 10),
          dlSpeed = Clamp1((dl >> 16) & 0xFF, 1, 5);
  PutPair(e, ee::kDpiLight, dlMode);
  PutPair(e, ee::kDpiLight + 2, kDpiLightBright[dlBright - 1]);
  PutPair(e, ee::kDpiLight + 4, dlSpeed);
  if (plus) PutPair(e, ee::kDpiLightOn, dlMode ? 1 : 0);

  const uint8_t* led = opt.ledParam;
  uint8_t uiMode = Clamp1(led[0], 0, 6), bright = Clamp1(led[1], 1, 10), speed = Clamp1(led[2], 1, 10);
  // Logo light: the main light's colour, steady, full brightness, speed 3.
  PutQuad(e, ee::kLogo, led[3], led[4], led[5]);
  PutPair(e, ee::kLogo + 4, 1);
  PutPair(e, ee::kLogo + 6, kBrightTableB[9]);
  PutPair(e, ee::kLogo + 8, 3);

  // Key matrix and the combination records of keyboard and media buttons.
  uint32_t matrix[kMaxKeys] = {};
  for (int b = 0; b < kMaxKeys; ++b) {
    const KeyInfo& k = model.keys[0][b];
    if (k.nMatrix == 0 || k.nMatrix > kMaxKeys) continue;
    int j = int(k.nMatrix) - 1;
    matrix[j] = DefaultKeyCode(k);
    if (matrix[j] == 5) {
      uint8_t rec[ee::kComboSize];
      size_t len = DefaultComboRecord(k, rec);
      rec[len] = CheckByte(rec, len);
      std::memcpy(&e[ee::kCombo + ee::kComboSize * j], rec, sizeof rec);
    }
  }
  for (int j = 0; j < kMaxKeys; ++j)
    PutQuad(e, uint16_t(ee::kMatrix + 4 * j), uint8_t(matrix[j]), uint8_t(matrix[j] >> 8),
            uint8_t(matrix[j] >> 16));

  uint8_t main[7];
  if (plus) {
    static const uint8_t hw[7] = {0, 3, 2, 1, 4, 6, 5};
    main[0] = hw[uiMode];
    main[4] = uint8_t(speed - 1);
    main[5] = uint8_t(bright - 1);
  } else {
    static const uint8_t hw[7] = {4, 2, 1, 0, 3, 5, 7};
    main[0] = hw[uiMode];
    main[4] = uiMode == 3 ? kSpeedTableA[speed - 1] : kSpeedTableB[speed - 1];
    main[5] = uiMode == 3 ? kBrightTableA[bright - 1] : kBrightTableB[bright - 1];
  }
  main[1] = led[3];
  main[2] = led[4];
  main[3] = led[5];
  main[6] = CheckByte(main, 6);
  std::memcpy(&e[ee::kMainLight], main, sizeof main);
  if (plus) PutPair(e, ee::kMainLightOn, main[0] ? 1 : 0);

  PutPair(e, ee::kDebounce, uint8_t(model.nDebounce ? model.nDebounce : opt.debounce));
  PutPair(e, ee::kButtonOption, 1);
  PutPair(e, ee::kSleepTime, uint8_t(model.nSleepTime / 10));
  PutPair(e, ee::kFixLine, 0);
  PutPair(e, ee::kRipple, 0);
  PutPair(e, ee::kLightOffOnMove, uint8_t(model.bSleepTimeCheck ? 1 : 0));
  if (plus) {
    PutPair(e, ee::kOptB5, 0);  // option 3
    PutPair(e, ee::kOptB7, 6);  // sensor sleep
    PutPair(e, ee::kOptB9, 0);  // option 2
  } else {
    PutPair(e, ee::kOptB5, 6);  // sensor sleep
    PutPair(e, ee::kOptB7, 0);  // option 2
  }
  return e;
}

}  // namespace tolvane::sim
