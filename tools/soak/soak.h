// The fault-injection soak: seeded runs of random user operations against
// one to four virtual mice that lose, delay, relabel and fail replies, send
// garbage, vanish and come back, or sleep behind their receiver.
//
// Each run builds the program's own machinery (discovery over the simulated
// transport, the profile session with its apply and read threads, the local
// stores and the macro library in a fresh user folder), performs the
// operations one after the other and checks after each one:
//   - it ended within its time bound;
//   - a success the program reported is true: the device's EEPROM holds the
//     values written, a profile read matches the EEPROM, a file written loads;
//   - no guarded pair, quad or light block of the EEPROM is left half written;
//   - every store, export and macro file in the user folder loads, and no
//     temporary file is left behind;
// and at the end of the run that every thread it started has been joined and
// every device handle closed.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tolvane::soak {

struct SoakOptions {
  int runs = 10;
  uint32_t seed = 1;      // run r uses seed + r
  int mice = 0;           // 1-4; 0 picks 1-4 per run
  int ops = 40;           // operations per run
  bool pacing = false;    // the writer's and reader's pauses between pieces
  int boundScale = 1;     // multiplies every time bound (sanitizer builds)
  bool verbose = false;   // one line per operation
  std::function<void(const std::string&)> out;  // report lines; empty: stdout
};

// What one run (or all of them) did and found.
struct SoakCounts {
  int runs = 0;
  int ops = 0;
  int failuresReported = 0;  // operations that reported failure
  std::map<std::string, int> faults;  // injected faults by kind
  int unidentified = 0;  // replugged mice connected only by a later scan
  std::vector<std::string> violations;

  void Add(const SoakCounts& o);
};

// One seeded run.
SoakCounts RunOnce(uint32_t seed, const SoakOptions& options);

// All runs, with a line per run and the totals.
SoakCounts RunSoak(const SoakOptions& options);

// "runs 3, operations 120, failures reported 17, faults dropped=4 ..., violations 0"
std::string Summary(const SoakCounts& c);

// Threads of this process (entries of /proc/self/task).
int ThreadCount();

}  // namespace tolvane::soak
