// What Quorvel-tree draws: the files of a product structure, each once, with the instances
// of its product. Every value is held as it will be and as it was before a run; without a plan
// the two are the same.
#ifndef TREE_SHOWN_STRUCTURE_H
#define TREE_SHOWN_STRUCTURE_H

#include <string>
#include <vector>

#include "structure/product_structure.h"
#include "system/files.h"

struct ShownInstance {
  std::string name;
  std::string old_name;
  int node = -1;  // the file it refers to, a position in ShownStructure::nodes; -1 unresolved
  // Not empty when the instance still refers to the old file of a document that the run saves
  // under this new file.
  std::string stale_new_file;
};

struct ShownNode {
  std::string file;  // storage name
  std::string old_file;
  bool has_product = false;
  bool foreign = false;  // written by the run from a document outside this structure
  std::string part_number;
  std::string old_part_number;
  std::vector<ShownInstance> instances;
};

// nodes[0] is the root.
struct ShownStructure {
  std::vector<ShownNode> nodes;
};

// The structure as it stands: each document of the walk a node, nothing changed.
ShownStructure UnchangedStructure(const ProductStructure& structure);

// Opens the document `path` in a session of its own on `files`, walks its structure and deletes
// the session again. False, with the reason in `why` (the system's, such as "Permission denied",
// where the file cannot be read), when the document cannot be opened or the session cannot be
// made.
bool ReadStructureOf(FileSystem& files, const std::string& path, ProductStructure* structure,
                     std::string* why);

// Whether the run changes the file or the part number of `node`.
bool NodeChanges(const ShownNode& node);
// Whether the line of `instance` shows a change: its name, a stale file, or its file's.
bool InstanceChanges(const ShownStructure& structure, const ShownInstance& instance);
// For each node, whether a line below it, at any depth, shows a change.
std::vector<bool> NodesHoldingChanges(const ShownStructure& structure);

#endif  // TREE_SHOWN_STRUCTURE_H
