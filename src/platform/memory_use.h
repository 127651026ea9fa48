// How the process's memory allocator gives memory back to the system.
#pragma once

namespace tolvane::platform {

// Blocks of at least kLargeBlockBytes (the window's pictures, 2 to 3 MiB each)
// are mapped one by one and given back to the system when freed, instead of
// staying in the free lists of the thread that allocated them. A picture
// decoded on one thread and freed on another then leaves nothing behind.
// Called once at the start of the window program.
inline constexpr int kLargeBlockBytes = 256 * 1024;
void ReturnLargeBlocksWhenFreed();

}  // namespace tolvane::platform
