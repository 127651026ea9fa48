// Runs the built tolvanectl (or any command line) as a user's shell would,
// for the end-to-end tests and the soak.
#pragma once

#include <string>

namespace tolvane::test {

struct CtlOutcome {
  int status = -1;  // exit status; -1 when the program did not exit normally
  std::string out, err;
  long ms = 0;      // how long it ran
};

// "<binaryDir>bin/tolvanectl --data-dir '<dataDir>' --user-dir '<userDir>'".
std::string CtlCommand(const std::string& binaryDir, const std::string& dataDir,
                       const std::string& userDir);

// Runs `commandLine` (shell words, quoted by the caller) and waits for it.
// Its output and errors go through the files "out" and "err" of `scratchDir`;
// `input` is piped in as one line, and without input stdin is empty.
CtlOutcome RunCommand(const std::string& commandLine, const std::string& scratchDir,
                      const std::string& input = "");

}  // namespace tolvane::test
