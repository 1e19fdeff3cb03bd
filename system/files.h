// Files as documents are kept in them: read only from regular files, told apart by what they
// are (not by how a path spells them), and replaced whole through a temporary file beside
// them. Whether a file may be replaced is decided here, once, for the saves themselves and for
// the companions that predict them. The file system is an interface passed to whoever reads or
// writes; every system call on files is behind it, in files_posix.cc and files_windows.cc.
#ifndef SYSTEM_FILES_H
#define SYSTEM_FILES_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "system/holds.h"

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

// What a walk of a folder meets at one name, looked at without following a link.
struct FolderEntry {
  enum Kind { kLink, kFolder, kRegularFile, kOther };
  std::string name;
  Kind kind = kOther;  // kOther: a device, a FIFO, or gone since the folder was listed
  FileFacts facts;     // of a regular file
};

// One answer to "may this document be saved to this path?", as the platform gave it: kept by
// a session that is asked to keep them, for the companions that run a plan to see what it
// would do and to say why a save would fail.
struct SaveAnswer {
  std::string target;     // the storage name saved to
  std::string refusal;    // empty when the save was made
  bool replaced = false;  // a file was there already and is replaced
};

// The replacement of one file, begun by FileSystem::BeginReplacement: the bytes go to a
// temporary file (or memory) and Commit puts them in place whole. Destroyed uncommitted, it
// leaves the target as it was and nothing beside it.
class FileReplacement {
 public:
  virtual ~FileReplacement() = default;
  virtual bool Write(const std::string& bytes) = 0;
  // True when the target is now the written file; `written` then tells its facts.
  virtual bool Commit(FileFacts* written) = 0;
  // From now on Commit puts the file in place only while the target still is the file that
  // `facts` tell (identity, size and time of change), or with null only while there is none:
  // a change made by a program that ignores holds is kept, and the save refused.
  virtual void ExpectTarget(const FileFacts* facts) {
    expects_ = true;
    expects_file_ = facts != nullptr;
    if (facts != nullptr) expected_ = *facts;
  }
  // The temporary file's path while there is one (empty where the bytes are kept in memory).
  virtual std::string temporary_path() const { return std::string(); }

 protected:
  // Whether the target as it is now (`there`: a regular file, with the facts `now`) is what
  // ExpectTarget told; true when nothing was told.
  bool AsExpected(bool there, const FileFacts& now) const {
    return !expects_ || (there == expects_file_ && (!there || now.SameContentAs(expected_)));
  }
  bool expects_ = false;       // ExpectTarget was told
  bool expects_file_ = false;  // and a file is to be there
  FileFacts expected_;
};

// The files a program reads and writes, passed in rather than reached for: Disk() for the
// system's own, a MemoryOverlay (system/memory_overlay.h) that keeps every write in memory for
// sessions that write nothing, a FaultyFiles (system/faulty_files.h) that fails chosen
// operations for tests. Paths are storage names or paths made so by StorageName.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // The bytes of the regular file at `path`. False when the path reaches anything else (a
  // folder, a device, a FIFO...) or cannot be read; never waits for a writer.
  virtual bool ReadRegularFile(const std::string& path, std::string* bytes, FileFacts* facts) = 0;
  // The file that `path` reaches, links followed (a folder is a file too); false when none.
  virtual bool FindFileId(const std::string& path, FileId* id) = 0;
  // The facts of the regular file at `path` as they are now; false when there is none.
  virtual bool CurrentFacts(const std::string& path, FileFacts* facts) = 0;
  // True when `path` reaches a folder.
  virtual bool IsFolder(const std::string& path) = 0;
  // The names in `folder` (without "." and ".."), in no order; false when it cannot be listed.
  virtual bool ListFolder(const std::string& folder, std::vector<std::string>* names) = 0;
  // The entries of `folder`, in no order, each looked at once: what a walk of a large folder
  // asks. False when the folder cannot be listed.
  virtual bool ListFolderEntries(const std::string& folder, std::vector<FolderEntry>* entries);

  // Why the file at `target` (a storage name) may not be replaced by a save, or written where
  // nothing is yet: no such folder, a folder the user may not write, a folder or device or
  // link that leads nowhere in its place, a read-only file, a name no file can have. Empty
  // when it may. The reason names the path.
  virtual std::string WhyNotReplace(const std::string& target) = 0;
  // Makes `folder` and the folders above it that are missing. False, with the system's reason
  // naming the folder, when one cannot be made.
  virtual bool MakeFolders(const std::string& folder, std::string* why) = 0;
  // Begins replacing `target` (a storage name); `new_permissions` are used when no file is
  // there yet, otherwise the replaced file's. Null, with nothing left behind, when
  // WhyNotReplace refuses the target or no temporary file can be made. A link at the target's
  // name is replaced itself; the file it led to is left as it was.
  virtual std::unique_ptr<FileReplacement> BeginReplacement(const std::string& target,
                                                            unsigned new_permissions) = 0;
  // Removes the file (not a folder) at `path`; false, with the reason, when it cannot.
  virtual bool RemoveFile(const std::string& path, std::string* why) = 0;
  // True where what is written stays in memory: nothing reaches the disk.
  virtual bool KeepsWritesInMemory() const = 0;

  // Holds the document file at `path` for this process until the hold is destroyed, so that
  // the sessions of other processes (on this machine or another one sharing the folder) do not
  // open it or save over it meanwhile. Null when another process holds it: `holder` tells who.
  // A file system that writes nothing takes no hold, and refuses where another process holds.
  virtual std::unique_ptr<FileHold> Hold(const std::string& path, Holder* holder);
  // True when another process holds the file at `path` (system/holds.h); `holder` tells who.
  virtual bool FindHolder(const std::string& path, Holder* holder);

  // True when `a` and `b` name one file: the same storage key, or the same existing file
  // reached through links, or one new name in one folder reached through linked folders.
  bool SameFile(const std::string& a, const std::string& b);
  // Writes `bytes` as the whole file `path` through BeginReplacement; false, with the reason
  // naming the file, when it is refused or not written in full. Only what was at `path` when
  // it began is replaced: a file that another program wrote there meanwhile is kept, and the
  // reason says so (WrittenMeanwhile).
  bool WriteWholeFile(const std::string& path, const std::string& bytes, unsigned new_permissions,
                      std::string* why);
  // True when `path` no longer holds the file that `facts` tell (identity, size, time of
  // change), or with null when something is there now: a writer that began before has lost
  // its target to another.
  bool ChangedSince(const std::string& path, const FileFacts* facts);

  // Where a file that does not exist yet would be: its folder's identity and the folded name in
  // it; empty when the folder does not exist. Names that reach one folder give one key.
  virtual std::string NewFileKey(const std::string& path);

  // True when `path` is itself a symbolic link, wherever it leads (or nowhere).
  virtual bool IsLink(const std::string& path) = 0;
  // The storage name of what `path` reaches with every link on the way resolved; empty when
  // it reaches nothing.
  virtual std::string RealPath(const std::string& path) = 0;
  // The storage name of the file that the link at `path` leads to, links followed to the end;
  // empty when `path` is no link (or leads nowhere). A save to `path` replaces the link itself.
  std::string LinkTarget(const std::string& path) {
    return IsLink(path) ? RealPath(path) : std::string();
  }

  // The bytes this user may still write on the volume that holds `folder`; false when the
  // system cannot tell. The system's answer (system/folders.h) unless a file system says less.
  virtual bool FreeSpace(const std::string& folder, uint64_t* bytes);
};

// The process's disk.
FileSystem& Disk();

// The reason a write gives when another program wrote its target meanwhile (ChangedSince):
// "\"PATH\" was written by another program meanwhile; nothing written".
std::string WrittenMeanwhile(const std::string& path);

// A new folder under the system's folder for temporary files that only this user may enter,
// for a library that writes files by name alone: no one else can plant a link or a file in it.
// Destroyed, it is removed with the files in it. path() is empty when none could be made.
class PrivateFolder {
 public:
  PrivateFolder();
  ~PrivateFolder();
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The folder where the user's programs keep what they can make again: $XDG_CACHE_HOME, else
// ~/.cache, on Windows %LOCALAPPDATA%, as a storage name; empty when the environment names none.
std::string UserCacheFolder();

#endif  // SYSTEM_FILES_H
