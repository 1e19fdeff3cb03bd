// A generated product structure for scale runs: a top assembly, sub-assemblies under it and
// parts under those, each part used once, with a control file that renames all of it: every
// document listed, every part given a new part number and file, every instance a new name.
#ifndef BENCH_STRUCTURE_GENERATOR_H
#define BENCH_STRUCTURE_GENERATOR_H

#include <cstddef>
#include <string>

// The longest of the ROOT lists that a structure of `documents` documents needs, in bytes.
size_t LongestRootList(int documents);

// The most documents whose ROOT lists fit in one value (65,535 bytes).
int LargestStructure();

// Writes `documents` documents (at least 2, at most LargestStructure()) and the control file
// rename.ztr into the existing folder `folder`. False when a file cannot be written or the
// lists would not fit.
bool GenerateStructure(int documents, const std::string& folder);

// The parts among `documents` documents: each gets a new part number and a new file.
int Parts(int documents);

// What a complete run on such a structure does.
inline int SavedDocuments(int documents) { return documents; }
inline int RenamedInstances(int documents) { return documents - 1; }

#endif  // BENCH_STRUCTURE_GENERATOR_H
