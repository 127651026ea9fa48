#include "macro/macro_check.h"

#include <cstdio>

#include "macro/hd_macro.h"
#include "macro/macro_file.h"

namespace tolvane {

MacroCheck CheckMacro(const StMacro& m) {
  MacroCheck c;
  if (m.nLoopMode > kMaxLoopMode) {
    c.fault = MacroFault::UnknownMode;
    return c;
  }
  if (m.wRepeat > kMaxMacroRepeat) {
    c.fault = MacroFault::BigRepeat;
    return c;
  }
  const int n = MacroEventCount(m);
  if (n > kMaxMacroEvents) {
    c.fault = MacroFault::TooManyEvents;
    c.event = kMaxMacroEvents;
    return c;
  }
  for (int i = 0; i < n; ++i) {
    const MacroEvent& e = m.stEvents[i];
    c.event = i;
    if (e.dwDelay > kMaxEventDelay) {
      c.fault = MacroFault::LongDelay;
      return c;
    }
    if (e.wFlag == kEventMove) continue;  // x and y, any values
    if (e.wFlag != kEventPress && e.wFlag != kEventRelease) {
      c.fault = MacroFault::UnknownFlag;
      return c;
    }
    if (!MacroCodeHasKey(e.wCode)) {
      c.fault = MacroFault::UnknownKey;
      return c;
    }
  }
  c.event = -1;
  return c;
}

std::string DescribeMacroFault(const StMacro& m, const MacroCheck& c) {
  char line[128] = "";
  const MacroEvent* e = c.event >= 0 && c.event < kMacroEventSlots ? &m.stEvents[c.event] : nullptr;
  switch (c.fault) {
    case MacroFault::None: return "ok";
    case MacroFault::UnknownMode:
      std::snprintf(line, sizeof line, "play mode %u", m.nLoopMode);
      break;
    case MacroFault::BigRepeat:
      std::snprintf(line, sizeof line, "repeat count %u", unsigned(m.wRepeat));
      break;
    case MacroFault::TooManyEvents:
      std::snprintf(line, sizeof line, "more than %d events", kMaxMacroEvents);
      break;
    case MacroFault::LongDelay:
      std::snprintf(line, sizeof line, "event %d: delay %u ms", c.event, e ? e->dwDelay : 0u);
      break;
    case MacroFault::UnknownFlag:
      std::snprintf(line, sizeof line, "event %d: kind %u", c.event, e ? unsigned(e->wFlag) : 0u);
      break;
    case MacroFault::UnknownKey:
      std::snprintf(line, sizeof line, "event %d: key code 0x%x", c.event,
                    e ? unsigned(e->wCode) : 0u);
      break;
  }
  return line;
}

}  // namespace tolvane
