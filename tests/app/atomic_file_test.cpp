#include "app/atomic_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "support/temp_folder.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::TempFolder;

int FilesIn(const std::string& dir) {
  int n = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir)) ++n;
  return n;
}

TEST(WriteFileReplacing, ReplacesTheWholeFileAndLeavesNoTemporaryFile) {
  TempFolder tmp("atomic");
  const std::string path = tmp.Write("a.dct", "old content that is longer");
  ASSERT_EQ(WriteFileReplacing(path, "new", 3), 0);
  EXPECT_EQ(ReadFileBytes(path), "new");
  EXPECT_EQ(FilesIn(tmp.Root()), 1);

  // An empty file is a file too.
  ASSERT_EQ(WriteFileReplacing(path, "", 0), 0);
  EXPECT_TRUE(fs::exists(path));
  EXPECT_EQ(fs::file_size(path), 0u);
}

TEST(WriteFileReplacing, MakesMissingFoldersOnlyWhenAsked) {
  TempFolder tmp("atomic");
  const std::string deep = tmp.Path("x/y/z.qxm");
  bool createFailed = false;
  EXPECT_EQ(WriteFileReplacing(deep, "m", 1, &createFailed, false), ENOENT);
  EXPECT_TRUE(createFailed);
  EXPECT_FALSE(fs::exists(tmp.Path("x")));

  EXPECT_EQ(WriteFileReplacing(deep, "m", 1, &createFailed), 0);
  EXPECT_FALSE(createFailed);
  EXPECT_EQ(ReadFileBytes(deep), "m");
}

// A rename that fails (here: the target is a folder) leaves the target as it
// was and takes its temporary file away.
TEST(WriteFileReplacing, AFailedReplaceLeavesNothingBehind) {
  TempFolder tmp("atomic");
  const std::string kept = tmp.Write("PRO_0101.dct/inside", "kept");
  bool createFailed = true;
  EXPECT_EQ(WriteFileReplacing(tmp.Path("PRO_0101.dct"), "lost", 4, &createFailed), EISDIR);
  EXPECT_FALSE(createFailed);
  EXPECT_EQ(ReadFileBytes(kept), "kept");
  EXPECT_EQ(FilesIn(tmp.Root()), 1);
}

TEST(WriteFileReplacing, StaleTemporaryFilesOfDeadProcessesAreRemoved) {
  TempFolder tmp("atomic");
  // A pid that cannot be running (above the kernel's limit), our own pid, a
  // name that is no temporary file, and a folder of a temporary name.
  const std::string dead = tmp.Write(".~99999999.0.mac.dct", "x");
  const std::string mine = tmp.Write(".~" + std::to_string(getpid()) + ".3.a.qxm", "x");
  const std::string other = tmp.Write("~1.0.keep", "x");
  fs::create_directories(tmp.Path(".~99999999.1.dir"));
  EXPECT_TRUE(RemoveIfStaleTemp(dead));
  EXPECT_TRUE(RemoveIfStaleTemp(mine));
  EXPECT_FALSE(RemoveIfStaleTemp(other));
  EXPECT_FALSE(RemoveIfStaleTemp(tmp.Path(".~99999999.1.dir")));
  EXPECT_FALSE(fs::exists(dead));
  EXPECT_FALSE(fs::exists(mine));
  EXPECT_TRUE(fs::exists(other));
}

}  // namespace
}  // namespace tolvane
