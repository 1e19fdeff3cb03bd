// The interface objects that the stand-in hands to the program, with the references the
// program holds on each. An object is made holding the one reference that goes to whoever
// asked for it. At its last release it is done with: its storage goes back to a pool and is
// used again for a later object, so memory follows the objects held, not the objects ever
// made. Until it is used again, a release too many is still seen; the session's end reports
// every object of the session still held or released too often.
#ifndef PLATFORM_STANDIN_COUNTED_H
#define PLATFORM_STANDIN_COUNTED_H

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <ostream>
#include <utility>

class CATSession;
class StandinDocument;

// The counting part of an interface object. An interface object is a class derived first from
// its interface (which holds nothing but its table of virtual functions) and then from this;
// it owns nothing, so that its storage can simply be used again.
class StandinCounted {
 public:
  StandinCounted(const char* interface_name, StandinDocument* document);
  StandinCounted(const StandinCounted&) = delete;
  StandinCounted& operator=(const StandinCounted&) = delete;
  // Made in the pool's slots only (MakeStandinCounted), never on the heap.
  static void* operator new(size_t size) = delete;
  static void* operator new(size_t, void* slot) { return slot; }

  unsigned long Obtain() { return static_cast<unsigned long>(++references_); }
  // At the last reference the object is done with, and its storage free for another.
  unsigned long Give() {
    if (--references_ == 0) Free();
    return references_ > 0 ? static_cast<unsigned long>(references_) : 0;
  }

  long references() const { return references_; }
  const char* interface_name() const { return interface_name_; }
  StandinDocument* document() const { return document_; }

 private:
  friend struct StandinCountedPool;
  void Free();

  int32_t references_ = 1;
  uint32_t session_ : 31;  // the number of the session it was made in; 0 once that has ended
  uint32_t free_ : 1;      // waiting in the pool to be used again
  uint64_t serial_;        // the order of making, for the report
  const char* interface_name_;
  StandinDocument* document_;
  StandinCounted* next_free_ = nullptr;  // the object freed after this one
};

// Every interface object fits one slot of the pool, a cache line, with its counting part
// right after its interface's table pointer.
constexpr size_t kStandinSlotSize = 64;
constexpr size_t kStandinCountedOffset = sizeof(void*);

// Storage for an object, taken from the pool.
void* TakeStandinSlot();

// Makes a `T` (derived from its interface, then from StandinCounted) in a slot of the pool.
template <typename T, typename... Args>
T* MakeStandinCounted(Args&&... args) {
  static_assert(sizeof(T) <= kStandinSlotSize, "a slot holds any interface object");
  static_assert(alignof(T) <= kStandinSlotSize, "a slot holds any interface object");
  T* made = new (TakeStandinSlot()) T(std::forward<Args>(args)...);
  if (reinterpret_cast<char*>(static_cast<StandinCounted*>(made)) !=
      reinterpret_cast<char*>(made) + kStandinCountedOffset) {
    std::abort();  // laid out otherwise than the pool takes it: a build problem
  }
  return made;
}

// The number of the session now made, for the objects made until it ends.
uint32_t StartStandinSession();

// At the end of the session `number`: one line on `errors` for each of its objects still held
// or released too often, in the order they were made. Objects still held stay valid for
// their holders, whose last release still frees them.
void ReportStandinReferences(uint32_t number, std::ostream& errors);

#endif  // PLATFORM_STANDIN_COUNTED_H
