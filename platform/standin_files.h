// The stand-in's files on the operating system: documents are read only from regular files,
// files are told apart by what they are (not by how a path spells them), and a file is
// replaced whole through a temporary file beside it. Every system call of the stand-in's
// files is behind this header; standin_files_posix.cc and standin_files_windows.cc implement
// it for each system.
#ifndef PLATFORM_STANDIN_FILES_H
#define PLATFORM_STANDIN_FILES_H

#include <cstdint>
#include <string>

// Which file a path reaches (device and file number), whatever links the path goes through.
struct StandinFileId {
  uint64_t device = 0;
  uint64_t number = 0;
  friend bool operator<(const StandinFileId& a, const StandinFileId& b) {
    return a.device != b.device ? a.device < b.device : a.number < b.number;
  }
  friend bool operator==(const StandinFileId& a, const StandinFileId& b) {
    return a.device == b.device && a.number == b.number;
  }
};

// What a read file was: its identity and its permission bits.
struct StandinFileFacts {
  StandinFileId id;
  unsigned permissions = 0644;
};

// The bytes of the regular file at `path`. False when the path reaches anything else (a
// folder, a device, a FIFO...) or cannot be read; never waits for a writer.
bool ReadRegularFile(const std::string& path, std::string* bytes, StandinFileFacts* facts);

// The file that `path` reaches, links followed; false when there is none.
bool FindFileId(const std::string& path, StandinFileId* id);

// Replaces one file: a new temporary file ".quorvel-save-XXXXXX" in the target's folder,
// created so that it cannot be anything that was there before, gets the replaced file's
// permissions (and its owner and group where the process may set them) and the bytes, all
// through its open descriptor; Commit flushes it and renames it over the target if that name
// still holds the file that was written. A target that is not a regular file, or that the
// user may not write (or nobody may), is never replaced. Until committed, the temporary file
// goes when the replacement does.
class StandinReplacement {
 public:
  StandinReplacement() = default;
  StandinReplacement(const StandinReplacement&) = delete;
  StandinReplacement& operator=(const StandinReplacement&) = delete;
  ~StandinReplacement();

  // Prepares the replacement of `target` (an absolute path); `new_permissions` are used when
  // no file is there yet. False, with nothing left behind, when the target may not be
  // replaced or no temporary file can be made.
  bool Begin(const std::string& target, unsigned new_permissions);
  bool Write(const std::string& bytes);
  // True when the target is now the written file; `written` then tells which file that is.
  bool Commit(StandinFileId* written);

  // The temporary file's path while there is one.
  const std::string& temporary_path() const { return temporary_path_; }

 private:
  // A fresh name for the temporary file: ".quorvel-save-" and six random letters of one case
  // or digits (names that differ in case alone are one name on Windows).
  static std::string TemporaryName();
  void Discard();

  std::intptr_t folder_ = -1;  // the target's folder, opened once (POSIX)
  std::intptr_t file_ = -1;    // the temporary file, open for writing (on Windows a handle)
  std::string target_name_, temporary_name_, temporary_path_;
  bool failed_ = false;
};

#endif  // PLATFORM_STANDIN_FILES_H
