// Blocks of the simulated global and local heaps, for leak checks in tests.
#pragma once
#include <cstddef>

namespace sim {
// Blocks from GlobalAlloc (and the system's own local allocations, such as
// FormatMessageA's) not yet freed.
size_t LiveGlobalBlocks();
// A block the system allocates for a caller to free with LocalFree.
void* LocalBlock(size_t bytes);
}  // namespace sim
