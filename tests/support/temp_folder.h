// A scratch folder for one test (or one soak or fuzz run): made fresh under
// the system's temporary folder, removed with everything in it when the
// object goes.
#pragma once

#include <string>

namespace tolvane::test {

class TempFolder {
 public:
  // `tag` becomes part of the folder's name ("/tmp/tolvane-<tag>-XXXXXX").
  explicit TempFolder(const std::string& tag = "test");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder, without a trailing '/'.
  const std::string& Root() const { return root_; }
  // Root() + "/" + name.
  std::string Path(const std::string& name) const;
  // Writes `bytes` to Path(name), making the folders on the way; returns the
  // path.
  std::string Write(const std::string& name, const std::string& bytes) const;

 private:
  std::string root_;
};

// The whole content of a file; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);

}  // namespace tolvane::test
