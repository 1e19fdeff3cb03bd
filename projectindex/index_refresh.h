// One refresh of a project index: the project folder walked, the files that changed since the
// last refresh read again (every file, for a first index), and the rows of files gone dropped,
// inside the write transaction the caller holds.
#ifndef PROJECTINDEX_INDEX_REFRESH_H
#define PROJECTINDEX_INDEX_REFRESH_H

#include <cstdint>
#include <string>

#include "projectindex/sqlite_database.h"
#include "projectindex/stored_paths.h"
#include "system/files.h"

// What a refresh met. Documents unchanged since the last refresh are not read again.
struct IndexCounts {
  int64_t documents = 0;      // documents in the index after the refresh
  int64_t read = 0;           // files read (new or changed since the last refresh)
  int64_t dropped = 0;        // files gone since the last refresh
  int64_t not_documents = 0;  // regular files that are no document
  int64_t unreadable = 0;     // documents (or files) that cannot be read or opened
  int64_t links = 0;          // links, not followed
  int64_t cycles = 0;         // folders reached a second time, not walked again
  int64_t unlisted = 0;       // folders that cannot be listed
  int64_t other = 0;          // devices, FIFOs and the like
};

// Refreshes the index in `database` (its tables made) of the folder `project`, whose paths
// `paths` keeps; files whose key begins with `skip_prefix` (the index's own) are left out.
// False, with SQLite's reason, when the database fails; the caller then rolls back.
bool RefreshIndex(FileSystem& files, SqliteDatabase& database, const StoredPaths& paths,
                  const std::string& project, const std::string& skip_prefix, IndexCounts* counts,
                  std::string* why);

#endif  // PROJECTINDEX_INDEX_REFRESH_H
