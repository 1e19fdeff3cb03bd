#include "findings/listed_objects.h"

#include <unordered_map>

const ListedObject* CheckedPlan::At(StageList list, int index) const {
  const std::vector<ListedObject>& objects = list == StageList::kDocuments ? documents
                                             : list == StageList::kChangeableDocuments
                                                 ? changeable_documents
                                                 : instances;
  if (index < 1 || static_cast<size_t>(index) > objects.size()) return nullptr;
  return &objects[static_cast<size_t>(index - 1)];
}

const char kCopyKey[] = "COPY";

bool AsksForCopy(const ZTRObjectManager& objects) {
  const ZTRObject* root = objects.FindObject("ROOT");
  return root != nullptr && root->GetAttribute(kCopyKey).GetLengthInChar() > 0;
}

CheckedPlan ListPlanObjects(const ZTRObjectManager& objects) {
  CheckedPlan listed;
  const ZTRObject* root = objects.FindObject("ROOT");
  if (root == nullptr) return listed;
  std::unordered_map<const ZTRObject*, size_t> record_of;
  for (int i = 1; i <= objects.Size(); ++i) {
    record_of.emplace(objects.GetObject(i), static_cast<size_t>(i - 1));
  }
  const struct {
    const char* key;
    std::vector<ListedObject>* list;
  } lists[] = {{"PARENT_OBJECTS", &listed.documents},
               {"CHILD_OBJECTS", &listed.changeable_documents},
               {"INSTANCE_OBJECTS", &listed.instances}};
  for (const auto& list : lists) {
    const CATListValCATString identifiers = root->GetAttributeList(list.key);
    for (int i = 1; i <= identifiers.Size(); ++i) {
      const ZTRObject* object = objects.FindObject(identifiers[i]);
      if (object != nullptr) list.list->push_back({object, record_of.at(object)});
    }
  }
  return listed;
}
