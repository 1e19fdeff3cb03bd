// A generated product structure for scale runs: a top assembly, sub-assemblies under it and
// parts under those, each part used once, with a control file that renames all of it: every
// document listed, every part given a new part number and file, every instance a new name.
#ifndef BENCH_STRUCTURE_GENERATOR_H
#define BENCH_STRUCTURE_GENERATOR_H

#include <string>

// Writes `documents` documents (at least 2) and the control file rename.ztr into the existing
// folder `folder`. False when a file cannot be written.
bool GenerateStructure(int documents, const std::string& folder);

#endif  // BENCH_STRUCTURE_GENERATOR_H
