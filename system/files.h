// Files on the operating system as documents are kept in them: read only from regular files,
// told apart by what they are (not by how a path spells them), and replaced whole through a
// temporary file beside them. Whether a file may be replaced is decided here, once, for the
// saves themselves and for the companions that predict them. A process may also choose to
// write nothing: replacements are then kept in memory, and every read of this layer sees them
// as the files they would have become. Every system call on files is behind this header;
// files_posix.cc and files_windows.cc implement it for each system.
#ifndef SYSTEM_FILES_H
#define SYSTEM_FILES_H

#include <cstdint>
#include <string>
#include <vector>

// Which file a path reaches (device and file number), whatever links the path goes through.
struct FileId {
  uint64_t device = 0;
  uint64_t number = 0;
  friend bool operator<(const FileId& a, const FileId& b) {
    return a.device != b.device ? a.device < b.device : a.number < b.number;
  }
  friend bool operator==(const FileId& a, const FileId& b) {
    return a.device == b.device && a.number == b.number;
  }
  friend bool operator!=(const FileId& a, const FileId& b) { return !(a == b); }
};

// What a file is: its identity, permission bits, size and time of its last change. Two facts
// that are equal tell a file that nobody has written since.
struct FileFacts {
  FileId id;
  unsigned permissions = 0644;
  uint64_t size = 0;
  int64_t modified = 0;  // in the system's own unit
  bool SameContentAs(const FileFacts& other) const {
    return id == other.id && size == other.size && modified == other.modified;
  }
};

// The bytes of the regular file at `path`. False when the path reaches anything else (a
// folder, a device, a FIFO...) or cannot be read; never waits for a writer.
bool ReadRegularFile(const std::string& path, std::string* bytes, FileFacts* facts);

// The file that `path` reaches, links followed; false when there is none.
bool FindFileId(const std::string& path, FileId* id);

// The facts of the regular file at `path` as they are now; false when there is none.
bool CurrentFacts(const std::string& path, FileFacts* facts);

// True when `a` and `b` name one file: the same storage key, or the same existing file
// reached through links, or one new name in one folder reached through linked folders.
bool SameFile(const std::string& a, const std::string& b);

// Why the file at `target` (a storage name) may not be replaced by a save, or written where
// nothing is yet: no such folder, a folder the user may not write, a folder or device or link
// that leads nowhere in its place, a read-only file, a name no file can have. Empty when it
// may. The reason names the path.
std::string WhyNotReplace(const std::string& target);

// While one lives, the process writes no file: each replacement is kept in memory instead, and
// ReadRegularFile, FindFileId, CurrentFacts, SameFile and WhyNotReplace see it as the file it
// would have become. For the companions that run a plan to see what it would do. At its end
// what was kept is forgotten.
class NothingWritten {
 public:
  NothingWritten();
  ~NothingWritten();
  NothingWritten(const NothingWritten&) = delete;
  NothingWritten& operator=(const NothingWritten&) = delete;
};
bool WritingNothing();

// Makes `folder` and the folders above it that are missing; while writing nothing, keeps them
// in memory instead, where WhyNotReplace and the kept files find them. False, with the
// system's reason naming the folder, when one cannot be made.
bool MakeFolders(const std::string& folder, std::string* why);

// Replaces one file: a new temporary file ".quorvel-save-XXXXXX" in the target's folder,
// created so that it cannot be anything that was there before, gets the replaced file's
// permissions (and its owner and group where the process may set them) and the bytes, all
// through its open descriptor; Commit flushes it and renames it over the target if that name
// still holds the file that was written. A target that WhyNotReplace refuses is never
// replaced. Until committed, the temporary file goes when the replacement does.
class FileReplacement {
 public:
  FileReplacement() = default;
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;
  ~FileReplacement();

  // Prepares the replacement of `target` (an absolute path); `new_permissions` are used when
  // no file is there yet. False, with nothing left behind, when the target may not be
  // replaced or no temporary file can be made.
  bool Begin(const std::string& target, unsigned new_permissions);
  bool Write(const std::string& bytes);
  // True when the target is now the written file; `written` then tells its facts.
  bool Commit(FileFacts* written);

  // The temporary file's path while there is one.
  const std::string& temporary_path() const { return temporary_path_; }

 private:
  // A fresh name for the temporary file: ".quorvel-save-" and six random letters of one case
  // or digits (names that differ in case alone are one name on Windows).
  static std::string TemporaryName();
  void Discard();
  bool BeginOnDisk(const std::string& target, unsigned new_permissions);
  bool CommitOnDisk(FileFacts* written);

  std::intptr_t folder_ = -1;  // the target's folder, opened once (POSIX)
  std::intptr_t file_ = -1;    // the temporary file, open for writing (on Windows a handle)
  std::string target_, target_name_, temporary_name_, temporary_path_;
  bool failed_ = false;
  bool in_memory_ = false;  // the process writes nothing: the bytes are kept in memory
  unsigned permissions_ = 0;
  std::string bytes_;
};

// One answer to "may this document be saved to this path?", as the platform gave it: kept for
// the companions that run a plan to see what it would do, and to say why a save would fail.
struct SaveAnswer {
  std::string target;     // the storage name saved to
  std::string refusal;    // empty when the save was made
  bool replaced = false;  // a file was there already and is replaced
};
void NoteSaveAnswer(const SaveAnswer& answer);
// The answers given since the last call, in order; the list is then empty again.
std::vector<SaveAnswer> TakeSaveAnswers();

#endif  // SYSTEM_FILES_H
