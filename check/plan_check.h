// Findings about what a control file asks for: the rename plan that the tool's own builder
// makes of the object store, held against the records and lines it came from.
#ifndef CHECK_PLAN_CHECK_H
#define CHECK_PLAN_CHECK_H

#include <string>
#include <vector>

#include "controlfile/ztr_object_manager.h"
#include "findings/listed_objects.h"
#include "findings/reading_map.h"
#include "findings/report.h"
#include "plan/ztr_document_manager.h"

// Checks the store and the plan built from it; fills `listed`.
void CheckPlan(const ZTRObjectManager& objects, const ZTRDocumentManager& plan,
               const ReadingMap& map, CheckedPlan* listed, Report* report);


#endif  // CHECK_PLAN_CHECK_H
