#include "support/ctl_runner.h"

#include <sys/wait.h>

#include <chrono>
#include <cstdlib>

#include "support/temp_folder.h"

namespace tolvane::test {

std::string CtlCommand(const std::string& binaryDir, const std::string& dataDir,
                       const std::string& userDir) {
  return binaryDir + "bin/tolvanectl --data-dir '" + dataDir + "' --user-dir '" + userDir + "'";
}

CtlOutcome RunCommand(const std::string& commandLine, const std::string& scratchDir,
                      const std::string& input) {
  const std::string out = scratchDir + "/out", err = scratchDir + "/err";
  const std::string cmd = (input.empty() ? "" : "echo '" + input + "' | ") + commandLine + " >'" +
                          out + "' 2>'" + err + "'" + (input.empty() ? " </dev/null" : "");
  CtlOutcome r;
  const auto t0 = std::chrono::steady_clock::now();
  const int raw = std::system(cmd.c_str());
  r.ms = long(std::chrono::duration_cast<std::chrono::milliseconds>(
                  std::chrono::steady_clock::now() - t0)
                  .count());
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = ReadFileBytes(out);
  r.err = ReadFileBytes(err);
  return r;
}

}  // namespace tolvane::test
