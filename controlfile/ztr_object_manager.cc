#include "controlfile/ztr_object_manager.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "output/output.h"
#include "system/system.h"

bool ZTRObjectManager::ReadFile(const CATUnicodeString& file_name, ControlFileObserver* observer) {
  FILE* file = OpenForReading(file_name.ConvertToChar());
  // A folder opens on some systems but gives no bytes.
  const int first = file != nullptr ? std::getc(file) : EOF;
  if (file == nullptr || (first == EOF && std::ferror(file))) {
    if (file != nullptr) std::fclose(file);
    ConsoleLine("ZTRObjectManager: Could not open file ", file_name.ConvertToChar());
    return false;
  }
  if (first != EOF) std::ungetc(first, file);
  {
    ZTRObject::Reader reader(file, observer, true);
    ZTRObject record;
    while (reader.Read(&record)) objects_.emplace_back(record, &texts_);
  }  // the file is now just after the last line matched
  std::vector<char> rest(size_t{1} << 16);
  for (size_t n = rest.size(); observer != nullptr && n == rest.size() && observer->WantsRest();) {
    n = std::fread(rest.data(), 1, rest.size(), file);
    if (n > 0) observer->OnBytes(rest.data(), n);
  }
  std::fclose(file);
  by_hash_.clear();
  searched_ = 0;
  return true;
}

void ZTRObjectManager::ReadText(std::string_view text, ControlFileObserver* observer) {
  size_t taken = 0;
  {
    ZTRObject::Reader reader(text, observer);
    ZTRObject record;
    while (reader.Read(&record)) objects_.emplace_back(record, &texts_);
    taken = reader.Taken();
  }
  if (observer != nullptr && taken < text.size() && observer->WantsRest()) {
    observer->OnBytes(text.data() + taken, text.size() - taken);
  }
  by_hash_.clear();
  searched_ = 0;
}

const ZTRObject* ZTRObjectManager::GetObject(int position) const {
  if (position < 1 || position > Size()) {
    std::fprintf(stderr, "list position %d outside 1..%d\n", position, Size());
    std::abort();
  }
  return &objects_[static_cast<size_t>(position - 1)];
}

const ZTRObject* ZTRObjectManager::FindObject(const CATString& identifier) const {
  const char* wanted = identifier.CastToCharPtr();
  // A text with a NUL inside is no record's identifier.
  if (std::strlen(wanted) != static_cast<size_t>(identifier.GetLengthInChar())) return nullptr;
  const std::hash<std::string_view> hash;
  if (by_hash_.empty()) {
    if (searched_ < objects_.size()) {
      for (const ZTRObject& object : objects_) {
        ++searched_;
        if (std::strcmp(object.IdentifierText(), wanted) == 0) return &object;
      }
      return nullptr;
    }
    by_hash_.reserve(objects_.size());
    for (size_t i = 0; i < objects_.size(); ++i) {
      by_hash_.emplace_back(hash(objects_[i].IdentifierText()), i);
    }
    std::sort(by_hash_.begin(), by_hash_.end());
  }
  const size_t wanted_hash = hash(wanted);
  for (auto it = std::lower_bound(by_hash_.begin(), by_hash_.end(),
                                  std::make_pair(wanted_hash, size_t{0}));
       it != by_hash_.end() && it->first == wanted_hash; ++it) {
    if (std::strcmp(objects_[it->second].IdentifierText(), wanted) == 0)
      return &objects_[it->second];
  }
  return nullptr;
}

void ZTRObjectManager::Dump() const {
  for (const ZTRObject& object : objects_) object.Dump();
}
