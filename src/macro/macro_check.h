// The rules a macro must keep before it may enter the library or go to a
// button: every key event names a key or mouse button the mouse knows, no
// delay is longer than the mouse can wait, the repeat count and play mode are
// ones the editor offers. Macro files, the macros of a profile export and the
// library scan all use the same check.
#pragma once

#include <cstdint>
#include <string>

#include "records/st_macro.h"

namespace tolvane {

constexpr uint32_t kMaxEventDelay = 65535;  // ms the mouse can wait after an event
constexpr uint16_t kMaxMacroRepeat = 250;   // repeat counts the editor offers
constexpr uint32_t kMaxLoopMode = 2;        // 0 repeat, 1 and 2 the two loop modes

enum class MacroFault {
  None,
  UnknownKey,     // a key or mouse code no key has (or the wheel)
  UnknownFlag,    // an event that is neither press, release nor move
  LongDelay,      // a delay above kMaxEventDelay
  BigRepeat,      // a repeat count above kMaxMacroRepeat
  UnknownMode,    // a play mode the editor does not offer
  TooManyEvents,  // more events than the mouse keeps
};

struct MacroCheck {
  MacroFault fault = MacroFault::None;
  int event = -1;  // the event at fault, -1 for the play settings
  bool Ok() const { return fault == MacroFault::None; }
};

// Checks the events (up to the end of the list) and the play settings. The
// magic number is not looked at.
MacroCheck CheckMacro(const StMacro& macro);

// One line for the log: "event 3: key code 0x1ff" and the like.
std::string DescribeMacroFault(const StMacro& macro, const MacroCheck& check);

}  // namespace tolvane
