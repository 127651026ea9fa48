// One function per setting that the pages and `tolvanectl set` change. Each
// checks the value against the model's rules, and only when it passes
// changes the record and returns the write request (flag group and item,
// ApplySetting's nFlag/nData); otherwise it leaves the record alone and
// returns a refusal. Callers run them under the store's lock (Program::Edit)
// and decide whether to request the write (cfg.ini ApplyNow).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "config/dev_cfg.h"
#include "records/key_info.h"
#include "profile/profile_file.h"

namespace tolvane {

class MacroLibrary;

// What an edit needs to know about the device besides the record.
struct EditModel {
  const DevCfg* model = nullptr;
  bool plus = false;                      // PRO+ (its rate table, its lights)
  const MacroLibrary* library = nullptr;  // for button functions
};

struct EditResult {
  bool ok = false;
  uint32_t flag = 0;  // the write request
  uint32_t item = 0;
  std::optional<int> curDpiLevel;  // the device's current level becomes this
  // A refusal: the language text id when the program has one, else empty,
  // and the English text.
  std::string textId;
  std::string text;
  std::string note;  // a remark on a value that was adjusted (snapping)
};

EditResult EditRefused(std::string text, std::string textId = {});

// DPI of level `level` (0-based). A value the sensor's rule defines is kept
// (formula sensors reach values between their table entries); any other
// snaps to the nearest table value, and the note says so.
EditResult EditDpi(ProfileFile& f, const EditModel& m, int level, int x, int y);
EditResult EditDpiColor(ProfileFile& f, const EditModel& m, int level, uint32_t bgr);
// The number of levels in use. A current level (`curLevel`, 0-based, -1
// unknown) beyond the new count becomes the last level in use, and is written
// with it.
EditResult EditLevelCount(ProfileFile& f, const EditModel& m, int count, int curLevel = -1);
// X/Y separation. Turning it off gives every level Y = X; all levels are
// written.
EditResult EditDpiMode(ProfileFile& f, const EditModel& m, bool separate);
// The current level (0-based) among the levels in use.
EditResult EditCurrentLevel(ProfileFile& f, const EditModel& m, int level);
EditResult EditRate(ProfileFile& f, const EditModel& m, int hz);
EditResult EditLiftOff(ProfileFile& f, const EditModel& m, int lod);  // 1 or 2
EditResult EditRipple(ProfileFile& f, const EditModel& m, bool on);
EditResult EditAngleSnapping(ProfileFile& f, const EditModel& m, bool on);
EditResult EditDebounce(ProfileFile& f, const EditModel& m, int ms);    // 0-255
EditResult EditSleep(ProfileFile& f, const EditModel& m, int seconds);  // tens, up to 2550
EditResult EditLightOffOnMove(ProfileFile& f, const EditModel& m, bool on);
EditResult EditSensorSleep(ProfileFile& f, const EditModel& m, int value);  // 0-255

// A light: `part` kLightMain, kLightLogo or kLightDpi; speed and brightness
// < 0 keep the record's; colour absent keeps it (the DPI light has none).
struct LightEdit {
  uint32_t part = 0;
  int mode = 0;
  std::optional<uint32_t> color;
  int speed = -1;
  int brightness = -1;
};
EditResult EditLight(ProfileFile& f, const EditModel& m, const LightEdit& e);
// The lighting page's one colour: the main and the logo light, each that the
// model has, take it with their effects kept, and both are written.
EditResult EditLightColor(ProfileFile& f, const EditModel& m, uint32_t bgr);

// Button `button` (0-based) of the current key table gets `key` (its matrix
// index is filled in). At least one of the buttons the model has stays a
// left click; a damaged macro is refused.
EditResult EditButton(ProfileFile& f, const EditModel& m, int button, KeyInfo key);
// The refusal of a macro that may go to no button (a damaged library macro,
// see MacroLibrary::IsDamaged); empty when macro `id` is not damaged.
std::string DamagedMacroRefusal(const MacroLibrary& library, uint32_t id);
// Whether button `button` may take `fun`: `fun` is a left click, or another of
// the first `shown` buttons keeps one (entries past the model's buttons count
// for nothing).
bool KeepsLeftClick(const KeyInfo (&keys)[kMaxKeys], int shown, int button, uint32_t fun);
// The sensor switch of the 13205 sensor.
EditResult EditButtonOption(ProfileFile& f, const EditModel& m, bool on);

// Every button of the three key tables whose macro is no longer in the
// library gets the model's default assignment back (after a macro was
// deleted), and all buttons are to be written. Refused, changing nothing,
// when no button lost its macro.
EditResult EditDropMissingMacros(ProfileFile& f, const EditModel& m);

// The pointer settings kept in the profile.
EditResult EditPointer(ProfileFile& f, const EditModel& m, const SysMouseSettings& s);

}  // namespace tolvane
