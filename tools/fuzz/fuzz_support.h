// Helpers shared by the fuzz targets: splitting one input into parts, a
// private scratch folder, and a log that formats every entry but keeps none.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "app/log.h"
#include "support/temp_folder.h"

namespace tolvane::fuzz {

// Parts of one input are separated by this line, so a seed can be written by hand.
inline constexpr std::string_view kSeparator = "\n----\n";

inline std::vector<std::string_view> SplitParts(const uint8_t* data, size_t size, size_t maxParts) {
  std::vector<std::string_view> parts;
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  while (parts.size() + 1 < maxParts) {
    size_t at = rest.find(kSeparator);
    if (at == std::string_view::npos) break;
    parts.push_back(rest.substr(0, at));
    rest.remove_prefix(at + kSeparator.size());
  }
  parts.push_back(rest);
  return parts;
}

// Entries are formatted (so a bad format argument still shows) and dropped.
inline void QuietLog() {
  LogLevel = 1;
  SetDebugOutput([](std::string_view) {});
}

// A folder of this process below the temporary folder, emptied on request.
class Scratch {
 public:
  const std::filesystem::path& Dir() const { return dir_; }

  // Removes everything inside the folder, keeping the folder.
  void Clear() const {
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir_, ec))
      std::filesystem::remove_all(e.path(), ec);
  }

  static void Write(const std::filesystem::path& p, std::string_view bytes) {
    std::FILE* f = std::fopen(p.c_str(), "wb");
    if (!f) return;
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }

 private:
  test::TempFolder folder_{"fuzz"};
  std::filesystem::path dir_{folder_.Root()};
};

}  // namespace tolvane::fuzz
