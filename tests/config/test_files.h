// A scratch folder per test for the crafted files of the config tests.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace tolvane::test {

class ScratchDir {
 public:
  ScratchDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = std::filesystem::temp_directory_path() /
            ("tolvane-config-" + std::to_string(::getpid()) + "-" + info->test_suite_name() + "-" +
             info->name());
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() { std::filesystem::remove_all(path_); }

  // Writes `content` byte for byte to `name` and returns its path.
  std::string Write(const std::string& name, const std::string& content) const {
    std::string p = (path_ / name).string();
    std::ofstream(p, std::ios::binary) << content;
    return p;
  }
  std::string Path(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& Dir() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace tolvane::test
