// Changes made on the mouse itself (WM_DEVICE_BEHAVIOR kinds 1, 2, 4, 5, 6):
// what the device reports, read off the caller's thread, and how it lands in
// the profile record. Kinds 3 (reset) and 7 (battery) belong to the session.
#pragma once

#include <cstdint>

#include "config/dev_cfg.h"
#include "profile/profile_file.h"

namespace tolvane {

class CHidDev;

struct BehaviorChange {
  int kind = 0;
  int value = 0;
  int level = -1;            // kind 1: the new current level
  uint32_t rate = 0;         // kind 2: the record's rate value; 0 for codes not known
  LightSetting light;        // kinds 4 and 5
  DpiLightSetting dpiLight;  // kind 6
};

// The record's rate value of a rate code the device reports (1, 2, 4, 8,
// 16, 32); 0 for other codes.
uint32_t RateFromBehaviorCode(int code);

// Reads what `kind` needs from the device (PRO+ reads level and rate from
// the EEPROM; the lights are always read). False when there is nothing to
// apply: another kind, a model without that light, or a failed read.
bool ReadBehavior(CHidDev& dev, const DevCfg& model, bool plus, int kind, int value,
                  BehaviorChange* out, int lightDelayMs = 15);

// Puts the change into the record. For kind 1 `*curLevel` gets the level
// when it is below the record's level count. True when something changed.
bool ApplyBehavior(const BehaviorChange& c, ProfileFile& f, int* curLevel);

}  // namespace tolvane
