// Options of the device link read from cfg.ini [OPT] at start-up.
#pragma once

#include <cstdint>

namespace tolvane {

struct LinkOptions {
  int nRetry = 3;             // "Retry": request attempts per command
  bool bGoWithNoDev = false;  // "GoWithNoDev": device failures are ignored upstream
  uint32_t nSubDebug = 0;     // "SubDebug": bit 0 profile dumps, bit 1 input report dumps
};

// The options in force. Retry is never below 1: a command is always tried once.
LinkOptions GetLinkOptions();
void SetLinkOptions(const LinkOptions& options);

}  // namespace tolvane
