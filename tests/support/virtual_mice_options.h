// The options of a program that a test runs on virtual mice.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "program/program.h"
#include "support/test_models.h"

namespace tolvane::test {

// The program with the data of `dataDir` and the user folder `userDir`, on the
// virtual mice of `specs`, without the single-instance lock, with discovery's
// fast timings and the power notice after 1 ms.
inline ProgramOptions VirtualMiceOptions(std::string dataDir, std::string userDir,
                                         std::vector<std::string> specs) {
  ProgramOptions o;
  o.dataDir = std::move(dataDir);
  o.userDir = std::move(userDir);
  o.singleInstance = false;
  o.simulate = std::move(specs);
  o.discovery = FastDiscoveryTimings();
  o.tuneSession = [](SessionOptions& s) { s.behaviorPowerDelayMs = 1; };
  return o;
}

}  // namespace tolvane::test
