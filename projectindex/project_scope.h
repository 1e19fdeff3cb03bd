// The project a command judges or plans a run in: a folder of several products that share
// documents, known through its where-used index. A document that a plan saves under a new file
// or gives a new part number is also used by the documents of the project that the plan leaves
// out; these are found here, and worded alike by every command that tells of them.
#ifndef PROJECTINDEX_PROJECT_SCOPE_H
#define PROJECTINDEX_PROJECT_SCOPE_H

#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "plan/ztr_document_manager.h"
#include "projectindex/project_index.h"
#include "system/files.h"

// The project folder named by the environment variable QUORVEL_PROJECT; empty when it names
// none.
std::string ProjectFromEnvironment();

// Opens and refreshes the index of `project` (kept at `index_path`, or the default place when
// it is empty). Says on `err`, each line begun with `invocation`, what a user should know: a
// database rebuilt, the files skipped (those that are no documents only when `all_skipped`: a
// project folder holds control files and tables too). False, with the reason said on `err`,
// when the folder or the index cannot be read.
bool OpenProjectIndex(FileSystem& files, const std::string& project, const std::string& index_path,
                      const std::string& invocation, std::ostream& err, ProjectIndex* index,
                      bool all_skipped = false);

// The keys under which the index knows each of `files` (ProjectIndex::KeysOfFile), together.
std::set<std::string> KeysOfFiles(ProjectIndex& index, const std::vector<std::string>& files);

// The documents of the project that refer to `file` directly and whose keys are not in
// `inside`, in name order.
std::vector<DocumentUse> UsersOutside(ProjectIndex& index, const std::string& file,
                                      const std::set<std::string>& inside);

// The components of `use`, for a message: up to three quoted, then how many more.
std::string ComponentsOf(const DocumentUse& use);

// What becomes of `user`, a document outside the plan, when the plan saves `document` (a
// record's name, quoted) from `old_file` as `new_file` (the same file when it stays) with the
// new part number `new_part_number` (empty when it keeps its own): a new file leaves the user
// on the old one; a new part number in the same file shows in the user too.
std::string OutsideUserMessage(const std::string& document, const std::string& old_file,
                               const std::string& new_file, const std::string& new_part_number,
                               const DocumentUse& user);

// A document of the project that uses a document the plan changes, and is not in the plan.
struct OutsideUser {
  int record;       // the changeable record (from 1) of the document it uses
  const char* key;  // the record's key that makes the change: NEW_EXTERNAL_LOCATION, else
                    // NEW_PARTNUMBER
  DocumentUse use;
  std::string old_file, new_file, new_part_number;  // storage names; the number empty if kept
};

// Every document of the project that refers directly to a document that `plan` saves under a
// new file or gives a new part number, and that is neither listed by `plan` nor among the keys
// `inside`; by record, then user. A copy's records are left out: a copy leaves the documents
// that use its originals on them on purpose.
std::vector<OutsideUser> UsersOutsidePlan(ProjectIndex& index, const ZTRDocumentManager& plan,
                                          bool copy, std::set<std::string> inside);

// The message of OutsideUserMessage for `user`, whose record is named `document` (quoted).
std::string OutsideUserMessage(const std::string& document, const OutsideUser& user);

#endif  // PROJECTINDEX_PROJECT_SCOPE_H
