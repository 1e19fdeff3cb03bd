// The structure as a Graphviz graph (`dot -Tsvg`): each file one box with its part number,
// each instance an arrow from the file that holds it, labelled with its name. In a preview,
// what the run changes is blue and shows OLD -> NEW, and an instance left on the old file of
// a renamed document is a dashed red arrow.
#ifndef TREE_DOT_GRAPH_H
#define TREE_DOT_GRAPH_H

#include <ostream>
#include <string>

#include "tree/shown_structure.h"

// Writes the graph; with `changed_only`, only the files on a way from the root to a change.
void WriteDotGraph(const ShownStructure& structure, bool plan, bool changed_only,
                   const std::string& cwd, std::ostream& out);

#endif  // TREE_DOT_GRAPH_H
