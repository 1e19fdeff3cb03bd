// A product structure as the platform's interfaces show it: every document reached from a
// root document, each once, with its part number and its components. Companions build their
// views on it (a tree, a table, a preview) instead of reading document files themselves.
#ifndef STRUCTURE_PRODUCT_STRUCTURE_H
#define STRUCTURE_PRODUCT_STRUCTURE_H

#include <string>
#include <vector>

#include "CATDocument.h"
#include "CATUnicodeString.h"

// A component instance: its name and the document it is an instance of.
struct StructureInstance {
  CATUnicodeString name;
  int document = -1;  // position in ProductStructure::documents; -1 while unresolved
};

struct StructureDocument {
  CATUnicodeString storage_name;
  bool has_product = false;  // false: no root product could be reached
  CATUnicodeString part_number;
  std::vector<StructureInstance> instances;  // in the product's order
};

// documents[0] is the root; the rest follow in structure order: depth first, each document
// where it is first used.
struct ProductStructure {
  std::vector<StructureDocument> documents;
};

// Walks the structure under `root`, a document open in the current session, through the
// product interfaces. Works without recursion, so no depth of structure exhausts the stack,
// and releases every reference it obtains. False when `root` is null.
bool WalkProductStructure(CATDocument* root, ProductStructure* structure);

// The same under several documents open in the current session: every document reached from
// any of them, each once, in structure order from the first root, then from each next root not
// reached yet. `positions` gets each root's position in `structure->documents` (-1 for a null
// root).
void WalkProductStructures(const std::vector<CATDocument*>& roots, ProductStructure* structure,
                           std::vector<int>* positions);

#endif  // STRUCTURE_PRODUCT_STRUCTURE_H
