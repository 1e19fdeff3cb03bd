#include "controlfile/ztr_object_manager.h"

#include <string>

#include "controlfile/control_scanner.h"
#include "driver/output.h"

ZTRObjectManager::~ZTRObjectManager() {
  for (int i = 1; i <= Objects.Size(); ++i) delete static_cast<ZTRObject*>(Objects[i]);
}

bool ZTRObjectManager::ReadFile(const CATUnicodeString& file_name, ControlFileObserver* observer) {
  std::string contents;
  if (!ReadControlFileBytes(file_name.ConvertToChar(), &contents)) {
    ConsoleLine("ZTRObjectManager: Could not open file ", file_name.ConvertToChar());
    return false;
  }
  if (observer != nullptr) observer->OnBytes(contents);
  BufferBytes bytes(contents.data(), contents.data() + contents.size());
  auto* object = new ZTRObject;
  while (object->ReadFromBuffer(&bytes, observer)) {
    Objects.Append(object);
    object = new ZTRObject;
  }
  delete object;
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
