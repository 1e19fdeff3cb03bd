// Large blocks of memory for stores that grow with their input. A block is whole pages from
// the system, asked to be backed by large pages where the system gives them on request, so
// that filling it costs one page fault per large page rather than one per 4 KiB.
#ifndef PLATFORM_STANDIN_MEMORY_H
#define PLATFORM_STANDIN_MEMORY_H

#include <cstddef>
#include <new>

// The size of a large page. Blocks are made of whole large pages.
constexpr size_t kStandinLargePage = size_t{2} << 20;

// `bytes` of memory aligned for any object, or null when the system has none to give. What
// the block holds past `bytes` up to its last large page costs memory only where it is used.
void* StandinAllocateLarge(size_t bytes);
// Gives back a block from StandinAllocateLarge, with the size it was asked for.
void StandinFreeLarge(void* block, size_t bytes);

// An allocator for containers that may grow large: from an eighth of a large page on, their
// memory is a large block.
template <typename T>
struct StandinLargeAllocator {
  using value_type = T;
  StandinLargeAllocator() = default;
  template <typename U>
  StandinLargeAllocator(const StandinLargeAllocator<U>&) {}  // NOLINT: rebinding

  T* allocate(size_t count) {
    const size_t bytes = count * sizeof(T);
    if (bytes < kStandinLargePage / 8) return static_cast<T*>(::operator new(bytes));
    void* block = StandinAllocateLarge(bytes);
    if (block == nullptr) throw std::bad_alloc();
    return static_cast<T*>(block);
  }
  void deallocate(T* items, size_t count) {
    const size_t bytes = count * sizeof(T);
    if (bytes < kStandinLargePage / 8) {
      ::operator delete(items);
    } else {
      StandinFreeLarge(items, bytes);
    }
  }
  friend bool operator==(const StandinLargeAllocator&, const StandinLargeAllocator&) {
    return true;
  }
  friend bool operator!=(const StandinLargeAllocator&, const StandinLargeAllocator&) {
    return false;
  }
};

#endif  // PLATFORM_STANDIN_MEMORY_H
