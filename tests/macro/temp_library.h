// Test helper: a temporary user data folder with a macro library in it.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "macro/hd_macro.h"
#include "macro/macro_file.h"
#include "records/st_macro.h"
#include "support/temp_folder.h"
#include "support/test_models.h"

namespace tolvane::test {

class TempUserDir {
 public:
  TempUserDir() { std::filesystem::create_directories(dir_); }
  // The user data folder, with a trailing '/'.
  const std::string& Dir() const { return dir_; }
  // The library root (no trailing '/').
  std::string Mac() const { return dir_ + "Mac"; }
  // The folder that holds the user data folder: nothing may appear there.
  std::string Outside() const { return std::filesystem::path(dir_).parent_path().parent_path(); }

  // Every file below the outer temporary folder, relative to it.
  std::vector<std::string> AllFiles() const {
    std::vector<std::string> out;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(Outside(), ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      if (!it->is_directory()) out.push_back(std::filesystem::relative(it->path(), Outside()));
    }
    return out;
  }

 private:
  TempFolder folder_{"macro"};
  std::string dir_{folder_.Root() + "/user/"};
};

inline StMacro MakeMacro(std::string_view name, uint32_t id,
                         std::initializer_list<MacroEvent> events = {{0x41, 1, 10}, {0x41, 0, 0}}) {
  return TestMacro(name, id, events);
}

// Writes raw bytes to a file, creating its folders.
inline void WriteBytes(const std::string& path, const void* data, size_t len) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  std::fwrite(data, 1, len, f);
  std::fclose(f);
}

inline void WriteMacro(const std::string& path, const StMacro& m) {
  auto bytes = EncodeMacroFile(m);
  WriteBytes(path, bytes.data(), bytes.size());
}

inline StMacro ReadBack(const std::string& path) {
  MacroFileRead r = ReadMacroFile(path);
  return r.macro;
}

}  // namespace tolvane::test
