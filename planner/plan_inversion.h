// The way back from a control file: the plan that, run after it went through, gives every
// renamed instance, part number and file its old name again, with the documents that the
// first run saved in place saved again so that they refer to the old files. What the first run
// did not change in effect is left out, and new files that nothing uses are removed instead.
#ifndef PLANNER_PLAN_INVERSION_H
#define PLANNER_PLAN_INVERSION_H

#include <ostream>
#include <string>
#include <vector>

#include "findings/report.h"
#include "planner/rename_plan.h"
#include "system/files.h"

// What the way back leaves to do on disk besides running its control file.
struct WayBackFiles {
  // New files of the first run that nothing uses (the documents that were to refer to them
  // were not saved, or they are copies), their old files as they were: removing them is their
  // way back.
  std::vector<std::string> to_remove;
  // New files whose documents the way back saves under their old files again: they stay on
  // disk until it has run.
  std::vector<std::string> left_on_disk;
  // Folders that hold nothing but the files above and such folders, innermost first: empty
  // once those are removed.
  std::vector<std::string> folders_left_empty;
  // The control file makes copies: removing `to_remove` is the whole way back.
  bool copy = false;
};

// Reads `control_file` with the tool's own reader and plan builder and fills `undo`, whose
// identifiers are the control file's, and `way_back`. What Quorvel-check finds in the control
// file goes to `report`. The disk is read through `files`. Returns 0, 2 when the control file
// has errors, 3 when it cannot be read. A copy gets an empty `undo`: nothing is to be run.
int InvertControlFile(FileSystem& files, const std::string& control_file, RenamePlan* undo,
                      WayBackFiles* way_back, Report* report);

// Tells on `err` what `way_back` leaves to do after the run of `control_file`: the files to
// remove, those that stay until the way back `undo_file` (empty: not named) has run, and the
// folders that are then empty.
void PrintWayBackFiles(const WayBackFiles& way_back, const std::string& control_file,
                       const std::string& undo_file, std::ostream& err);

#endif  // PLANNER_PLAN_INVERSION_H
