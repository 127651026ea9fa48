// One catalogue model, read from a [DEV_n] section of cfg.ini.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "records/key_info.h"

namespace tolvane {

constexpr int kMaxModels = 25;
constexpr int kMaxDpiLevels = 8;

struct Rect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const Rect&) const = default;
};

struct Point {
  int32_t x = 0, y = 0;
  bool operator==(const Point&) const = default;
};

// All fields zero before reading; an entry whose nSensor is 0 is empty.
struct DevCfg {
  char szName[20 * 4] = {};  // `Name`, at most 19 characters (UTF-8 here)
  uint32_t nCid = 0;         // `CID`: customer id the device must report
  uint32_t nMid = 0;         // `MID`: model id the device must report
  uint32_t nFw = 0;          // `Fw`: 0 = PRO protocol, 1 = PRO+ protocol
  uint32_t nSensor = 0;      // `Sensor`: selects the sensor table; 0 = empty entry
  uint32_t nDefLevel = 0;    // `DEFLEVEL`: level restore-defaults makes current
  uint32_t nDM = 0;          // `DM`: number of DPI levels as read (use DpiLevels())
  uint32_t dwDpi[kMaxDpiLevels] = {};       // `DPI`: default DPI per level
  uint32_t dwDpiColor[kMaxDpiLevels] = {};  // `DC`: colour per level, 0x00BBGGRR
  uint32_t nDPIH = 0;        // `DPIH`: DPI page row gap
  uint32_t nMdNum = 0;       // `MDNUM` 3/6/9 stored as 1/2/3
  uint32_t nKeyCount = 0;    // `KM`/2, 1 to 16
  KeyInfo keys[kKeyModes][kMaxKeys] = {};  // "K%d_%d": default assignments
  Rect rcKey[kMaxKeys] = {};               // "rcKey%d": button hot areas
  uint32_t nKEYH = 0;
  uint32_t nDefRate = 0;     // `DR`: hex that reads as Hz (0x500 = 500 Hz)
  uint32_t nRate[4] = {};    // `RATE1`..`RATE4`
  uint32_t bShowLOD = 0, bShowDpi = 0, bShowDpiColor = 0, bShowUsbRate = 0,
           bShowRipple = 0, bShowFixLine = 0, bShowDpiLED = 0, bShowMainEffect = 0,
           bShowLogoEffect = 0, bShowSleep = 0;
  uint32_t bWideRange = 0;   // 1 when nSensor is 0x3395
  uint32_t nDebounce = 0;    // `Debounce`: 0 = use [OPT] Debounce
  uint32_t bShowDebounce = 0, bShowXY = 0, bShowRGBSw = 0;
  uint32_t dwDpiMenuMask = 0;
  uint32_t dwDpiLEDMode = 0; // mode, brightness, speed packed low byte first
  Point ptMark;
  Point ptLedMark;
  uint32_t nDpiLimit[2][kMaxDpiLevels] = {};
  uint32_t nDpiUILevels = 0;
  uint32_t bSetDPIByClick = 0;
  uint32_t nSleepTime = 0;
  uint32_t nSleepVal[12] = {};
  uint32_t bSleepTimeCheck = 0;

  bool InUse() const { return nSensor != 0; }
  // `DM` limited to what a profile record holds.
  int DpiLevels() const { return nDM > kMaxDpiLevels ? kMaxDpiLevels : int(nDM); }
  // `DEFLEVEL` limited to the levels in use (0 when there are none).
  int DefaultLevel() const {
    int n = DpiLevels();
    return n == 0 ? 0 : (nDefLevel >= uint32_t(n) ? n - 1 : int(nDefLevel));
  }
  // `KM`/2, never more than the 16 a key table holds.
  int KeyCount() const { return nKeyCount > uint32_t(kMaxKeys) ? kMaxKeys : int(nKeyCount); }
  std::string Name() const { return std::string(szName, strnlen(szName, sizeof szName)); }
};

}  // namespace tolvane
