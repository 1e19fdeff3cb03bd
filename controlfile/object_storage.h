// The memory of an object store: its objects and their attribute texts are carved out of large
// chunks, freed all at once with the store, and each distinct key text is kept once.
#ifndef CONTROLFILE_OBJECT_STORAGE_H
#define CONTROLFILE_OBJECT_STORAGE_H

#include <cstddef>
#include <cstdint>
#include <vector>

// A hash of `length` bytes, for tables keyed by text.
inline uint64_t HashText(const char* text, size_t length) {
  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (size_t i = 0; i < length; ++i) {
    hash = (hash ^ static_cast<unsigned char>(text[i])) * 1099511628211ull;
  }
  return hash ^ (hash >> 29);
}

class ObjectStorage {
 public:
  ObjectStorage() = default;
  ~ObjectStorage();
  ObjectStorage(const ObjectStorage&) = delete;
  ObjectStorage& operator=(const ObjectStorage&) = delete;

  // `bytes` of uninitialised memory, aligned for any object of the store, valid while the
  // storage lives.
  void* Allocate(size_t bytes);

  // The storage's copy of the key text of `length` bytes (no NUL among them), NUL-terminated;
  // equal texts give the same copy.
  const char* InternKey(const char* key, size_t length);

  // Lists of keys that the latest records brought, newest first, null where there is none:
  // records tend to repeat the keys of the records just before them, and share their lists.
  static constexpr int kRecentKeyLists = 8;
  const uintptr_t* RecentKeys(int i) const { return recent_keys_[i]; }
  void AddRecentKeys(const uintptr_t* keys);

 private:
  void Rehash();

  struct Chunk {
    char* bytes;
    size_t large_bytes;  // the size of a large block, 0 for memory from new[]
  };
  std::vector<Chunk> chunks_;
  size_t chunk_ = 0;  // the size of the chunk last begun
  char* next_ = nullptr;
  char* end_ = nullptr;
  // Open addressing over the interned keys; null marks a free slot.
  std::vector<const char*> keys_;
  size_t key_count_ = 0;
  const uintptr_t* recent_keys_[kRecentKeyLists] = {};
};

#endif  // CONTROLFILE_OBJECT_STORAGE_H
