#include "controlfile/attribute_block.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

// A block on the heap: the values list, the keys list, the identifier, then each key and value
// text. A block of a storage: the values list, the identifier and the values; the keys list is
// the storage's, shared.

namespace {

// Up to this many keys, a key given again is found by comparing with each earlier key.
constexpr size_t kLinearKeys = 16;
// A builder that grew past this for one record gives its memory back afterwards.
constexpr size_t kKeptText = size_t{4} << 20;

const char kLineBreakMarker[] = "@EOL@";

// Copies `length` bytes, the ASCII letters a-z upper-cased, eight at a time where it can.
void CopyUpperCase(char* to, const char* from, size_t length) {
  constexpr uint64_t kEach = 0x0101010101010101ull;
  size_t i = 0;
  for (; i + 8 <= length; i += 8) {
    uint64_t word;
    std::memcpy(&word, from + i, 8);
    // A byte's top bit tells: at least "a", above "z", and below 0x80.
    const uint64_t low = word & (0x7f * kEach);
    const uint64_t from_a = low + (0x80 - 'a') * kEach;
    const uint64_t past_z = low + (0x80 - 'z' - 1) * kEach;
    const uint64_t lower_case = from_a & ~past_z & ~word & (0x80 * kEach);
    word ^= lower_case >> 2;  // 0x20 in each lower-case letter
    std::memcpy(to + i, &word, 8);
  }
  if (i < length && length >= 8) {
    CopyUpperCase(to + length - 8, from + length - 8, 8);  // upper-casing twice changes nothing
    return;
  }
  for (; i < length; ++i) {
    const char c = from[i];
    to[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  }
}

}  // namespace

const char* ZTRTextList::Text(int position) const {
  if (position < 1 || position > Size()) {
    std::fprintf(stderr, "list position %d outside 1..%d\n", position, Size());
    std::abort();
  }
  return reinterpret_cast<const char*>(items_[position]);
}

int ZTRTextList::Locate(const char* text) const {
  for (int i = 1, size = Size(); i <= size; ++i) {
    if (std::strcmp(reinterpret_cast<const char*>(items_[i]), text) == 0) return i;
  }
  return 0;
}

void AttributeBuilder::Start(const char* identifier, size_t length) {
  if (capacity_ > kKeptText) {
    text_.reset();
    capacity_ = 0;
  }
  size_ = 0;
  char* out = Reserve(length + 1);
  std::memcpy(out, identifier, length);
  out[length] = '\0';
  size_ = length + 1;
  entries_.clear();
  index_.clear();
}

char* AttributeBuilder::Reserve(size_t bytes) {
  if (capacity_ - size_ < bytes) {
    size_t capacity = capacity_ == 0 ? 4096 : capacity_;
    while (capacity - size_ < bytes) capacity *= 2;
    std::unique_ptr<char[]> grown(new char[capacity]);
    if (size_ > 0) std::memcpy(grown.get(), text_.get(), size_);
    text_ = std::move(grown);
    capacity_ = capacity;
  }
  return text_.get() + size_;
}

void AttributeBuilder::Add(const char* key, size_t key_length, const char* value,
                           size_t value_length, bool line_feeds) {
  // A key and value read from one line lie one after the other, and are searched at once.
  if (key + key_length + 1 != value ||
      std::memchr(key, '\0', key_length + 1 + value_length) != nullptr) {
    key_length = TextLength(key, key_length);
    value_length = TextLength(value, value_length);
  }
  // Blanks from both ends first, then carriage returns from the end: a blank before a
  // carriage return stays.
  size_t begin = 0;
  while (begin < value_length && value[begin] == ' ') ++begin;
  size_t end = value_length;
  while (end > begin && value[end - 1] == ' ') --end;
  while (end > begin && value[end - 1] == '\r') --end;
  Append(key, key_length, value + begin, end - begin,
         line_feeds && std::memchr(value + begin, '\n', end - begin) != nullptr);
}

void AttributeBuilder::AddStored(const char* key, const char* value) {
  Append(key, std::strlen(key), value, std::strlen(value), false);
}

void AttributeBuilder::Append(const char* key, size_t key_length, const char* value,
                              size_t value_length, bool encode) {
  const size_t marker_length = sizeof kLineBreakMarker - 1;
  char* out = Reserve(key_length + 2 + value_length * (encode ? marker_length : 1));
  const size_t key_at = size_;
  CopyUpperCase(out, key, key_length);
  out[key_length] = '\0';
  const long found = Find(key_at, key_length);
  // A key that is there already is not kept twice.
  const size_t value_at = found >= 0 ? key_at : key_at + key_length + 1;
  char* stored = text_.get() + value_at;
  size_t stored_length = value_length;
  if (encode) {
    stored_length = 0;
    for (size_t i = 0; i < value_length; ++i) {
      if (value[i] == '\n') {
        std::memcpy(stored + stored_length, kLineBreakMarker, marker_length);
        stored_length += marker_length;
      } else {
        stored[stored_length++] = value[i];
      }
    }
  } else {
    std::memcpy(stored, value, value_length);
  }
  stored[stored_length] = '\0';
  size_ = value_at + stored_length + 1;
  if (found >= 0) {
    entries_[static_cast<size_t>(found)].value = value_at;
    entries_[static_cast<size_t>(found)].value_length = stored_length;
    return;
  }
  // Stored field by field: a whole Entry built aside and copied makes the processor wait.
  entries_.emplace_back();
  Entry& entry = entries_.back();
  entry.key = key_at;
  entry.key_length = key_length;
  entry.value = value_at;
  entry.value_length = stored_length;
  IndexLastEntry();
}

const uintptr_t* AttributeBuilder::SharedKeys(ObjectStorage* storage) const {
  const size_t n = entries_.size();
  const char* text = text_.get();
  for (int r = 0; r < ObjectStorage::kRecentKeyLists; ++r) {
    const uintptr_t* keys = storage->RecentKeys(r);
    if (keys == nullptr) break;
    bool same = keys[0] == n;
    for (size_t i = 0; same && i < n; ++i) {
      same = std::strcmp(reinterpret_cast<const char*>(keys[i + 1]), text + entries_[i].key) == 0;
    }
    if (same) return keys;
  }
  uintptr_t* keys = static_cast<uintptr_t*>(storage->Allocate((n + 1) * sizeof(uintptr_t)));
  keys[0] = n;
  for (size_t i = 0; i < n; ++i) {
    keys[i + 1] = reinterpret_cast<uintptr_t>(
        storage->InternKey(text + entries_[i].key, entries_[i].key_length));
  }
  storage->AddRecentKeys(keys);
  return keys;
}

long AttributeBuilder::Find(size_t key, size_t length) const {
  const char* text = text_.get();
  const auto equal = [&](const Entry& e) {
    return e.key_length == length && std::memcmp(text + e.key, text + key, length) == 0;
  };
  if (index_.empty()) {
    for (size_t e = 0; e < entries_.size(); ++e) {
      if (equal(entries_[e])) return static_cast<long>(e);
    }
    return -1;
  }
  const size_t mask = index_.size() - 1;
  for (size_t slot = HashText(text + key, length) & mask; index_[slot] != 0;
       slot = (slot + 1) & mask) {
    if (equal(entries_[index_[slot] - 1])) return static_cast<long>(index_[slot] - 1);
  }
  return -1;
}

void AttributeBuilder::IndexLastEntry() {
  if (entries_.size() < kLinearKeys) return;
  const auto insert = [this](size_t e) {
    const size_t mask = index_.size() - 1;
    size_t slot = HashText(text_.get() + entries_[e].key, entries_[e].key_length) & mask;
    while (index_[slot] != 0) slot = (slot + 1) & mask;
    index_[slot] = e + 1;
  };
  if (2 * entries_.size() > index_.size()) {
    size_t size = 1;
    while (size < 4 * entries_.size()) size *= 2;
    index_.assign(size, 0);
    for (size_t e = 0; e < entries_.size(); ++e) insert(e);
  } else {
    insert(entries_.size() - 1);
  }
}

void AttributeBuilder::Build(ObjectStorage* storage, const char** identifier, ZTRTextList* keys,
                             ZTRTextList* values) const {
  const size_t n = entries_.size();
  const size_t identifier_bytes = std::strlen(text_.get()) + 1;
  size_t text_bytes = identifier_bytes;
  for (const Entry& e : entries_) {
    text_bytes += e.value_length + 1 + (storage == nullptr ? e.key_length + 1 : 0);
  }
  const size_t list_words = (storage == nullptr ? 2 : 1) * (n + 1);
  const size_t bytes = list_words * sizeof(uintptr_t) + text_bytes;
  uintptr_t* block = static_cast<uintptr_t*>(storage != nullptr ? storage->Allocate(bytes)
                                                                : ::operator new(bytes));
  uintptr_t* value_items = block;
  value_items[0] = n | (storage == nullptr ? ZTRTextList::kOnHeap : 0);
  char* out = reinterpret_cast<char*>(block + list_words);
  std::memcpy(out, text_.get(), identifier_bytes);
  *identifier = out;
  out += identifier_bytes;

  const uintptr_t* key_items = nullptr;
  if (storage == nullptr) {
    uintptr_t* own_keys = block + n + 1;
    own_keys[0] = n;
    for (size_t i = 0; i < n; ++i) {
      std::memcpy(out, &text_.get()[entries_[i].key], entries_[i].key_length + 1);
      own_keys[i + 1] = reinterpret_cast<uintptr_t>(out);
      out += entries_[i].key_length + 1;
    }
    key_items = own_keys;
  } else if (n > 0) {
    key_items = SharedKeys(storage);
  }
  for (size_t i = 0; i < n; ++i) {
    std::memcpy(out, &text_.get()[entries_[i].value], entries_[i].value_length + 1);
    value_items[i + 1] = reinterpret_cast<uintptr_t>(out);
    out += entries_[i].value_length + 1;
  }
  keys->items_ = key_items;
  values->items_ = value_items;
}

void AttributeBuilder::Release(const ZTRTextList& values) {
  if (values.items_ != nullptr && (values.items_[0] & ZTRTextList::kOnHeap) != 0) {
    ::operator delete(const_cast<uintptr_t*>(values.items_));
  }
}
