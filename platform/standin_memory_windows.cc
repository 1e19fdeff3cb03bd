#include <windows.h>

#include "standin_memory.h"

// Large pages on Windows need a privilege that users rarely hold; committed pages serve.
void* StandinAllocateLarge(size_t bytes) {
  return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void StandinFreeLarge(void* block, size_t) {
  if (block != nullptr) VirtualFree(block, 0, MEM_RELEASE);
}
