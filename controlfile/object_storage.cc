#include "controlfile/object_storage.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "standin_memory.h"

namespace {

// Chunks grow from the first size to the last, each twice the one before but the second, which
// is a large page: a small file costs little, a large one few chunks. Pages of a chunk that nothing
// uses cost no memory. Chunks of a large page or more are large blocks: filling them costs far
// fewer page faults, which would otherwise take more time than reading the file.
constexpr size_t kFirstChunk = size_t{64} << 10;
constexpr size_t kLastChunk = size_t{32} << 20;
// Everything the store keeps holds pointers at most.
constexpr size_t kAlignment = alignof(void*);

size_t Aligned(size_t bytes) { return (bytes + kAlignment - 1) & ~(kAlignment - 1); }

}  // namespace

ObjectStorage::~ObjectStorage() {
  for (const Chunk& chunk : chunks_) {
    if (chunk.large_bytes > 0) {
      StandinFreeLarge(chunk.bytes, chunk.large_bytes);
    } else {
      delete[] chunk.bytes;
    }
  }
}

void* ObjectStorage::Allocate(size_t bytes) {
  bytes = Aligned(bytes == 0 ? 1 : bytes);
  if (static_cast<size_t>(end_ - next_) < bytes) {
    const size_t chunk =
        chunk_ == 0 ? kFirstChunk : std::min(std::max(2 * chunk_, kStandinLargePage), kLastChunk);
    // A piece larger than an eighth of a chunk gets memory of its own, so that little is left
    // unused at a chunk's end.
    if (bytes > chunk / 8) {
      chunks_.push_back(Chunk{new char[bytes], 0});
      return chunks_.back().bytes;
    }
    if (chunk >= kStandinLargePage) {
      next_ = static_cast<char*>(StandinAllocateLarge(chunk));
      if (next_ == nullptr) throw std::bad_alloc();
      chunks_.push_back(Chunk{next_, chunk});
    } else {
      next_ = new char[chunk];
      chunks_.push_back(Chunk{next_, 0});
    }
    chunk_ = chunk;
    end_ = next_ + chunk_;
  }
  void* piece = next_;
  next_ += bytes;
  return piece;
}

const char* ObjectStorage::InternKey(const char* key, size_t length) {
  if (2 * (key_count_ + 1) > keys_.size()) Rehash();
  const size_t mask = keys_.size() - 1;
  for (size_t slot = HashText(key, length) & mask;; slot = (slot + 1) & mask) {
    const char* kept = keys_[slot];
    if (kept == nullptr) {
      char* copy = static_cast<char*>(Allocate(length + 1));
      std::memcpy(copy, key, length);
      copy[length] = '\0';
      keys_[slot] = copy;
      ++key_count_;
      return copy;
    }
    if (std::strncmp(kept, key, length) == 0 && kept[length] == '\0') return kept;
  }
}

void ObjectStorage::AddRecentKeys(const uintptr_t* keys) {
  for (int i = kRecentKeyLists - 1; i > 0; --i) recent_keys_[i] = recent_keys_[i - 1];
  recent_keys_[0] = keys;
}

void ObjectStorage::Rehash() {
  std::vector<const char*> old(keys_.empty() ? 64 : 2 * keys_.size(), nullptr);
  old.swap(keys_);
  const size_t mask = keys_.size() - 1;
  for (const char* kept : old) {
    if (kept == nullptr) continue;
    size_t slot = HashText(kept, std::strlen(kept)) & mask;
    while (keys_[slot] != nullptr) slot = (slot + 1) & mask;
    keys_[slot] = kept;
  }
}
