// The walk of a project folder that the index is refreshed from: every folder once (links not
// followed, a folder met again through another name left out), each regular file looked at,
// and what a file holds read as the index keeps it. A first index reads every file; there the
// walk and the reading go on a thread of their own while the caller stores what they read.
#ifndef PROJECTINDEX_PROJECT_WALK_H
#define PROJECTINDEX_PROJECT_WALK_H

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "projectindex/stored_paths.h"
#include "system/files.h"

// What a file is to the index.
enum FileKind { kDocument = 0, kNotADocument = 1, kUnreadable = 2 };

// `modified` of a file that could not be read: never equal to a real time, so that it is
// tried again at each refresh (its permissions may have changed, which its time does not tell).
const int64_t kReadAgain = INT64_MIN;

// One file as read: its key and name as stored (StoredPaths), the facts it was read with, and
// for a document its part number and uses (stored key of the file used, instance name) in file
// order.
struct ReadFile {
  std::string key, name;
  FileFacts facts;
  FileKind kind = kUnreadable;
  bool has_product = false;
  std::string part_number;
  std::vector<std::pair<std::string, std::string>> uses;
};

// What a walk met that is no file to read.
struct WalkCounts {
  int64_t links = 0, other = 0, cycles = 0, unlisted = 0;
};

// Called for each regular file with its path, StorageKey and facts; false stops the walk.
using VisitFile =
    std::function<bool(const std::string& path, const std::string& key, const FileFacts& facts)>;

// Walks `project` (names whose key begins with `skip_prefix` left out: the index itself).
// False when a visit returned false.
bool WalkProject(FileSystem& files, const std::string& project, const std::string& skip_prefix,
                 WalkCounts* counts, const VisitFile& visit);

// Reads the regular file at `path` (looked at with `facts`).
ReadFile ReadProjectFile(FileSystem& files, const StoredPaths& paths, const std::string& path,
                         const std::string& key, const FileFacts& facts);

// Walks `project` and reads every file on a thread of its own, handing each, in walk order, to
// `store` on the calling thread. False when `store` returned false: the walk is stopped.
bool ReadWholeProject(FileSystem& files, const std::string& project, const std::string& skip_prefix,
                      const StoredPaths& paths, WalkCounts* counts,
                      const std::function<bool(ReadFile&)>& store);

#endif  // PROJECTINDEX_PROJECT_WALK_H
