#include "standin_counted.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "standin_session.h"

namespace {

struct Breach {
  uint64_t serial;
  std::string line;
};

struct alignas(kStandinSlotSize) Slot {
  unsigned char storage[kStandinSlotSize];
};

}  // namespace

// Slots are never given back to the system, so a call on an object done with stays within
// the stand-in's memory. They are used again oldest-freed first, which keeps a freed object as
// it was for as long as possible, so that a release too many is seen on it.
struct StandinCountedPool {
  static StandinCountedPool& Get() { return *pool_; }
  static StandinCountedPool* const pool_;  // made before main, never destroyed

  static StandinCounted* At(Slot* slot) {
    return reinterpret_cast<StandinCounted*>(slot->storage + kStandinCountedOffset);
  }
  static std::string Line(const StandinCounted& counted) {
    const long references = counted.references();
    return "Quorvel stand-in: " + std::string(counted.interface_name()) + " of " +
           counted.document()->storage_name() +
           (references > 0 ? " still held at session end (" : " released too often (") +
           std::to_string(references) + ")";
  }

  void* Take() {
    while (first_free_ != nullptr) {
      StandinCounted* old = first_free_;
      first_free_ = old->next_free_;
      if (first_free_ == nullptr) last_free_ = nullptr;
      old->free_ = 0;
      if (old->references_ > 0) continue;  // taken up again after its last release
      if (old->references_ < 0 && old->session_ != 0) noted_.push_back({old->serial_, Line(*old)});
      return reinterpret_cast<char*>(old) - kStandinCountedOffset;
    }
    if (chunks_.empty() || used_ == kChunkSlots) {
      chunks_.push_back(std::make_unique<Slot[]>(kChunkSlots));
      used_ = 0;
    }
    return chunks_.back()[used_++].storage;
  }

  void Free(StandinCounted* counted) {
    if (counted->free_) return;
    counted->free_ = 1;
    counted->next_free_ = nullptr;
    (last_free_ != nullptr ? last_free_->next_free_ : first_free_) = counted;
    last_free_ = counted;
  }

  void Report(uint32_t session, std::ostream& errors) {
    std::vector<Breach> breaches;
    breaches.swap(noted_);
    for (const auto& chunk : chunks_) {
      const size_t count = chunk == chunks_.back() ? used_ : kChunkSlots;
      for (size_t i = 0; i < count; ++i) {
        StandinCounted* counted = At(&chunk[i]);
        if (counted->session_ != session) continue;
        if (counted->references_ != 0) breaches.push_back({counted->serial_, Line(*counted)});
        counted->session_ = 0;
      }
    }
    std::sort(breaches.begin(), breaches.end(),
              [](const Breach& a, const Breach& b) { return a.serial < b.serial; });
    for (const Breach& breach : breaches) errors << breach.line << std::endl;
  }

  static constexpr size_t kChunkSlots = 1024;
  std::vector<std::unique_ptr<Slot[]>> chunks_;
  size_t used_ = 0;                       // slots in use in the last chunk
  StandinCounted* first_free_ = nullptr;  // freed longest ago
  StandinCounted* last_free_ = nullptr;
  std::vector<Breach> noted_;  // releases too many seen on objects whose slot is used again
  uint64_t made_ = 0;
  uint32_t sessions_ = 0;
  uint32_t current_ = 0;  // the number of the session that exists, or 0
};

StandinCountedPool* const StandinCountedPool::pool_ = new StandinCountedPool;

StandinCounted::StandinCounted(const char* interface_name, StandinDocument* document)
    : session_(StandinCountedPool::Get().current_),
      free_(0),
      serial_(++StandinCountedPool::Get().made_),
      interface_name_(interface_name),
      document_(document) {}

void StandinCounted::Free() { StandinCountedPool::Get().Free(this); }

void* TakeStandinSlot() { return StandinCountedPool::Get().Take(); }

uint32_t StartStandinSession() {
  uint32_t& sessions = StandinCountedPool::Get().sessions_;
  sessions = sessions % 0x7fffffff + 1;  // never 0, which stands for none
  StandinCountedPool::Get().current_ = sessions;
  return sessions;
}

void ReportStandinReferences(uint32_t number, std::ostream& errors) {
  StandinCountedPool::Get().Report(number, errors);
  if (StandinCountedPool::Get().current_ == number) StandinCountedPool::Get().current_ = 0;
}
