// The findings of Quorvel-check in a project folder (--project, QUORVEL_PROJECT): the documents
// of the project outside the plan that use a document it changes, before the run (--open) and
// after it (--after), and the old files that a document of the project still uses
// (--old-files), which are never listed for removal.
#ifndef CHECK_PROJECT_CHECK_H
#define CHECK_PROJECT_CHECK_H

#include <ostream>
#include <string>
#include <vector>

#include "findings/report.h"
#include "prediction/plan_runs.h"
#include "projectindex/project_index.h"

// Before the run: a warning at the line of each document that the run saves under a new file or
// gives a new part number, for each document of the project outside the plan that uses it,
// naming it, what becomes of it and how to make it follow. Warnings, not errors: the run does
// all that its control file asks, and the document left out stays whole (on the old file, or
// showing the new part number).
void CheckProjectUsersBefore(ProjectIndex& index, const ControlFileRun& run, Report* report);

// After the run: each document of the project, not reached from the documents the run saved,
// that still refers to the old file of a document saved under a new file. A warning while the
// old file is there (the document keeps the old one, as the plan left it); an error when it is
// gone, as the document then refers to no file.
void CheckProjectUsersAfter(FileSystem& files, ProjectIndex& index, const ControlFileRun& run,
                            Report* report);

// Takes out of `old_files` every file that a document of the project uses, other than the old
// files listed with it, and says each on `err` with a user.
void KeepUsedOldFiles(ProjectIndex& index, const std::string& invocation,
                      std::vector<std::string>* old_files, std::ostream& err);

#endif  // CHECK_PROJECT_CHECK_H
