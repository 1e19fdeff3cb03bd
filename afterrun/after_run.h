// The documents on disk after a run, read in a session of their own: opened and walked, never
// changed or saved, and the session deleted with the reading. The judges of a run
// (Quorvel-check --after and --old-files, Quorvel-plan invert) ask the disk everything through
// it: which documents the files hold, what refers to what, which files are there.
#ifndef AFTERRUN_AFTER_RUN_H
#define AFTERRUN_AFTER_RUN_H

#include <string>
#include <unordered_map>
#include <vector>

#include "CATDocument.h"
#include "structure/product_structure.h"
#include "system/files.h"

class AfterRun {
 public:
  // Creates the session, named `session_name`, on `files`.
  AfterRun(FileSystem& files, const char* session_name);
  ~AfterRun();
  AfterRun(const AfterRun&) = delete;
  AfterRun& operator=(const AfterRun&) = delete;

  // False when no session could be created: nothing is read then.
  bool created() const { return created_; }

  // Opens each of `files` (an empty one names none) and walks every document reached from the
  // files opened so far. Returns the position in structure() of each file's document, -1 for
  // one that cannot be opened.
  std::vector<int> Open(const std::vector<std::string>& files);
  const ProductStructure& structure() const { return structure_; }

  // The position in structure() of the document that the session holds from `file`, opened
  // or reached through a reference; -1 when there is none. Opens nothing.
  int OpenFrom(const std::string& file) const;

  // True when `file` reaches a file, links followed, as the session names it (StorageName).
  bool Exists(const std::string& file) const;

  // A document saved under a new file: the file it was opened from and the one it was saved
  // to, as the control file spells them.
  struct Move {
    std::string old_file, new_file;
  };
  // The old files of `moves` that are still there and that no document walked is read from,
  // in full, each once, in the order of `moves`: the files a user may remove. A move to the
  // old file itself leaves none.
  std::vector<std::string> OldFilesLeft(const std::vector<Move>& moves) const;

 private:
  FileSystem& files_;
  std::string session_name_;
  bool created_ = false;
  std::vector<CATDocument*> roots_;  // every document opened, null for a file that was not
  ProductStructure structure_;
  std::unordered_map<std::string, int> by_key_;  // storage key -> position in structure_
};

#endif  // AFTERRUN_AFTER_RUN_H
