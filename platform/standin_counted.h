// The interface objects that the stand-in hands to the program, with the references the
// program holds on each. An object is made holding the one reference that goes to whoever
// asked for it. At its last release it is done with: its storage goes back to a pool and is
// used again for a later object, so memory follows the objects held, not the objects ever
// made. Until it is used again, a release too many is still seen; the session's end reports
// every object of the session still held or released too often.
#ifndef PLATFORM_STANDIN_COUNTED_H
#define PLATFORM_STANDIN_COUNTED_H

#include <cstddef>
#include <new>
#include <ostream>
#include <utility>

class CATSession;
class StandinDocument;
struct StandinSlot;

class StandinCounted {
 public:
  StandinCounted(const char* interface_name, StandinDocument* document);
  StandinCounted(const StandinCounted&) = delete;
  StandinCounted& operator=(const StandinCounted&) = delete;
  virtual ~StandinCounted() = default;

  unsigned long Obtain();
  // At the last reference the object is done with, and its storage is free for another.
  unsigned long Give();

  long references() const { return references_; }
  const char* interface_name() const { return interface_name_; }
  StandinDocument* document() const { return document_; }

 private:
  friend struct StandinCountedPool;
  friend void SettleStandinCounted(StandinSlot* slot, StandinCounted* made);
  long references_ = 1;
  const char* interface_name_;
  StandinDocument* document_;
  CATSession* session_;    // the session it was made in; null once that session has ended
  unsigned long serial_;   // the order of making, for the report
  StandinSlot* slot_ = nullptr;
};

// Room for the largest interface object.
constexpr size_t kStandinSlotSize = 96;

struct StandinSlot {
  alignas(std::max_align_t) unsigned char storage[kStandinSlotSize];
  StandinCounted* occupant = nullptr;  // the object made here last, done with or not
  bool free = false;
};

// A slot for a new object: the one freed longest ago, or a new one.
StandinSlot* TakeStandinSlot();
void SettleStandinCounted(StandinSlot* slot, StandinCounted* made);

// Makes a `T` (a StandinCounted and an interface) in a slot of the pool.
template <typename T, typename... Args>
T* MakeStandinCounted(Args&&... args) {
  static_assert(sizeof(T) <= kStandinSlotSize, "a slot holds any interface object");
  StandinSlot* slot = TakeStandinSlot();
  T* made = new (slot->storage) T(std::forward<Args>(args)...);
  SettleStandinCounted(slot, made);
  return made;
}

// At the end of `session`: one line on `errors` for each of its objects still held or
// released too often, in the order they were made. Objects still held stay valid for their
// holders, whose last release still frees them.
void ReportStandinReferences(CATSession* session, std::ostream& errors);

#endif  // PLATFORM_STANDIN_COUNTED_H
