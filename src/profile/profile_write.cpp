// ApplySetting and its EEPROM writers: a profile record, or the groups of it a
// caller names, into the device's EEPROM.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "app/event_sink.h"
#include "app/log.h"
#include "config/catalogue.h"
#include "device/hid_dev.h"
#include "device/link_options.h"
#include "macro/hd_macro.h"
#include "macro/macro_library.h"
#include "platform/pointer_settings.h"
#include "profile/profile_device.h"

namespace tolvane {

namespace {

void SleepMs(int ms) { ProfilePause(ms); }

// Index of the lowest set bit of `mask` below `limit`, -1 when none.
int LowestItem(uint32_t mask, int limit) {
  for (int i = 0; i < limit; ++i)
    if (mask & (1u << i)) return i;
  return -1;
}

// Mask of a single item, 0 (nothing) for an index no group has.
uint32_t ItemMask(uint32_t item) { return item < 32 ? 1u << item : 0; }

template <size_t N>
int Write(CHidDev& dev, uint32_t addr, const std::array<uint8_t, N>& bytes, int chunk = 10) {
  return dev.WriteEEPROM(addr, bytes.data(), int(N), chunk);
}

}  // namespace

int WriteKeyMatrix(CHidDev& dev, uint32_t mask, const uint32_t* codes, int count) {
  if (!codes) return 0;
  if (mask == kAllItems) {
    count = std::clamp(count, 0, eeprom::kMatrixEntries);
    uint8_t buf[4 * eeprom::kMatrixEntries];
    for (int i = 0; i < count; ++i) {
      const auto e = EncodeMatrixEntry(codes[i]);
      std::memcpy(buf + 4 * i, e.data(), 4);
    }
    return dev.WriteEEPROM(eeprom::kMatrix, buf, 4 * count, 8);
  }
  const int i = LowestItem(mask, eeprom::kMatrixEntries);
  if (i < 0) return 1;
  return Write(dev, eeprom::kMatrix + 4u * uint32_t(i), EncodeMatrixEntry(codes[0]));
}

namespace {

DpiCodes LevelCodes(const DevCfg* model, const DpiLevel& l) {
  DpiCodes c;
  const uint32_t sensor = model ? model->nSensor : 0;
  int xMode = 0, yMode = 0;
  c.xCode = uint32_t(DpiToCode(sensor, int(l.dwDpiX), &xMode));
  c.yCode = uint32_t(DpiToCode(sensor, int(l.dwDpiY), &yMode));
  c.xMode = uint32_t(xMode);
  c.yMode = uint32_t(yMode);
  return c;
}

}  // namespace

int WriteDpiLevels(CHidDev& dev, uint32_t mask, const DpiLevel* levels, int count) {
  if (!levels) return 0;
  if (mask == kAllItems) {
    count = std::clamp(count, 0, kProfileDpiLevels);
    uint8_t buf[4 * kProfileDpiLevels];
    uint16_t xs[kProfileDpiLevels], ys[kProfileDpiLevels];
    for (int i = 0; i < count; ++i) {
      const DpiCodes c = LevelCodes(dev.pDevCfg, levels[i]);
      xs[i] = uint16_t(c.xCode);
      ys[i] = uint16_t(c.yCode);
      const auto e = EncodeDpiEntry(c);
      std::memcpy(buf + 4 * i, e.data(), 4);
    }
    LogHex(xs, sizeof(uint16_t) * size_t(count), 0, "DpiX=");
    LogHex(ys, sizeof(uint16_t) * size_t(count), 0, "DpiY=");
    return dev.WriteEEPROM(eeprom::kDpi, buf, 4 * count, 8);
  }
  const int i = LowestItem(mask, kProfileDpiLevels);
  if (i < 0) return 1;
  return Write(dev, eeprom::kDpi + 4u * uint32_t(i),
               EncodeDpiEntry(LevelCodes(dev.pDevCfg, levels[i])));
}

int WriteDpiColors(CHidDev& dev, uint32_t mask, const uint32_t* colors, int count) {
  if (!colors) return 0;
  if (mask == kAllItems) {
    count = std::clamp(count, 0, kProfileDpiLevels);
    uint8_t buf[4 * kProfileDpiLevels];
    for (int i = 0; i < count; ++i) {
      const auto e = EncodeColorQuad(colors[i]);
      std::memcpy(buf + 4 * i, e.data(), 4);
    }
    return dev.WriteEEPROM(eeprom::kDpiColor, buf, 4 * count, 8);
  }
  const int i = LowestItem(mask, kProfileDpiLevels);
  if (i < 0) return 1;
  return Write(dev, eeprom::kDpiColor + 4u * uint32_t(i), EncodeColorQuad(colors[0]));
}

int WritePollingRate(CHidDev& dev, uint32_t rate, bool plus) {
  const int code = RateToCode(rate, plus);
  if (code < 0) {
    LogPrint("SetPollingRate: wrong rate 0x%x", rate);
    return 0;
  }
  return Write(dev, eeprom::kRate, GuardedPair(uint8_t(code)));
}

namespace {

// Each value only where the desktop lets us set it and it differs from the
// desktop's (a value the desktop does not let us read is always written).
void ApplyPointer(const SysMouseSettings& s, PointerSettings& p) {
  const PointerCapabilities caps = p.Capabilities();
  if (caps.Empty()) {
    LogPrint("ApplyPointer: this desktop does not allow pointer settings");
    return;
  }
  const PointerValues cur = p.Current();
  auto differs = [&](unsigned bit, bool same) { return !caps.CanRead(bit) || !same; };
  if (caps.CanSet(kPointerDoubleClick) &&
      differs(kPointerDoubleClick, cur.nDoubleClickTime == s.nDoubleClickTime))
    p.SetDoubleClickTime(s.nDoubleClickTime);
  const unsigned scroll = ScrollBitFor(s.nScrollLines);
  if (caps.CanSet(scroll) && differs(scroll, cur.nScrollLines == s.nScrollLines))
    p.SetScrollLines(s.nScrollLines);
  const bool enhance = s.bEnhancePrecision == 1;
  if (caps.CanSet(kPointerPrecision) &&
      differs(kPointerPrecision, cur.bEnhancePrecision == enhance))
    p.SetAcceleration(enhance);
  if (caps.CanSet(kPointerSpeed) &&
      differs(kPointerSpeed, cur.nPointerSpeed == s.nPointerSpeed))
    p.SetPointerSpeed(s.nPointerSpeed);
  if (caps.CanSet(kPointerTrails) && differs(kPointerTrails, cur.nTrails == s.nTrails))
    p.SetTrails(s.nTrails);
}

class Writer {
 public:
  Writer(CHidDev& dev, bool plus, ProfileFile& f, EventSink* progress, uint32_t msg,
         MacroLibrary* library)
      : dev_(dev), plus_(plus), f_(f), model_(*dev.pDevCfg), progress_(progress), msg_(msg),
        library_(library), goOn_(GetLinkOptions().bGoWithNoDev) {}

  // A step's result: false ends the run (unless failures are ignored).
  bool Ok(int r) { return r != 0 || goOn_; }
  void Post(int percent) {
    if (progress_) progress_->Post(msg_, uintptr_t(percent), 0);
  }

  bool Buttons(uint32_t data);
  bool Lights(uint32_t data);
  bool Dpi(uint32_t data);
  bool DpiColors(uint32_t data);
  bool Pair(uint32_t addr, int value) {
    SleepMs(10);
    return Ok(Write(dev_, addr, GuardedPair(uint8_t(value))));
  }
  bool Rate() {
    SleepMs(10);
    return Ok(WritePollingRate(dev_, f_.dwPollingRate, plus_));
  }

 private:
  CHidDev& dev_;
  const bool plus_;
  ProfileFile& f_;
  const DevCfg& model_;
  EventSink* progress_;
  const uint32_t msg_;
  MacroLibrary* library_;
  const bool goOn_;
};

bool Writer::Buttons(uint32_t data) {
  LogPrint("Set Key --------");
  uint32_t M[eeprom::kMatrixEntries] = {};
  const int table = std::clamp(f_.nKeyTable, 0, kKeyModes - 1);
  ModelKeyEnv env(&model_, library_);
  int requestedJ = -1;
  const int first = data == kAllItems ? 0 : int(data);
  const int last = data == kAllItems ? kMaxKeys - 1 : int(data);
  for (int b = first; b <= last && b < kMaxKeys; ++b) {
    const KeyInfo& key = f_.Key[table][b];
    const uint32_t k = key.nMatrix;
    if (k == 0) continue;
    if (k > uint32_t(eeprom::kMatrixEntries)) {
      LogPrint("Set Key: key %d has matrix index %u, skipped", b, k);
      continue;
    }
    const int j = int(k - 1);
    if (b == int(data)) requestedJ = j;
    const int64_t code = keyinfo_to_hardware_code(env, key);
    if (code < 0) {
      // No hardware form (a label-only function, a macro that is gone, a
      // combination that does not fit): the button is written as disabled.
      LogPrint("Set Key: key %d (0x%x) has no hardware code", b, key.dwFunID);
      M[j] = 0;
      continue;
    }
    M[j] = uint32_t(code) & 0xFFFFFF;
    if ((M[j] & 0xFF) == kHwMacro) {
      const auto macro = env.FindMacro(key.dwMacroID);
      if (!macro) continue;
      HdMacro rec;
      std::memset(&rec, 0, sizeof rec);
      const size_t n = BuildHdMacroRecord(*macro, rec, b, j);
      M[j] = (M[j] & ~0xFF00u) | uint32_t(j) << 8;
      if (!Ok(dev_.WriteEEPROM(eeprom::kMacro + eeprom::kMacroStride * uint32_t(j), rec.Bytes(),
                               int(n), 10)))
        return false;
      SleepMs(10);
    } else if ((M[j] & 0xFF) == kHwCombo) {
      uint8_t rec[kComboRecordSize] = {};
      const int n = KeyInfoToComboData(std::span<uint8_t>(rec, sizeof rec - 1), key);
      if (n <= 0) continue;
      rec[n] = GuardCheck(std::span<const uint8_t>(rec, size_t(n)));
      char title[64];
      std::snprintf(title, sizeof title, "key data(key=%d, MatrixInx=%d):", b, j);
      LogHex(rec, size_t(n + 1), 0, title);
      if (!Ok(dev_.WriteEEPROM(eeprom::kCombo + eeprom::kComboStride * uint32_t(j), rec, n + 1,
                               10)))
        return false;
      SleepMs(10);
    }
  }
  LogPrint("Matrix--------------------");
  for (int j = 0; j < eeprom::kMatrixEntries; ++j) LogPrint("Matrix[%d] = 0x%08x", j, M[j]);
  if (data == kAllItems) {
    if (!Ok(WriteKeyMatrix(dev_, kAllItems, M, eeprom::kMatrixEntries))) return false;
  } else if (requestedJ >= 0) {
    if (!Ok(WriteKeyMatrix(dev_, 1u << requestedJ, &M[requestedJ], 1))) return false;
  }
  Post(60);
  return true;
}

bool Writer::Lights(uint32_t data) {
  LogPrint("Set LED, inx=0x%x --------", data);
  if ((data & kLightMain) && model_.bShowMainEffect) {
    const LightSetting& l = f_.MainLight;
    if (plus_) {
      const int hw = MainHwModePlus(l.nMode);
      SleepMs(15);
      if (!Ok(Write(dev_, eeprom::kMainLightOn, GuardedPair(hw != 0 ? 1 : 0)))) return false;
      if (hw != 0) {
        SleepMs(15);
        if (!Ok(Write(dev_, eeprom::kMainLight, EncodeMainLightPlus(l)))) return false;
      }
    } else {
      SleepMs(10);
      if (MainHwModePro(l.nMode) == 4) {
        uint8_t cur[7] = {};
        if (!dev_.ReadROM(eeprom::kMainLight, cur, 7)) {
          if (!goOn_) return false;
        } else if (!Ok(Write(dev_, eeprom::kMainLight,
                             MainLightOffPro(std::span<const uint8_t, 7>(cur, 7))))) {
          return false;
        }
      } else if (!Ok(Write(dev_, eeprom::kMainLight, EncodeMainLightPro(l)))) {
        return false;
      }
    }
  }
  if ((data & kLightDpi) && model_.bShowDpiLED) {
    const DpiLightSetting& l = f_.DpiLight;
    if (plus_) {
      SleepMs(15);
      if (!Ok(Write(dev_, eeprom::kDpiLightOn, GuardedPair(l.nMode != 0 ? 1 : 0)))) return false;
      if (l.nMode != 0) {
        SleepMs(15);
        if (!Ok(Write(dev_, eeprom::kDpiLight, EncodeDpiLight(l)))) return false;
      }
    } else {
      SleepMs(10);
      if (l.nMode == 0) {
        if (!Ok(Write(dev_, eeprom::kDpiLight, GuardedPair(0)))) return false;
      } else if (!Ok(Write(dev_, eeprom::kDpiLight, EncodeDpiLight(l)))) {
        return false;
      }
    }
  }
  if ((data & kLightLogo) && model_.bShowLogoEffect) {
    const LightSetting& l = f_.LogoLight;
    SleepMs(plus_ ? 15 : 10);
    if (l.nMode == 0) {
      if (!Ok(Write(dev_, eeprom::kLogoMode, GuardedPair(0)))) return false;
    } else if (!Ok(Write(dev_, eeprom::kLogo, EncodeLogoLight(l)))) {
      return false;
    }
  }
  return true;
}

bool Writer::Dpi(uint32_t data) {
  LogPrint("Set DPI --------");
  SleepMs(10);
  if (data == kAllItems) return Ok(WriteDpiLevels(dev_, kAllItems, f_.Dpi, model_.DpiLevels()));
  if (data >= uint32_t(kProfileDpiLevels)) return true;
  return Ok(WriteDpiLevels(dev_, ItemMask(data), f_.Dpi, 1));
}

bool Writer::DpiColors(uint32_t data) {
  LogPrint("Set DPI Color --------");
  uint32_t colors[kProfileDpiLevels] = {};
  int count = 0;
  uint32_t mask = kAllItems;
  if (data == kAllItems) {
    count = model_.DpiLevels();
    for (int i = 0; i < count; ++i) colors[i] = f_.Dpi[i].dwColor;
  } else if (data < uint32_t(kProfileDpiLevels)) {
    colors[0] = f_.Dpi[data].dwColor;
    count = 1;
    mask = ItemMask(data);
  } else {
    mask = 0;
  }
  SleepMs(10);
  if (!Ok(WriteDpiColors(dev_, mask, colors, count))) return false;
  Post(70);
  return true;
}

}  // namespace

int ApplySetting(CHidDev& dev, ProfileFile* pFile, EventSink* progress, uint32_t msg,
                 uint32_t flag, uint32_t data, MacroLibrary* library) {
  const bool plus = dev.IsPlus();
  LogPrint(plus ? "ApplySetting PRO+" : "ApplySetting PRO");
  const bool goOn = GetLinkOptions().bGoWithNoDev;
  if (!dev.pDevCfg || !pFile || pFile->dwID == 0 || (!dev.HasCmd() && !goOn)) return 0;
  ProfileFile& f = *pFile;
  const DevCfg& model = *dev.pDevCfg;
  Writer w(dev, plus, f, progress, msg, library);
  w.Post(20);

  if ((flag & kApplyButtons) && !w.Buttons(data)) return 0;
  if ((flag & kApplyLights) && !w.Lights(data)) return 0;
  if ((flag & kApplyDpi) && model.bShowDpi && !w.Dpi(data)) return 0;
  if ((flag & kApplyDpiColor) && model.bShowDpi && !w.DpiColors(data)) return 0;

  struct Single {
    uint32_t flag;
    uint32_t addr;
    int value;
  };
  const Single singles[] = {
      {kApplyLevelCount, eeprom::kLevels, f.nDpiLevels},
      {kApplyCurLevel, eeprom::kCurLevel, dev.nCurDpiLevel.load()},
      {kApplyLod, eeprom::kLod, f.nLOD},
      {kApplyFixLine, eeprom::kFixLine, f.nFixLine},
      {kApplyRipple, eeprom::kRipple, f.nRipple},
      {kApplyDebounce, eeprom::kDebounce, f.nDebounce},
      {kApplySleepTime, eeprom::kSleepTime, f.nSleepTime / 10},
      {kApplyRate, 0, 0},
      {kApplyLightOffOnMove, eeprom::kLightOffOnMove, f.bLightOffOnMove},
      {kApplyButtonOption, eeprom::kButtonOption, f.bButtonOption},
      {kApplyOption2, plus ? eeprom::kOptB9 : eeprom::kOptB7, f.nOption2},
      {kApplySensorSleep, plus ? eeprom::kOptB7 : eeprom::kOptB5, f.nSensorSleep},
  };
  for (const Single& s : singles) {
    if (!(flag & s.flag)) continue;
    if (s.flag == kApplyRate ? !w.Rate() : !w.Pair(s.addr, s.value)) return 0;
  }
  if (plus && (flag & kApplyOption3) && !w.Pair(eeprom::kOptB5, f.nOption3)) return 0;
  w.Post(80);

  if ((flag & kApplyPointer) && Cat().opt.ShowSys) {
    ApplyPointer(f.SysMouse, GetPointerSettings());
    w.Post(90);
  }
  if ((flag & kApplyCommit) && !w.Ok(dev.SendCMD(kCmdCommit, 0, nullptr))) return 0;
  if (progress) {
    w.Post(100);
    SleepMs(500);
  }
  return 1;
}

}  // namespace tolvane
