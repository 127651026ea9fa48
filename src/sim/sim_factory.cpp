#include "sim/sim_factory.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <span>

#include "profile/key_codes.h"
#include "profile/profile_file.h"

namespace tolvane::sim {

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

// The catalogue gives a sniper DPI as a table position; the factory image
// uses the position as the register code (exact for the 50-step sensors).
class FactoryKeyEnv : public KeyCodeEnv {
 public:
  int SniperCode(uint32_t position) const override { return int(position & 0xFF); }
};

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
  int64_t code = keyinfo_to_hardware_code(FactoryKeyEnv(), key);
  return code < 0 ? 0 : uint32_t(code);
}

size_t DefaultComboRecord(const KeyInfo& key, uint8_t* out) {
  std::memset(out, 0, ee::kComboStride);
  int n = KeyInfoToComboData(std::span<uint8_t>(out, ee::kComboStride - 1), key);
  return n < 0 ? 0 : size_t(n);
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
  PutPair(e, ee::kLogo + 6, kLightBrightB[9]);
  PutPair(e, ee::kLogo + 8, 3);

  // Key matrix and the combination records of keyboard and media buttons.
  uint32_t matrix[kMaxKeys] = {};
  for (int b = 0; b < kMaxKeys; ++b) {
    const KeyInfo& k = model.keys[0][b];
    if (k.nMatrix == 0 || k.nMatrix > kMaxKeys) continue;
    int j = int(k.nMatrix) - 1;
    matrix[j] = DefaultKeyCode(k);
    if (matrix[j] == kHwCombo) {
      uint8_t rec[ee::kComboStride];
      size_t len = DefaultComboRecord(k, rec);
      rec[len] = CheckByte(rec, len);
      std::memcpy(&e[ee::kCombo + ee::kComboStride * j], rec, sizeof rec);
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
    main[4] = uiMode == 3 ? kLightSpeedA[speed - 1] : kLightSpeedB[speed - 1];
    main[5] = uiMode == 3 ? kLightBrightA[bright - 1] : kLightBrightB[bright - 1];
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
