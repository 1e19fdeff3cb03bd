// Quorvel-plan: from a product structure and naming rules to a rename table (table), from the
// table to the control file it asks for (write), and from a control file to the one that
// undoes it (invert).
#ifndef PLANNER_PLAN_COMMAND_H
#define PLANNER_PLAN_COMMAND_H

#include <cstddef>
#include <ostream>

#include "planner/control_file_writer.h"
#include "system/files.h"

// Runs one command line; the table or control file goes to `out` unless -o names a file, and
// everything else to `err`. Returns 0 done, 1 a table written that write would refuse as it
// is, 2 a table or control file refused, 3 a wrong command line or a file that cannot be read
// or written.
// Files are read and written through `files`. An output goes to a temporary file beside it
// that no one else can have made and is put in place whole; a link at its name is replaced,
// never written through. Several control files are all written or none: none is put in place
// before all are written, and when one cannot be, the ones put in place before it get back
// what they held, each named on `err` (with any that could not be put back).
int RunPlanCommand(int argc, char* argv[], std::ostream& out, std::ostream& err,
                   FileSystem& files = Disk());

// The same with ROOT lists of `list_limit` bytes at most: tests make a plan of a few documents
// take several control files with a small one.
int RunPlanCommandWithListLimit(size_t list_limit, int argc, char* argv[], std::ostream& out,
                                std::ostream& err, FileSystem& files = Disk());

#endif  // PLANNER_PLAN_COMMAND_H
