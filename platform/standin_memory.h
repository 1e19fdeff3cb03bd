// Large blocks of memory for stores that grow with their input. A block is whole pages from
// the system, asked to be backed by large pages where the system gives them on request, so
// that filling it costs one page fault per large page rather than one per 4 KiB.
#ifndef PLATFORM_STANDIN_MEMORY_H
#define PLATFORM_STANDIN_MEMORY_H

#include <cstddef>

// The size that large blocks are best made a multiple of.
constexpr size_t kStandinLargePage = size_t{2} << 20;

// `bytes` of memory aligned for any object, or null when the system has none to give.
void* StandinAllocateLarge(size_t bytes);
// Gives back a block from StandinAllocateLarge, with the size it was asked for.
void StandinFreeLarge(void* block, size_t bytes);

#endif  // PLATFORM_STANDIN_MEMORY_H
