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
#include "system/files.h"

struct RunPrediction;

// What the control file alone shows that a run meets in its saves or part-number checks: two
// documents saved to one file, a document saved both in place and under a new file, a
// part-number check of a document whose part number an earlier record changed. An error at
// `line`; `places` are the records (list, position from 1, key) where the run meets it.
struct RunConflict {
  struct Place {
    StageList list;
    int index;
    const char* key;
  };
  int line;
  std::string message;
  std::vector<Place> places;
};

// Checks the store and the plan built from it; fills `listed`. The conflicts of the run are
// reported with the rest. Whether two paths name one file is asked of `files`.
void CheckPlan(FileSystem& files, const ZTRObjectManager& objects, const ZTRDocumentManager& plan,
               const ReadingMap& map, CheckedPlan* listed, Report* report);
// The same, with the conflicts of the run kept in `conflicts` instead, for ReportConflicts.
void CheckPlan(FileSystem& files, const ZTRObjectManager& objects, const ZTRDocumentManager& plan,
               const ReadingMap& map, CheckedPlan* listed, Report* report,
               std::vector<RunConflict>* conflicts);

// Reports each of `conflicts` as an error, but for those that `predicted` (a run of the stages
// on the same plan, or null) meets with an error of its own at one of their places: said once.
void ReportConflicts(const std::vector<RunConflict>& conflicts, const RunPrediction* predicted,
                     Report* report);

#endif  // CHECK_PLAN_CHECK_H
