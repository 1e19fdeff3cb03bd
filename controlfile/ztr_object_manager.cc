#include "controlfile/ztr_object_manager.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "output/output.h"
#include "standin_unlocked_io.h"

namespace {

// The runtime's buffer for the control file: one read fills at most this much, and a read
// gives what there is, so a pipe is read as its writer writes.
constexpr size_t kInputBuffer = size_t{1} << 16;

// The control file opened for reading with `buffer` (kInputBuffer bytes, given: a runtime may
// ignore the size when it is to allocate the buffer itself), or null when it cannot be opened
// or read (a folder opens on some systems but gives no bytes).
FILE* OpenControlFile(const char* name, char* buffer) {
  FILE* file = std::fopen(name, "rb");
  if (file == nullptr) return nullptr;
  std::setvbuf(file, buffer, _IOFBF, kInputBuffer);
  const int first = std::getc(file);
  if (first == EOF && std::ferror(file)) {
    std::fclose(file);
    return nullptr;
  }
  if (first != EOF) std::ungetc(first, file);
  return file;
}

uint64_t IdentifierHash(const char* identifier, size_t length) {
  return HashText(identifier, length) >> 32;
}

// The slot's object position, and the slot's hash.
int Position(uint64_t slot) { return static_cast<int>(slot & 0xffffffffu); }
uint64_t Hash(uint64_t slot) { return slot >> 32; }

}  // namespace

// The objects live in Storage and everything they hold is in Storage too: they go with it,
// without touching each of them once more.
ZTRObjectManager::~ZTRObjectManager() = default;

bool ZTRObjectManager::ReadFile(const CATUnicodeString& file_name, ControlFileObserver* observer) {
  const std::unique_ptr<char[]> buffer(new char[kInputBuffer]);
  FILE* file = OpenControlFile(file_name.ConvertToChar(), buffer.get());
  if (file == nullptr) {
    ConsoleLine("ZTRObjectManager: Could not open file ", file_name.ConvertToChar());
    return false;
  }
  ControlFileReading reading;
  reading.storage = &Storage;
  reading.observer = observer;
  // Each record's reading takes the file's lock, at little cost while this holds it.
  StandinLockFile(file);
  ZTRObject* object = new (Storage.Allocate(sizeof(ZTRObject))) ZTRObject;
  while (object->ReadFromFile(file, &reading)) {
    Objects.Append(object);
    object = new (Storage.Allocate(sizeof(ZTRObject))) ZTRObject;
  }
  object->~ZTRObject();
  StandinUnlockFile(file);
  if (observer != nullptr && observer->WantsRest()) {
    std::vector<char> chunk(kInputBuffer);
    size_t n;
    do {
      n = std::fread(chunk.data(), 1, chunk.size(), file);
      if (n > 0) observer->OnBytes(chunk.data(), n);
    } while (n == chunk.size() && observer->WantsRest());
  }
  std::fclose(file);
  FirstWithIdentifier.clear();
  return true;
}

void ZTRObjectManager::IndexIdentifiers() const {
  size_t slots = 16;
  while (slots < 2 * static_cast<size_t>(Objects.Size())) slots *= 2;
  FirstWithIdentifier.assign(slots, 0);
  const size_t mask = slots - 1;
  for (int position = 1; position <= Objects.Size(); ++position) {
    const char* identifier = GetObject(position)->IdentifierText();
    const uint64_t hash = IdentifierHash(identifier, std::strlen(identifier));
    for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
      const uint64_t entry = FirstWithIdentifier[slot];
      if (entry == 0) {
        FirstWithIdentifier[slot] = hash << 32 | static_cast<uint32_t>(position);
        break;
      }
      if (Hash(entry) == hash &&
          std::strcmp(GetObject(Position(entry))->IdentifierText(), identifier) == 0) {
        break;  // an earlier object has this identifier
      }
    }
  }
}

const ZTRObject* ZTRObjectManager::FindObject(const CATString& identifier) const {
  const char* text = identifier.CastToCharPtr();
  // A text with a NUL inside is no record's identifier.
  const size_t length = static_cast<size_t>(identifier.GetLengthInChar());
  if (std::strlen(text) != length) return nullptr;
  if (FirstWithIdentifier.empty()) {
    if (Searched < static_cast<size_t>(Objects.Size())) {
      for (int i = 1; i <= Objects.Size(); ++i) {
        ++Searched;
        if (std::strcmp(GetObject(i)->IdentifierText(), text) == 0) return GetObject(i);
      }
      return nullptr;
    }
    IndexIdentifiers();
  }
  const uint64_t hash = IdentifierHash(text, length);
  const size_t mask = FirstWithIdentifier.size() - 1;
  for (size_t slot = hash & mask; FirstWithIdentifier[slot] != 0; slot = (slot + 1) & mask) {
    const uint64_t entry = FirstWithIdentifier[slot];
    if (Hash(entry) != hash) continue;
    const ZTRObject* object = GetObject(Position(entry));
    if (std::strcmp(object->IdentifierText(), text) == 0) return object;
  }
  return nullptr;
}

void ZTRObjectManager::Dump() const {
  for (int i = 1; i <= Objects.Size(); ++i) GetObject(i)->Dump();
}
