// What the control files that write makes would do, found before any of them is written: they
// run one after the other, as the tool runs them, in a session that writes nothing, with the
// folders for the new files made in memory. Each error of a run is said at the control file's
// line, as Quorvel-check --open says it.
#ifndef PLANNER_PLAN_PREDICTION_H
#define PLANNER_PLAN_PREDICTION_H

#include <ostream>
#include <string>
#include <vector>

#include "planner/rename_plan.h"
#include "system/files.h"

// Runs `texts` (the control files of `plan`, named `names` for the findings) in order, on
// `files`, to which nothing is written. Writes
// each finding of the runs to `err` and returns the number of errors among them.
size_t PredictControlFiles(FileSystem& files, const RenamePlan& plan,
                           const std::vector<std::string>& texts,
                           const std::vector<std::string>& names, std::ostream& err);

#endif  // PLANNER_PLAN_PREDICTION_H
