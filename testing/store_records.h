// The records of an object store written compactly, for comparing in tests.
#ifndef TESTING_STORE_RECORDS_H
#define TESTING_STORE_RECORDS_H

#include <string>
#include <vector>

#include "controlfile/ztr_object_manager.h"

// Each object as "identifier|KEY=value|...", in file order.
inline std::vector<std::string> Records(const ZTRObjectManager& objects) {
  std::vector<std::string> records;
  for (int i = 1; i <= objects.Size(); ++i) {
    const ZTRObject* object = objects.GetObject(i);
    std::string record = object->GetIdentifier().CastToCharPtr();
    for (int k = 1; k <= object->AttributeCount(); ++k) {
      record += std::string("|") + object->Key(k) + "=" + object->Value(k);
    }
    records.push_back(record);
  }
  return records;
}

#endif  // TESTING_STORE_RECORDS_H
