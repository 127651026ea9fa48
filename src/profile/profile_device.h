// Reading a profile from the device's EEPROM and writing one back, on a
// connected device object (CDevPro or CDevProPlus; CHidDev::IsPlus selects
// the PRO+ map and light encodings), and their four EEPROM writers.
#pragma once

#include <cstdint>
#include <optional>

#include "profile/key_env.h"
#include "profile/profile_file.h"

namespace tolvane {

class CHidDev;
class EventSink;
class MacroLibrary;
struct DevCfg;

// ApplySetting flag groups.
enum : uint32_t {
  kApplyButtons = 0x1,
  kApplyLights = 0x2,
  kApplyDpi = 0x4,
  kApplyPointer = 0x8,
  kApplyCurLevel = 0x10,
  kApplyRate = 0x20,
  kApplyDpiColor = 0x40,
  kApplyLevelCount = 0x80,
  kApplyCommit = 0x100,
  kApplyLod = 0x200,
  kApplyFixLine = 0x400,
  kApplyRipple = 0x800,
  kApplyDebounce = 0x1000,
  kApplyButtonOption = 0x2000,
  kApplySleepTime = 0x4000,
  kApplyLightOffOnMove = 0x10000,
  kApplyOption2 = 0x20000,
  kApplySensorSleep = 0x40000,
  kApplyOption3 = 0x80000,  // PRO+ only
};
// Parts of the lighting group (nData bits).
enum : uint32_t { kLightLogo = 1, kLightMain = 2, kLightDpi = 4 };
constexpr uint32_t kAllItems = 255;

// The pauses that pace the device between writes and reads (on by default).
// Tests of the decoding switch them off.
void SetProfilePacing(bool on);
bool ProfilePacing();
// Sleeps `ms` when pacing is on.
void ProfilePause(int ms);

// Reads the device's active profile into `file` (settings, buttons, and the
// device's macros merged into `library`, which may be null). 1 or 0.
int GetProfile(CHidDev& dev, ProfileFile* file, MacroLibrary* library);
// Writes the groups `flag` (kApply...) of `file`, item `data` (kAllItems for
// all), posting percent `msg` to `progress` (may be null); `library` supplies
// the macros of macro buttons (null: none). 1 or 0.
int ApplySetting(CHidDev& dev, ProfileFile* file, EventSink* progress, uint32_t msg,
                 uint32_t flag, uint32_t data, MacroLibrary* library = nullptr);

int WriteKeyMatrix(CHidDev& dev, uint32_t mask, const uint32_t* codes, int count);
int WriteDpiLevels(CHidDev& dev, uint32_t mask, const DpiLevel* levels, int count);
int WriteDpiColors(CHidDev& dev, uint32_t mask, const uint32_t* colors, int count);
int WritePollingRate(CHidDev& dev, uint32_t rate, bool plus);

// The key-code environment of a model: the macro library plus the sniper
// positions of the model's sensor table.
class ModelKeyEnv : public LibraryKeyEnv {
 public:
  ModelKeyEnv(const DevCfg* model, const MacroLibrary* library)
      : LibraryKeyEnv(library), model_(model) {}
  int SniperCode(uint32_t position) const override;
  int SniperPosition(uint8_t code) const override;
  int DpiAt(uint32_t position) const override;

 private:
  const DevCfg* model_;
};

// The DPI value of the sensor's table nearest to `dpi` (the first of two
// equally near); nullopt when the sensor has no table.
std::optional<int> SnapDpi(uint32_t sensor, int dpi);

}  // namespace tolvane
