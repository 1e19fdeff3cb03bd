// The where-used index of a project folder: every document under the folder, at any depth, with
// its file's identity, size and time, its part number and the files its components refer to.
// It is kept in an SQLite database as a cache, never as the truth: each Open refreshes it
// first, reading again only the documents whose file changed and dropping those gone, all in
// one transaction, so that a reader never sees half a refresh and a killed refresh leaves the
// previous index. A database that is damaged, another program's or of a newer schema is
// rebuilt, with a note. Two commands at once wait for each other.
#ifndef PROJECTINDEX_PROJECT_INDEX_H
#define PROJECTINDEX_PROJECT_INDEX_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "projectindex/index_refresh.h"
#include "projectindex/sqlite_database.h"
#include "projectindex/stored_paths.h"
#include "system/files.h"

// A document as the index holds it.
struct IndexedDocument {
  std::string name;  // storage name
  std::string key;   // StorageKey of the name
  bool has_product = false;
  std::string part_number;
};

// One document's use of a file: the document and the instance names of its components that
// refer to it, in file order.
struct DocumentUse {
  IndexedDocument user;
  std::vector<std::string> instances;
  std::string target;  // the key of the file used
};

// Where the index of `real_project` (a real path: no link on the way) goes unless told: the
// user's cache folder, quorvel/, a name made of a hash of the folder's storage key. Empty when
// the user has no cache folder.
std::string DefaultIndexPath(const std::string& real_project);

class ProjectIndex {
 public:
  ProjectIndex() = default;
  ProjectIndex(const ProjectIndex&) = delete;
  ProjectIndex& operator=(const ProjectIndex&) = delete;

  // Opens the index of the folder `project` at `index_path` (DefaultIndexPath when empty) and
  // refreshes it, walking the folder through `files`. False, with the reason, when the folder
  // cannot be listed or the index can be neither opened nor made. `notes` gets what the user
  // should know (a database rebuilt), one line each.
  bool Open(FileSystem& files, const std::string& project, const std::string& index_path,
            std::vector<std::string>* notes, std::string* why);

  const IndexCounts& counts() const { return counts_; }
  const std::string& project() const { return project_; }  // the folder's real storage name
  const std::string& path() const { return path_; }        // the database file

  // The keys under which references to the file `path` are found: its own, its real path's,
  // and those of indexed documents that are the same file.
  std::vector<std::string> KeysOfFile(const std::string& path);
  // The indexed document with `key`; false when there is none.
  bool FindDocument(const std::string& key, IndexedDocument* document);
  // Whether some indexed document refers to `key`.
  bool IsReferenced(const std::string& key);
  // The documents whose part number is `part_number`, in name order.
  std::vector<IndexedDocument> DocumentsWithPartNumber(const std::string& part_number);
  // The documents that refer to any of `keys` directly, in name order, each once (`target`
  // the first of its keys).
  std::vector<DocumentUse> UsersOf(const std::vector<std::string>& keys);
  // Every document that uses any of `keys`, directly or through other documents, each once.
  std::vector<IndexedDocument> AllUsersOf(const std::vector<std::string>& keys);
  // The keys of the files that the document `key` refers to, each once, in byte order.
  std::vector<std::string> FilesUsedBy(const std::string& key);
  // Every part number that a document of the project has, each once, in byte order.
  std::vector<std::string> PartNumbers();

 private:
  // Makes the schema in an empty database, or checks that it is an index of this folder.
  bool OpenDatabase(std::string* why);
  bool Refresh(std::string* why);

  FileSystem* files_ = nullptr;
  std::string project_, path_;
  StoredPaths paths_;
  SqliteDatabase database_;
  SqliteStatement users_of_;  // asked once for each document a where-used answer shows
  IndexCounts counts_;
  int failure_ = 0;         // SQLite's code of what made opening or refreshing fail
  bool untrusted_ = false;  // the database is no index of this folder in this schema
};

#endif  // PROJECTINDEX_PROJECT_INDEX_H
