#include "plan/ztr_document_manager.h"

#include "driver/output.h"

namespace {

// A control-file value as record text, unchanged.
CATUnicodeString Value(const ZTRObject& object, const char* key) {
  return CATUnicodeString(object.GetAttribute(key).CastToCharPtr());
}

// Appends to `list` one record made by `make` for each identifier listed under `key` of
// `root` that names an object; identifiers that name none are skipped.
template <typename MakeRecord>
void BuildList(const ZTRObjectManager& objects, const ZTRObject& root, const char* key,
               CATRawCollPV* list, MakeRecord make) {
  const CATListValCATString identifiers = root.GetAttributeList(key);
  for (int i = 1; i <= identifiers.Size(); ++i) {
    const ZTRObject* object = objects.FindObject(identifiers[i]);
    if (object != nullptr) list->Append(make(*object));
  }
  list->RemoveNulls();
}

}  // namespace

ZTRDocumentManager::ZTRDocumentManager(const ZTRObjectManager& objects, std::ostream* log_stream)
    : LogStream(log_stream) {
  const ZTRObject* root = objects.FindObject("ROOT");
  if (root == nullptr) return;
  BuildList(objects, *root, "PARENT_OBJECTS", &Documents, [](const ZTRObject& o) {
    return new ZTRDocument(Value(o, "PARTNUMBER"), Value(o, "EXTERNAL_LOCATION"));
  });
  BuildList(objects, *root, "CHILD_OBJECTS", &ChangeableDocuments, [](const ZTRObject& o) {
    return new ZTRChangeableDocument(Value(o, "PARTNUMBER"), Value(o, "EXTERNAL_LOCATION"),
                                     Value(o, "NEW_PARTNUMBER"), Value(o, "NEW_EXTERNAL_LOCATION"));
  });
  BuildList(objects, *root, "INSTANCE_OBJECTS", &DocumentInstances, [](const ZTRObject& o) {
    return new ZTRDocumentInstance(Value(o, "PARENT_PARTNUMBER"), Value(o, "INSTANCENAME"),
                                   Value(o, "NEW_INSTANCENAME"));
  });
}

ZTRDocumentManager::~ZTRDocumentManager() {
  // Each record is destroyed as the class of its list.
  for (int i = 1; i <= Documents.Size(); ++i) delete static_cast<ZTRDocument*>(Documents[i]);
  for (int i = 1; i <= ChangeableDocuments.Size(); ++i) {
    delete static_cast<ZTRChangeableDocument*>(ChangeableDocuments[i]);
  }
  for (int i = 1; i <= DocumentInstances.Size(); ++i) {
    delete static_cast<ZTRDocumentInstance*>(DocumentInstances[i]);
  }
  LogStream = nullptr;
}

void ZTRDocumentManager::Dump() const {
  ConsoleLine("");
  ConsoleLine("Dumping Document Manager");
  ConsoleLine("ZTRDocuments");
  for (int i = 1; i <= DocumentCount(); ++i) {
    ConsoleLine("");
    DocumentAt(i).Dump();
  }
  ConsoleLine("");
  ConsoleLine("ZTRChangeableDocuments");
  for (int i = 1; i <= ChangeableDocumentCount(); ++i) {
    ConsoleLine("");
    ChangeableDocumentAt(i).Dump();
  }
  ConsoleLine("");
  ConsoleLine("ZTRDocumentInstances");
  for (int i = 1; i <= DocumentInstanceCount(); ++i) {
    ConsoleLine("");
    DocumentInstanceAt(i).Dump();
  }
}

CATUnicodeString ZTRDocumentManager::FindDocumentName(const CATUnicodeString& part_number) const {
  const ZTRDocument* match = nullptr;
  for (int i = 1; i <= DocumentCount() && match == nullptr; ++i) {
    if (DocumentAt(i).PartNumber == part_number) match = &DocumentAt(i);
  }
  for (int i = 1; i <= ChangeableDocumentCount() && match == nullptr; ++i) {
    if (ChangeableDocumentAt(i).PartNumber == part_number) match = &ChangeableDocumentAt(i);
  }
  if (match == nullptr) return CATUnicodeString();
  ConsoleLine("Found document ", match->ExternalLocation.ConvertToChar(), " with partnumber ",
              part_number.ConvertToChar());
  return match->ExternalLocation;
}
