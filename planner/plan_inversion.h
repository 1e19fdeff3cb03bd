// The way back from a control file: the plan that, run after it went through, gives every
// renamed instance, part number and file its old name again, with the documents that the
// first run saved in place saved again so that they refer to the old files.
#ifndef PLANNER_PLAN_INVERSION_H
#define PLANNER_PLAN_INVERSION_H

#include <string>
#include <vector>

#include "findings/report.h"
#include "planner/rename_plan.h"
#include "system/files.h"

// Reads `control_file` with the tool's own reader and plan builder and fills `undo`, whose
// identifiers are the control file's. What Quorvel-check finds in the control file goes to
// `report`. `left_on_disk` gets the files that the first run wrote under new paths: the way
// back leaves them. The disk is read through `files`. Returns 0, 2 when the control file has
// errors, 3 when it cannot be read.
int InvertControlFile(FileSystem& files, const std::string& control_file, RenamePlan* undo,
                      std::vector<std::string>* left_on_disk, Report* report);

#endif  // PLANNER_PLAN_INVERSION_H
