#include "plan/ztr_document_manager.h"

#include <string>
#include <unordered_map>

#include "output/output.h"
#include "plan/text.h"

namespace {

// A control-file value as record text, unchanged.
CATUnicodeString Value(const ZTRObject& object, const char* key) {
  return CATUnicodeString(object.GetAttribute(key).CastToCharPtr());
}

// Appends to `list` one record made by `make` for each identifier listed under `key` of
// `root` that names an object; identifiers that name none are skipped. An object listed again
// gives a copy of the record made from it the first time.
template <typename Record, typename MakeRecord>
void BuildList(const ZTRObjectManager& objects, const ZTRObject& root, const char* key,
               CATRawCollPV* list, MakeRecord make) {
  const CATListValCATString identifiers = root.GetAttributeList(key);
  std::unordered_map<const ZTRObject*, const Record*> made;
  for (int i = 1; i <= identifiers.Size(); ++i) {
    const ZTRObject* object = objects.FindObject(identifiers[i]);
    if (object == nullptr) continue;
    const auto earlier = made.find(object);
    Record* record = earlier != made.end() ? new Record(*earlier->second) : make(*object);
    made.emplace(object, record);
    list->Append(record);
  }
  list->RemoveNulls();
}

}  // namespace

ZTRDocumentManager::ZTRDocumentManager(const ZTRObjectManager& objects, std::ostream* log_stream)
    : LogStream(log_stream) {
  const ZTRObject* root = objects.FindObject("ROOT");
  if (root == nullptr) return;
  BuildList<ZTRDocument>(objects, *root, "PARENT_OBJECTS", &Documents, [](const ZTRObject& o) {
    return new ZTRDocument(Value(o, "PARTNUMBER"), Value(o, "EXTERNAL_LOCATION"));
  });
  BuildList<ZTRChangeableDocument>(
      objects, *root, "CHILD_OBJECTS", &ChangeableDocuments, [](const ZTRObject& o) {
        return new ZTRChangeableDocument(Value(o, "PARTNUMBER"), Value(o, "EXTERNAL_LOCATION"),
                                         Value(o, "NEW_PARTNUMBER"),
                                         Value(o, "NEW_EXTERNAL_LOCATION"));
      });
  BuildList<ZTRDocumentInstance>(
      objects, *root, "INSTANCE_OBJECTS", &DocumentInstances, [](const ZTRObject& o) {
        return new ZTRDocumentInstance(Value(o, "PARENT_PARTNUMBER"), Value(o, "INSTANCENAME"),
                                       Value(o, "NEW_INSTANCENAME"));
      });
  // The first document with each part number, failing that the first changeable document.
  for (int i = 1; i <= DocumentCount(); ++i) {
    DocumentsByPartNumber.emplace(Text(DocumentAt(i).PartNumber),
                                  DocumentPlace{StageList::kDocuments, i});
  }
  for (int i = 1; i <= ChangeableDocumentCount(); ++i) {
    DocumentsByPartNumber.emplace(Text(ChangeableDocumentAt(i).PartNumber),
                                  DocumentPlace{StageList::kChangeableDocuments, i});
  }
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

ZTRDocumentManager::DocumentPlace ZTRDocumentManager::FindParentDocument(
    const CATUnicodeString& part_number) const {
  const auto found = DocumentsByPartNumber.find(Text(part_number));
  return found == DocumentsByPartNumber.end() ? DocumentPlace() : found->second;
}

CATUnicodeString ZTRDocumentManager::FindDocumentName(const CATUnicodeString& part_number) const {
  const DocumentPlace place = FindParentDocument(part_number);
  if (place.index == 0) return CATUnicodeString();
  const ZTRDocument& match = DocumentAt(place);
  ConsoleLine("Found document ", match.ExternalLocation.ConvertToChar(), " with partnumber ",
              part_number.ConvertToChar());
  return match.ExternalLocation;
}
