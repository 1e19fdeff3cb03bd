// Control files that carry a rename plan. The reader keeps 65,535 bytes of a ROOT list, so a
// larger plan becomes several control files, to be run one after the other in their order;
// each is complete on its own: every document it changes with the documents that refer to it,
// every instance it renames with its parent, all named as the runs before it left them.
#ifndef PLANNER_CONTROL_FILE_WRITER_H
#define PLANNER_CONTROL_FILE_WRITER_H

#include <string>
#include <vector>

#include "planner/rename_plan.h"

const size_t kListLimit = 65535;

// Why the control file cannot carry `value`: the value as its attribute line holds it, read
// back by the tool's own reader, is not `value` (blanks or carriage returns at its ends,
// "@EOL@" that a line break would make, such as "@EOL" before one), or the line does not
// hold it whole (empty, a NUL byte, more than 65,535 bytes). Empty when it can.
std::string WhyNotCarried(const std::string& value);

// The control files of `plan`, no ROOT list longer than `list_limit` bytes. False, with the
// reason, when one change with the documents it needs does not fit into one control file.
bool WriteControlFiles(const RenamePlan& plan, std::vector<std::string>* files, std::string* error,
                       size_t list_limit = kListLimit);

#endif  // PLANNER_CONTROL_FILE_WRITER_H
