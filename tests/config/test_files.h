// A scratch folder per test for the crafted files of the config tests.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/temp_folder.h"

namespace tolvane::test {

class ScratchDir {
 public:
  // Writes `content` byte for byte to `name` and returns its path.
  std::string Write(const std::string& name, const std::string& content) const {
    return folder_.Write(name, content);
  }
  std::string Path(const std::string& name) const { return folder_.Path(name); }
  const std::filesystem::path& Dir() const { return path_; }

 private:
  TempFolder folder_{"config"};
  std::filesystem::path path_{folder_.Root()};
};

}  // namespace tolvane::test
