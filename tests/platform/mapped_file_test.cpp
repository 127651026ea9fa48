#include "platform/mapped_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>

#include "app/atomic_file.h"
#include "support/temp_folder.h"

namespace tolvane::platform {
namespace {

TEST(MappedFile, MapsARegularFileWholeAndRefusesEverythingElse) {
  test::TempFolder dir;
  const std::string path = dir.Write("a.bin", "0123456789");
  auto file = MappedFile::Open(path, 10);
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(file->Size(), 10u);
  EXPECT_EQ(std::memcmp(file->Data(), "0123456789", 10), 0);
  char part[8] = {};
  EXPECT_EQ(file->Read(6, part, sizeof part), 4u);  // no further than the end
  EXPECT_EQ(std::string(part, 4), "6789");
  EXPECT_EQ(file->Read(10, part, 1), 0u);
  // Larger than allowed, empty, missing, a folder, a FIFO (the open must not
  // wait for a writer): none is mapped.
  EXPECT_EQ(MappedFile::Open(path, 9), nullptr);
  EXPECT_EQ(MappedFile::Open(dir.Write("empty", ""), 10), nullptr);
  EXPECT_EQ(MappedFile::Open(dir.Path("missing"), 10), nullptr);
  EXPECT_EQ(MappedFile::Open(dir.Root(), 1 << 20), nullptr);
  ASSERT_EQ(::mkfifo(dir.Path("fifo").c_str(), 0600), 0);
  EXPECT_EQ(MappedFile::Open(dir.Path("fifo"), 10), nullptr);
  // A file replaced the program's way (a new file renamed over it) leaves
  // the mapping as it was.
  ASSERT_EQ(WriteFileReplacing(path, "abc", 3), 0);
  EXPECT_EQ(std::memcmp(file->Data(), "0123456789", 10), 0);
}

}  // namespace
}  // namespace tolvane::platform
