#include "profile/device_behavior.h"

#include <chrono>
#include <thread>

#include "app/log.h"
#include "device/hid_dev.h"

namespace tolvane {

uint32_t RateFromBehaviorCode(int code) {
  switch (code) {
    case 1:
      return 0x1000;
    case 2:
      return 0x500;
    case 4:
      return 0x250;
    case 8:
      return 0x125;
    case 16:
      return 0x2000;
    case 32:
      return 0x4000;
    default:
      return 0;
  }
}

bool ReadBehavior(CHidDev& dev, const DevCfg& model, bool plus, int kind, int value,
                  BehaviorChange* out, int lightDelayMs) {
  BehaviorChange c;
  c.kind = kind;
  c.value = value;
  uint8_t b[10] = {};
  switch (kind) {
    case kBehaviorDpiLevel:
      c.level = value;
      if (plus) {
        if (!dev.ReadEEPROM(4, b, 2)) return false;
        c.level = b[0];
      }
      break;
    case kBehaviorRate: {
      int code = value;
      if (plus) {
        if (!dev.ReadEEPROM(0, b, 2)) return false;
        code = b[0];
      }
      c.rate = RateFromBehaviorCode(code);
      if (c.rate == 0) return false;
      break;
    }
    case kBehaviorMainLight:
      if (!model.bShowMainEffect) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(lightDelayMs));
      if (!dev.ReadEEPROM(0xA0, b, 9)) return false;
      EEPROM_To_MainRGB(std::span<const uint8_t, 8>(b, 8), c.light, false, plus);
      break;
    case kBehaviorLogoLight:
      if (!model.bShowLogoEffect) return false;
      if (!dev.ReadEEPROM(0x54, b, 10)) return false;
      EEPROM_To_LogoRGB(std::span<const uint8_t, 10>(b, 10), c.light);
      break;
    case kBehaviorDpiLight:
      if (!model.bShowDpiLED) return false;
      if (!dev.ReadEEPROM(0x4C, b, 8)) return false;
      EEPROM_To_DpiLight(std::span<const uint8_t, 8>(b, 8), c.dpiLight, plus);
      break;
    default:
      return false;
  }
  *out = c;
  return true;
}

bool ApplyBehavior(const BehaviorChange& c, ProfileFile& f, int* curLevel) {
  switch (c.kind) {
    case kBehaviorDpiLevel:
      if (c.level < 0 || c.level >= f.nDpiLevels) return false;
      if (curLevel) *curLevel = c.level;
      return true;
    case kBehaviorRate:
      if (c.rate == 0) return false;
      f.dwPollingRate = c.rate;
      return true;
    case kBehaviorMainLight:
      f.MainLight = c.light;
      return true;
    case kBehaviorLogoLight:
      f.LogoLight = c.light;
      return true;
    case kBehaviorDpiLight:
      f.DpiLight = c.dpiLight;
      return true;
    default:
      return false;
  }
}

}  // namespace tolvane
