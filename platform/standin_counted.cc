#include "standin_counted.h"

#include <algorithm>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "standin_session.h"

namespace {

struct Breach {
  unsigned long serial;
  std::string line;
};

std::string BreachLine(const StandinCounted& counted) {
  const long references = counted.references();
  return "Quorvel stand-in: " + std::string(counted.interface_name()) + " of " +
         counted.document()->storage_name() +
         (references > 0 ? " still held at session end (" : " released too often (") +
         std::to_string(references) + ")";
}

}  // namespace

// Slots are never given back to the system, so a call on an object done with stays within
// the stand-in's memory; they are used again oldest-freed first, which keeps a freed object
// as it was for as long as possible, so that a release too many is seen on it.
struct StandinCountedPool {
  static StandinCountedPool& Get() {
    static StandinCountedPool* pool = new StandinCountedPool;  // outlives every session
    return *pool;
  }

  StandinSlot* Take() {
    while (!free_.empty()) {
      StandinSlot* slot = free_.front();
      free_.pop_front();
      slot->free = false;
      StandinCounted* old = slot->occupant;
      if (old->references_ > 0) continue;  // taken up again after its last release
      if (old->references_ < 0 && old->session_ != nullptr) {
        noted_.push_back({old->serial_, BreachLine(*old)});
      }
      old->~StandinCounted();
      slot->occupant = nullptr;
      return slot;
    }
    if (chunks_.empty() || used_ == kChunkSlots) {
      chunks_.push_back(std::make_unique<StandinSlot[]>(kChunkSlots));
      used_ = 0;
    }
    return &chunks_.back()[used_++];
  }

  void Free(StandinSlot* slot) {
    if (slot->free) return;
    slot->free = true;
    free_.push_back(slot);
  }

  void Report(CATSession* session, std::ostream& errors) {
    std::vector<Breach> breaches;
    breaches.swap(noted_);
    for (const auto& chunk : chunks_) {
      const size_t count = chunk == chunks_.back() ? used_ : kChunkSlots;
      for (size_t i = 0; i < count; ++i) {
        StandinCounted* counted = chunk[i].occupant;
        if (counted == nullptr || counted->session_ != session) continue;
        if (counted->references_ != 0) breaches.push_back({counted->serial_, BreachLine(*counted)});
        counted->session_ = nullptr;
      }
    }
    std::sort(breaches.begin(), breaches.end(),
              [](const Breach& a, const Breach& b) { return a.serial < b.serial; });
    for (const Breach& breach : breaches) errors << breach.line << std::endl;
  }

  static constexpr size_t kChunkSlots = 1024;
  std::vector<std::unique_ptr<StandinSlot[]>> chunks_;
  size_t used_ = 0;  // slots in use in the last chunk
  std::deque<StandinSlot*> free_;
  std::vector<Breach> noted_;  // releases too many seen on slots used again
  unsigned long made_ = 0;
};

StandinCounted::StandinCounted(const char* interface_name, StandinDocument* document)
    : interface_name_(interface_name),
      document_(document),
      session_(CurrentStandinSession()),
      serial_(++StandinCountedPool::Get().made_) {}

unsigned long StandinCounted::Obtain() { return static_cast<unsigned long>(++references_); }

unsigned long StandinCounted::Give() {
  if (--references_ == 0 && slot_ != nullptr) StandinCountedPool::Get().Free(slot_);
  return references_ > 0 ? static_cast<unsigned long>(references_) : 0;
}

StandinSlot* TakeStandinSlot() { return StandinCountedPool::Get().Take(); }

void SettleStandinCounted(StandinSlot* slot, StandinCounted* made) {
  slot->occupant = made;
  made->slot_ = slot;
}

void ReportStandinReferences(CATSession* session, std::ostream& errors) {
  StandinCountedPool::Get().Report(session, errors);
}
