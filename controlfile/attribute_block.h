// A record laid out in one block of memory: its identifier, its keys and values, and their
// texts. The builder gathers a record under the store's rules; the lists read what it built.
#ifndef CONTROLFILE_ATTRIBUTE_BLOCK_H
#define CONTROLFILE_ATTRIBUTE_BLOCK_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "CATString.h"
#include "controlfile/object_storage.h"

// The bytes at `text` up to its first NUL, at most `length`: how many a text keeps.
inline size_t TextLength(const char* text, size_t length) {
  const void* nul = std::memchr(text, '\0', length);
  return nul == nullptr ? length : static_cast<size_t>(static_cast<const char*>(nul) - text);
}

// A read-only list of texts, 1-based like the platform's lists: a record's keys or its values.
// A position outside 1..Size() aborts the process, as the platform's lists do.
class ZTRTextList {
 public:
  int Size() const { return items_ == nullptr ? 0 : static_cast<int>(items_[0] & kSizeBits); }
  // The text at `position`, NUL-terminated.
  const char* Text(int position) const;
  CATString operator[](int position) const { return CATString(Text(position)); }
  // Position of the first text equal to `text`, from 1; 0 when there is none.
  int Locate(const char* text) const;

 private:
  friend class AttributeBuilder;
  static constexpr uintptr_t kOnHeap = uintptr_t{1} << (sizeof(uintptr_t) * 8 - 1);
  static constexpr uintptr_t kSizeBits = kOnHeap - 1;

  // The size (with kOnHeap set in the values of a block on the heap), then the address of
  // each text.
  const uintptr_t* items_ = nullptr;
};

// Gathers one record: the identifier as read, each key upper-cased (ASCII letters), each value
// with blanks cut from both ends, then carriage returns from its end, and line feeds written
// "@EOL@". A key given again keeps its position and takes the new value. Reused record after
// record.
class AttributeBuilder {
 public:
  // Starts a record with the identifier of `length` bytes (no NUL among them).
  void Start(const char* identifier, size_t length);
  // An attribute as read or given: each text ends at its first NUL or after its length.
  // `line_feeds` is false for a value known to hold none, as a value read from a file.
  void Add(const char* key, size_t key_length, const char* value, size_t value_length,
           bool line_feeds = true);
  // An attribute already in stored form, from a block.
  void AddStored(const char* key, const char* value);

  // Lays the record out in one block and points the three parts into it. With `storage` the
  // block is the storage's, and records that have the same keys in the same order share one
  // list of keys there; otherwise the block is a new one on the heap, freed by Release.
  void Build(ObjectStorage* storage, const char** identifier, ZTRTextList* keys,
             ZTRTextList* values) const;

  // Frees the block of a record built on the heap, given its values.
  static void Release(const ZTRTextList& values);

 private:
  struct Entry {
    size_t key, key_length, value, value_length;  // offsets into text_
  };
  void Append(const char* key, size_t key_length, const char* value, size_t value_length,
              bool encode);
  // The entry whose key equals the `length` bytes at offset `key` of text_, or -1.
  long Find(size_t key, size_t length) const;
  // The storage's list of the record's keys, shared with recent records that have it.
  const uintptr_t* SharedKeys(ObjectStorage* storage) const;
  // Keeps index_ up to date with entries_ once there are many.
  void IndexLastEntry();

  // Room for `bytes` more after size_; where they go.
  char* Reserve(size_t bytes);

  // The identifier, then keys and values, each NUL-terminated.
  std::unique_ptr<char[]> text_;
  size_t size_ = 0;
  size_t capacity_ = 0;
  std::vector<Entry> entries_;
  // Open addressing over entries_ by key, for records with many keys; entry + 1, 0 free.
  std::vector<size_t> index_;
};

#endif  // CONTROLFILE_ATTRIBUTE_BLOCK_H
