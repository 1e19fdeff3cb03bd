// The preview of a run: the structure under a root document as it will be on disk after the
// tool has run a control file, found by running the tool's own stages on it while nothing is
// written, and the findings that concern the control file's lines.
#ifndef TREE_PREVIEW_H
#define TREE_PREVIEW_H

#include <string>
#include <vector>

#include "projectindex/project_index.h"
#include "system/files.h"
#include "tree/shown_structure.h"

struct PreviewFinding {
  size_t file;  // which of the control files
  int line;     // in that control file; 0 when no line is concerned
  bool error;   // the run goes wrong here: a record fails, a stage stops or a needed file is lost
  std::string message;  // as the commands word it, its values quoted and escaped
};

struct Preview {
  ShownStructure structure;
  std::vector<PreviewFinding> findings;  // by control file, in line order
};

// Reads each control file with the tool's reader and plan builder and walks the structure under
// `root` as it is. Then, on a file system that writes nothing (over `files`), runs the tool's
// stages on the plan as a run does (prediction/run_prediction.h) and walks `root` again, through
// the files the run would have written: that walk is the structure after the run, and the one
// before gives each value its old side. Findings: what the run meets (as Quorvel-check --open words
// it), documents left referring to the old file of a renamed document, files written from documents
// outside this structure, and records that touch nothing in it. False, with the reason in `why`
// (the file in full), when a control file or the root document cannot be read. Several control
// files are one plan, run one after the other: each sees the files that the ones before would
// write. With `project`, the index of the project folder, each document of it outside this
// structure and the plan that uses a document the plan saves under a new file or gives a new
// part number is a warning too.
bool ComputePreview(FileSystem& files, const std::string& root,
                    const std::vector<std::string>& control_files, Preview* preview,
                    std::string* why, ProjectIndex* project = nullptr);

#endif  // TREE_PREVIEW_H
