// Quorvel-tree --where-used: every document of a project that uses a file or a part number,
// directly and through sub-assemblies, up to the products nothing uses, as an inverted tree.
// Each line below the first names the instances of a document that use the line above, then
// that document's file (in full) and part number. A document's users are shown where it is
// first met; later lines end in (see line N), and a document that uses itself through others
// in (cycle: see line N).
#ifndef TREE_WHERE_USED_H
#define TREE_WHERE_USED_H

#include <ostream>
#include <string>

#include "projectindex/project_index.h"
#include "system/files.h"

// Prints the inverted tree (or trees: one for each document of a part number) of `what`, a
// file (it exists, is indexed or is referred to) or else a part number. Returns the number of
// documents that use it; -1 when `what` is neither a file nor a part number in the project.
long PrintWhereUsed(FileSystem& files, ProjectIndex& index, const std::string& what,
                    std::ostream& out);

#endif  // TREE_WHERE_USED_H
