// The structure as an indented tree, one line a file or instance: the instance name, the file
// it refers to and that file's part number. A file's instances are shown in full where it is
// first used; later uses refer back to that line. Deep levels stop indenting further and say
// their level instead, so that the output grows with the structure, never with its depth.
#ifndef TREE_TREE_PRINTER_H
#define TREE_TREE_PRINTER_H

#include <ostream>
#include <string>

#include "tree/shown_structure.h"

struct TreeOptions {
  bool plan = false;          // each change as OLD -> NEW, and a legend below the tree
  bool changed_only = false;  // only the branches that hold a change
  // 0: each file's instances once. Otherwise every use in full (a file inside itself is not
  // expanded again), up to this many lines.
  long expand_limit = 0;
};

// Levels deeper than this are not indented further.
constexpr int kDeepestIndent = 30;

// Prints the tree, files relative to `cwd`. False when the full expansion stopped at its
// limit; the lines up to it are printed.
bool PrintTree(const ShownStructure& structure, const TreeOptions& options, const std::string& cwd,
               std::ostream& out);

#endif  // TREE_TREE_PRINTER_H
