#include "platform/memory_use.h"

#include <malloc.h>

namespace tolvane::platform {

void ReturnLargeBlocksWhenFreed() {
  // A fixed threshold also stops the allocator from raising it after the
  // first large block is freed (which would keep the later ones on its lists).
  mallopt(M_MMAP_THRESHOLD, kLargeBlockBytes);
}

}  // namespace tolvane::platform
