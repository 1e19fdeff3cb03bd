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

// Writes `documents` documents (at least 3, so that there is a part; at most LargestStructure())
// and the control file rename.ztr into the existing folder `folder`. False when a file cannot be
// written or the lists would not fit.
bool GenerateStructure(int documents, const std::string& folder);

// The parts among `documents` documents: each gets a new part number and a new file.
int Parts(int documents);

// What a complete run on such a structure does.
inline int SavedDocuments(int documents) { return documents; }
inline int RenamedInstances(int documents) { return documents - 1; }

// A structure as a renaming campaign meets it: a top assembly "CAMP-TOP" (top.CATProduct) over
// groups "GRP-<g>" (asm/group <g>.CATProduct), each pair of groups sharing a frame "FRM-<k>"
// (asm/shared frame <k>.CATProduct, used in both), groups and frames holding parts of their own
// (parts/part <g>-<i>.CATPart, "PRT-<g>-<i>"; a frame's "PRT-F<k>-<i>"), standard parts
// used many times from lib/ ("STD-M<d>", lib/screw m<d>.CATPart) and purchased parts from
// buy/ ("BUY-<m>", buy/motor <m>.CATPart) whose files are read-only (no write bits). File
// names hold blanks. About `documents` documents (at least 15), the same each time; false when
// a file cannot be written.
bool GenerateCampaign(int documents, const std::string& folder);

#endif  // BENCH_STRUCTURE_GENERATOR_H
