// Quorvel-tree: a product structure as an indented tree or a Graphviz graph, as it is or, with
// a control file, as a run of it will leave it. Exit code: 0 nothing to report, 1 warnings,
// 2 the run would stop early, 3 a wrong command line or input that cannot be read.
#ifndef TREE_TREE_COMMAND_H
#define TREE_TREE_COMMAND_H

#include <ostream>

#include "system/files.h"

// Files are read through `files`; nothing is written to them.
int RunTreeCommand(int argc, char* argv[], std::ostream& out, std::ostream& err,
                   FileSystem& files = Disk());

#endif  // TREE_TREE_COMMAND_H
