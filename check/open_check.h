// Findings that need the documents themselves: the tool's own stages run on the plan in a
// session that writes nothing, as a run makes them, and what they meet is held against the
// control file's lines. Everything that makes the run fail a record, stop a stage early or
// replace a file the plan itself reads or writes is an error; what the run does as asked but
// perhaps not as meant (a part number on disk that loading overwrites, an existing file that
// is replaced) is a warning.
#ifndef CHECK_OPEN_CHECK_H
#define CHECK_OPEN_CHECK_H

#include "check/plan_check.h"
#include "findings/reading_map.h"
#include "findings/report.h"
#include "plan/ztr_document_manager.h"
#include "prediction/run_prediction.h"

// Runs the stages on `plan`; the caller holds a NothingWritten (system/files.h) around it.
// What the run met is left in `predicted`, for ReportConflicts (check/plan_check.h).
void CheckOpen(ZTRDocumentManager* plan, const CheckedPlan& listed, const ReadingMap& map,
               Report* report, RunPrediction* predicted);

#endif  // CHECK_OPEN_CHECK_H
