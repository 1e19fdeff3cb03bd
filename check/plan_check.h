// Findings about what a control file asks for: the rename plan that the tool's own builder
// makes of the object store, held against the records and lines it came from.
#ifndef CHECK_PLAN_CHECK_H
#define CHECK_PLAN_CHECK_H

#include <string>
#include <vector>

#include "findings/reading_map.h"
#include "findings/report.h"
#include "controlfile/ztr_object_manager.h"
#include "plan/ztr_document_manager.h"

// A listed object with the record it came from, in the order of the plan's lists.
struct ListedObject {
  const ZTRObject* object;
  size_t record;  // index into the store and the reading map
};

// The plan with, for each of its three lists, the listed object behind each record.
struct CheckedPlan {
  std::vector<ListedObject> documents;
  std::vector<ListedObject> changeable_documents;
  std::vector<ListedObject> instances;
};

// Checks the store and the plan built from it; fills `listed`.
void CheckPlan(const ZTRObjectManager& objects, const ZTRDocumentManager& plan,
               const ReadingMap& map, CheckedPlan* listed, Report* report);

// The form in which the files of two paths compare: the storage key of the path's storage
// name (system/paths.h); empty for an empty path.
std::string SameFile(const CATUnicodeString& path);

#endif  // CHECK_PLAN_CHECK_H
