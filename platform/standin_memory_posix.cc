#include <sys/mman.h>

#include <cstdint>
#include <new>

#include "standin_memory.h"

// Under AddressSanitizer blocks come from the heap, where overflows are caught; mapped memory
// is not watched.
#if defined(__SANITIZE_ADDRESS__)
#define QUORVEL_BLOCKS_FROM_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUORVEL_BLOCKS_FROM_HEAP 1
#endif
#endif

#ifdef QUORVEL_BLOCKS_FROM_HEAP

void* StandinAllocateLarge(size_t bytes) { return ::operator new(bytes, std::nothrow); }

void StandinFreeLarge(void* block, size_t) { ::operator delete(block); }

#else

namespace {

// Blocks are whole large pages: the kernel backs with large pages only aligned whole ones.
size_t LargePages(size_t bytes) {
  return (bytes + kStandinLargePage - 1) & ~(kStandinLargePage - 1);
}

}  // namespace

// The block is mapped with a large page's worth to spare and trimmed to start on a large-page
// boundary.
void* StandinAllocateLarge(size_t bytes) {
  bytes = LargePages(bytes);
  const size_t mapped = bytes + kStandinLargePage;
  void* map = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (map == MAP_FAILED) return nullptr;
  const uintptr_t start = reinterpret_cast<uintptr_t>(map);
  const uintptr_t aligned = (start + kStandinLargePage - 1) & ~(kStandinLargePage - 1);
  if (aligned > start) munmap(map, aligned - start);
  const uintptr_t end = start + mapped;
  const uintptr_t block_end = aligned + bytes;
  if (end > block_end) munmap(reinterpret_cast<void*>(block_end), end - block_end);
  void* block = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
  madvise(block, bytes, MADV_HUGEPAGE);  // a hint: without large pages the block still works
#endif
  return block;
}

void StandinFreeLarge(void* block, size_t bytes) {
  if (block != nullptr) munmap(block, LargePages(bytes));
}

#endif
