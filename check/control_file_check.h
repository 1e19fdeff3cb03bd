// Quorvel-check [--open | --after] control_file: finds what would go wrong in a run of the
// control file before anything is written, with the tool's own reader and plan builder, and
// reports it; with --after, proves that the structure on disk is what a run asked for.
#ifndef CHECK_CONTROL_FILE_CHECK_H
#define CHECK_CONTROL_FILE_CHECK_H

#include <ostream>

#include "system/files.h"

// Writes the report (or the help or version asked for) to `out` and returns the exit code: 0 no
// finding, 1 warnings only, 2 at least one error, 3 a wrong command line (with a usage line on
// `err`) or a control file that cannot be read (with the system's reason on `err`).
// Files are read through `files`; nothing is written to them.
int RunControlFileCheck(int argc, char* argv[], std::ostream& out, std::ostream& err,
                        FileSystem& files = Disk());

#endif  // CHECK_CONTROL_FILE_CHECK_H
