// The stand-in's common body of the platform's value lists: positions run from 1 to Size().
// A position outside that range is a programming error and aborts the process, as the
// platform's own lists stop on one.
#ifndef PLATFORM_STANDIN_LIST_H
#define PLATFORM_STANDIN_LIST_H

#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "standin_memory.h"

template <typename T>
class StandinList {
 public:
  int Size() const { return static_cast<int>(items_.size()); }
  // Appends a copy of `item` and returns its position.
  int Append(const T& item) {
    if (items_.capacity() == 0) items_.reserve(4);  // most lists stay short
    items_.push_back(item);
    return Size();
  }
  int Append(T&& item) {
    if (items_.capacity() == 0) items_.reserve(4);  // most lists stay short
    items_.push_back(std::move(item));
    return Size();
  }
  void RemoveAll() { items_.clear(); }
  T& operator[](int position) { return items_[Index(position)]; }
  const T& operator[](int position) const { return items_[Index(position)]; }

 protected:
  std::vector<T, StandinLargeAllocator<T>> items_;

 private:
  size_t Index(int position) const {
    if (position < 1 || position > Size()) {
      std::fprintf(stderr, "list position %d outside 1..%d\n", position, Size());
      std::abort();
    }
    return static_cast<size_t>(position - 1);
  }
};

#endif  // PLATFORM_STANDIN_LIST_H
