// Large blocks go back to the system when freed, wherever they were made.
#include <gtest/gtest.h>

#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/memory_use.h"

namespace tolvane::platform {
namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TOLVANE_OWN_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TOLVANE_OWN_ALLOCATOR 1
#endif
#endif

TEST(MemoryUse, LargeBlocksAreMappedAndGivenBackEvenAfterOneWasFreed) {
#ifdef TOLVANE_OWN_ALLOCATOR
  GTEST_SKIP() << "the sanitizer's allocator replaces the system's";
#endif
  ReturnLargeBlocksWhenFreed();
  const size_t picture = 1070 * 750 * 4;
  // Without the setting, freeing this one would raise the allocator's
  // threshold above a picture's size.
  std::free(std::malloc(picture));
  for (int round = 0; round < 2; ++round) {
    const size_t mappedBefore = mallinfo2().hblkhd;
    void* block = nullptr;
    // Made on another thread, freed here: as a decoded picture is.
    std::thread([&] {
      block = std::malloc(picture);
      std::memset(block, 1, picture);
    }).join();
    EXPECT_GE(mallinfo2().hblkhd, mappedBefore + picture);
    std::free(block);
    EXPECT_EQ(mallinfo2().hblkhd, mappedBefore);
  }
}

}  // namespace
}  // namespace tolvane::platform
