#include "support/temp_folder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace tolvane::test {

TempFolder::TempFolder(const std::string& tag) {
  std::string pattern =
      (std::filesystem::temp_directory_path() / ("tolvane-" + tag + "-XXXXXX")).string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a folder like " + pattern);
  root_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ec;
  std::filesystem::remove_all(root_, ec);
}

std::string TempFolder::Path(const std::string& name) const { return root_ + "/" + name; }

std::string TempFolder::Write(const std::string& name, const std::string& bytes) const {
  const std::string path = Path(name);
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  return path;
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace tolvane::test
