// The fixture of the tests that run the built tolvanectl: a scratch folder
// holding the user folder "user", and tolvanectl run with it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/ctl_runner.h"
#include "support/temp_folder.h"

namespace tolvane::test {

class CtlFixture : public ::testing::Test {
 protected:
  CtlFixture() : tmp_("cli"), dir_(tmp_.Root()) {
    std::filesystem::create_directories(dir_ / "user");
  }

  // tolvanectl `args` on the bundled data folder; `input` is its standard input.
  CtlOutcome Exec(const std::string& args, const std::string& input = "") {
    return Run(TOLVANE_SOURCE_DATA_DIR, args, input);
  }
  // The same on the data folder `dataDir`.
  CtlOutcome ExecWithData(const std::string& args, const std::string& dataDir) {
    return Run(dataDir, args, "");
  }
  static std::string Slurp(const std::filesystem::path& p) { return ReadFileBytes(p.string()); }

  TempFolder tmp_;
  std::filesystem::path dir_;

 private:
  CtlOutcome Run(const std::string& dataDir, const std::string& args, const std::string& input) {
    const std::string ctl = CtlCommand(TOLVANE_BINARY_DIR, dataDir, (dir_ / "user").string());
    return RunCommand(ctl + " " + args, dir_.string(), input);
  }
};

}  // namespace tolvane::test
