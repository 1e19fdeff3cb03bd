// The preview of a run: the structure under a root document as it will be on disk after the
// tool has run a control file, worked out without writing anything, and the findings that
// concern the control file's lines.
#ifndef TREE_PREVIEW_H
#define TREE_PREVIEW_H

#include <string>
#include <vector>

#include "tree/shown_structure.h"

struct PreviewFinding {
  int line;             // in the control file; 0 when no line is concerned
  std::string message;  // ready to display
};

struct Preview {
  ShownStructure structure;
  std::vector<PreviewFinding> findings;  // in line order
  bool stops = false;                    // the run would stop early
};

// Reads `control_file` with the tool's reader and plan builder and walks the structure under
// `root` as it is. Then, in a session whose log stays in memory, runs the tool's loading,
// instance-name and part-number stages as a run does, and works out from the plan which files
// the saving stage would write and what each would hold, in the order it would save them. The
// saving stage itself never runs. Findings: documents left referring to the old file of a
// renamed document, records that touch nothing in this structure, saves that would fail, and
// where the run would stop early. False, with "FILE: reason" in `why`, when the control file
// or the root document cannot be read.
bool ComputePreview(const std::string& root, const std::string& control_file, Preview* preview,
                    std::string* why);

#endif  // TREE_PREVIEW_H
