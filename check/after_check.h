// The proof after a run: the documents on disk opened in a session of the check's own (nothing
// changed or saved, the session deleted again) and held against what the control file asked
// for. Every changeable document must be under its new file with its new part number, every
// renamed instance under its new name and no longer under its old one; no document reached from
// the listed ones may still refer to the old file of a renamed document, or to a file that
// cannot be opened. A document saved in place that holds none of its changes (its save failed)
// is one error, naming what was lost with it, rather than one for each of them.
#ifndef CHECK_AFTER_CHECK_H
#define CHECK_AFTER_CHECK_H

#include <string>
#include <vector>

#include "check/plan_check.h"
#include "findings/reading_map.h"
#include "findings/report.h"
#include "plan/ztr_document_manager.h"
#include "system/files.h"

// Adds an error for everything that the structure on disk lacks, at the control file's lines.
// `old_files`, when given, gets the full paths of the old files of documents saved under new
// files that are still on disk and that no document reached from the listed ones refers to:
// the files a user may remove once the run is proven.
// The files are read through `files`.
void CheckAfter(FileSystem& files, const ZTRDocumentManager& plan, const CheckedPlan& listed,
                const ReadingMap& map, Report* report,
                std::vector<std::string>* old_files = nullptr);

#endif  // CHECK_AFTER_CHECK_H
