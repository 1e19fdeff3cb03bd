// Findings that need the documents themselves: the tool's own stages run on the plan in a
// session that writes nothing, as a run makes them, and what they meet is held against the
// control file's lines. Everything that makes the run fail a record, stop a stage early or
// replace a file the plan itself reads or writes is an error; what the run does as asked but
// perhaps not as meant (a part number on disk that loading overwrites, an existing file that
// is replaced) is a warning.
#ifndef CHECK_OPEN_CHECK_H
#define CHECK_OPEN_CHECK_H

#include "findings/report.h"
#include "prediction/plan_runs.h"

// Runs the stages on `run`, the last control file read into `runs`, after the ones before.
void CheckOpen(PlanRuns* runs, ControlFileRun* run, Report* report);

#endif  // CHECK_OPEN_CHECK_H
