#include "controlfile/ztr_object_manager.h"

#include <sys/stat.h>

#include <cstdio>

#include "driver/output.h"

namespace {

// Opens the file for binary reading; a directory counts as a file that cannot be opened.
FILE* OpenControlFile(const char* name) {
  FILE* file = std::fopen(name, "rb");
  if (file == nullptr) return nullptr;
  struct stat info;
  if (fstat(fileno(file), &info) != 0 || S_ISDIR(info.st_mode)) {
    std::fclose(file);
    return nullptr;
  }
  return file;
}

}  // namespace

ZTRObjectManager::~ZTRObjectManager() {
  for (int i = 1; i <= Objects.Size(); ++i) delete static_cast<ZTRObject*>(Objects[i]);
}

bool ZTRObjectManager::ReadFile(const CATUnicodeString& file_name) {
  FILE* file = OpenControlFile(file_name.ConvertToChar());
  if (file == nullptr) {
    ConsoleLine("ZTRObjectManager: Could not open file ", file_name.ConvertToChar());
    return false;
  }
  auto* object = new ZTRObject;
  while (object->ReadFromFile(file)) {
    Objects.Append(object);
    object = new ZTRObject;
  }
  delete object;
  std::fclose(file);
  return true;
}

const ZTRObject* ZTRObjectManager::FindObject(const CATString& identifier) const {
  for (int i = 1; i <= Objects.Size(); ++i) {
    const ZTRObject* object = GetObject(i);
    if (object->GetIdentifier() == identifier) return object;
  }
  return nullptr;
}

void ZTRObjectManager::Dump() const {
  for (int i = 1; i <= Objects.Size(); ++i) GetObject(i)->Dump();
}
