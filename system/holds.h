// Holds on document files between sessions in several processes, on one machine or on machines
// that share a folder. A hold is a small file beside the document, ".quorvel-hold-" and the
// document's name, created only where none is (so one process at a time holds a file), that
// says who holds it: user, machine, process and since when. A hold whose process is gone (on
// this machine) no longer holds and is cleared by the next process that wants the file; a
// hold from another machine is named, with how to clear it, never broken. Disk() holds through
// these functions; see FileSystem::Hold and FileSystem::FindHolder in system/files.h.
#ifndef SYSTEM_HOLDS_H
#define SYSTEM_HOLDS_H

#include <cstdint>
#include <memory>
#include <string>

// Who holds a file, as its hold file tells.
struct Holder {
  std::string user;
  std::string machine;
  int64_t process = 0;    // the process number on `machine`
  int64_t started = 0;    // when that process started, in the system's own unit (0: unknown)
  int64_t since = 0;      // when the hold was taken, in seconds since 1970 (UTC)
  std::string hold_file;  // the file that keeps the hold
  std::string problem;    // no holder: why this process could not make the hold file
};

// A hold taken; destroying it releases the hold.
class FileHold {
 public:
  virtual ~FileHold() = default;
};

// The hold file of the document file at `path` (a storage name): beside the file the path
// leads to, links followed.
std::string HoldFileOf(const std::string& path);

// Holds the file at `path` for this process. Null when another running process holds it
// (`holder` then tells who), or when this process cannot make a hold file now (out of open
// files: `holder->problem` tells); a hold of a process gone from this machine is cleared
// first. A file that this process holds already is held once more. Where no hold file can be
// made (a folder this user may not write) the hold taken keeps nothing: nobody else can make
// one there either.
std::unique_ptr<FileHold> HoldDiskFile(const std::string& path, Holder* holder);

// True when another running process (or a process on another machine) holds the file at
// `path`; `holder` tells who.
bool FindDiskHolder(const std::string& path, Holder* holder);

// "held by USER on MACHINE (process N, since DATE TIME UTC)", and for a holder on another
// machine how to clear a hold that outlived its process.
std::string DescribeHolder(const Holder& holder);

// The text of a hold file, and a hold file's text read back; false when it is not one.
std::string HoldText(const Holder& holder);
bool ParseHoldText(const std::string& text, Holder* holder);

#endif  // SYSTEM_HOLDS_H
