// Test helpers of the stores: a temporary user folder, a model, texts.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "config/dev_cfg.h"
#include "records/st_macro.h"
#include "macro/hd_macro.h"
#include "profile/key_codes.h"
#include "profile/profile_store.h"
#include "support/temp_folder.h"
#include "support/test_models.h"

namespace tolvane::test {

// A temporary folder with a user data folder "user/" in it.
class TempDir {
 public:
  TempDir() { std::filesystem::create_directories(dir_); }
  const std::string& Dir() const { return dir_; }              // with trailing '/'
  const std::string& Root() const { return folder_.Root(); }  // holds Dir()

 private:
  TempFolder folder_{"store"};
  std::string dir_{folder_.Root() + "/user/"};
};

inline std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

inline void WriteAll(const std::string& path, const void* data, size_t len) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(static_cast<const char*>(data), std::streamsize(len));
}

inline TextFn TestTexts(std::map<std::string, std::string> extra = {}) {
  std::map<std::string, std::string> t = {
      {"tc_msg14", "Default"}, {"tc_msg35", "Profile"}, {"tc_tip2", "Cannot open"},
      {"tc_tip3", "Not a profile"}, {"tc_msg10", "Not connected"}, {"tc_msg15", "No device"},
      {"tc_adv_str15", "Busy"}, {"tc_msg12", "Please wait"}};
  for (auto& [k, v] : extra) t[k] = v;
  return [t](std::string_view id) {
    auto it = t.find(std::string(id));
    return it == t.end() ? std::string() : it->second;
  };
}

inline DevCfg TestModel(uint32_t cid = 0x0a, uint32_t mid = 0x31, uint32_t fw = 0) {
  return TenButtonModel(cid, mid, fw);
}

inline bool SameBytes(const ProfileFile& a, const ProfileFile& b) {
  return std::memcmp(&a, &b, sizeof(ProfileFile)) == 0;
}

}  // namespace tolvane::test
