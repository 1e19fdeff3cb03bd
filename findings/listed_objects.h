// The objects behind the rename plan's three lists, each with the record it came from, taken as
// the plan builder takes them: every identifier listed under ROOT's PARENT_OBJECTS,
// CHILD_OBJECTS and INSTANCE_OBJECTS that names an object, in order. Position i of a list here
// is position i + 1 of the plan's list, so that what the stages tell of a record finds its line.
#ifndef FINDINGS_LISTED_OBJECTS_H
#define FINDINGS_LISTED_OBJECTS_H

#include <cstddef>
#include <vector>

#include "controlfile/ztr_object_manager.h"
#include "plan/stage_event.h"

// A listed object with the record it came from.
struct ListedObject {
  const ZTRObject* object;
  size_t record;  // index into the store and the reading map
};

// The plan with, for each of its three lists, the listed object behind each record.
struct CheckedPlan {
  std::vector<ListedObject> documents;
  std::vector<ListedObject> changeable_documents;
  std::vector<ListedObject> instances;

  // The object behind record `index` (from 1) of `list`; null when the list is shorter.
  const ListedObject* At(StageList list, int index) const;
};

// Whether the control file asks for a copy: its ROOT object carries the key COPY, which the
// tool does not read but the companions do. The documents under CHILD_OBJECTS are then saved
// as new documents and nothing above them is saved: links to the originals stay on purpose.
extern const char kCopyKey[];
bool AsksForCopy(const ZTRObjectManager& objects);

// The lists of the plan that the builder makes of `objects`; empty without a ROOT object.
CheckedPlan ListPlanObjects(const ZTRObjectManager& objects);

#endif  // FINDINGS_LISTED_OBJECTS_H
