#include "projectindex/project_index.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <set>
#include <thread>

#include "CATDocumentLinks.h"
#include "system/paths.h"

namespace {

// "QRVX" in the database header: what tells a project index from any other SQLite database.
const int64_t kApplicationId = 0x51525658;
const int64_t kSchemaVersion = 1;
// Another command holding the index is waited for this long (a first index of a large
// project takes that long at most).
const int kBusyMs = 10 * 60 * 1000;
// Files larger than this are not read: no document is, and memory stays bounded.
const uint64_t kLargestDocument = uint64_t{256} << 20;
// `modified` of a file that could not be read: never equal to a real time, so that it is
// tried again at each refresh (its permissions may have changed, which its time does not tell).
const int64_t kReadAgain = INT64_MIN;

enum Kind { kDocument = 0, kNotADocument = 1, kUnreadable = 2 };

const char kSchema[] =
    "CREATE TABLE project(folder TEXT NOT NULL, generation INTEGER NOT NULL);"
    "CREATE TABLE files(id INTEGER PRIMARY KEY, key TEXT NOT NULL UNIQUE, name TEXT NOT NULL,"
    " device INTEGER NOT NULL, number INTEGER NOT NULL, size INTEGER NOT NULL,"
    " modified INTEGER NOT NULL, kind INTEGER NOT NULL, has_product INTEGER NOT NULL,"
    " part_number TEXT NOT NULL, seen INTEGER NOT NULL);"
    "CREATE INDEX files_part_number ON files(part_number);"
    "CREATE INDEX files_identity ON files(device, number);"
    "CREATE TABLE uses(user INTEGER NOT NULL, target TEXT NOT NULL, instance TEXT NOT NULL);"
    "CREATE INDEX uses_target ON uses(target);"
    "CREATE INDEX uses_user ON uses(user);";

std::string Hex(uint64_t value) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
  return text;
}

// 64-bit FNV-1a: the same name for the same folder on every run and every system.
uint64_t Hash(const std::string& text) {
  uint64_t hash = 0xcbf29ce484222325ULL;
  for (unsigned char c : text) hash = (hash ^ c) * 0x100000001b3ULL;
  return hash;
}

std::string Quote(const std::string& path) { return "\"" + path + "\""; }

// The file at `path` begins as a project index does: SQLite's header with our application id.
bool LooksLikeIndex(FileSystem& files, const std::string& path) {
  std::string bytes;
  FileFacts facts;
  if (!files.CurrentFacts(path, &facts) || facts.size > (uint64_t{1} << 30) ||
      !files.ReadRegularFile(path, &bytes, &facts) || bytes.size() < 100) {
    return false;
  }
  std::string id;
  for (int shift = 24; shift >= 0; shift -= 8) id.push_back(char((kApplicationId >> shift) & 0xff));
  return bytes.compare(0, 16, std::string("SQLite format 3\0", 16)) == 0 &&
         bytes.compare(68, 4, id) == 0;
}

IndexedDocument DocumentOf(const SqliteStatement& row, int first) {
  IndexedDocument document;
  document.name = row.Text(first);
  document.key = row.Text(first + 1);
  document.has_product = row.Integer(first + 2) != 0;
  document.part_number = row.Text(first + 3);
  return document;
}

// Walks a project folder and writes what it finds into the database, file by file, inside the
// transaction the caller holds.
class Refresher {
 public:
  Refresher(FileSystem& files, sqlite3* database, const std::string& skip_prefix,
            IndexCounts* counts)
      : files_(files), database_(database), skip_prefix_(skip_prefix), counts_(*counts) {}

  bool Run(const std::string& project, std::string* why) {
    if (!Prepare()) return Fail(why);
    int code = 0;
    if (!generation_.Step(&code)) return Fail(why);
    const int64_t generation = generation_.Integer(0);
    generation_.Reset();
    bump_.Bind(1, generation + 1);
    if (bump_.Step(&code), code != SQLITE_DONE) return Fail(why);
    generation_now_ = generation + 1;
    std::vector<std::string> folders = {project};
    std::set<FileId> walked;
    while (!folders.empty()) {
      const std::string folder = folders.back();
      folders.pop_back();
      FileId id;
      if (files_.FindFileId(folder, &id) && !walked.insert(id).second) {
        ++counts_.cycles;
        continue;
      }
      std::vector<std::string> names;
      if (!files_.ListFolder(folder, &names)) {
        ++counts_.unlisted;
        continue;
      }
      std::sort(names.begin(), names.end());
      for (const std::string& name : names) {
        const std::string path = folder + (folder.back() == '/' ? "" : "/") + name;
        if (!skip_prefix_.empty() &&
            StorageKey(path).compare(0, skip_prefix_.size(), skip_prefix_) == 0) {
          continue;  // the index itself, kept in the folder
        }
        if (files_.IsLink(path)) {
          ++counts_.links;
        } else if (files_.IsFolder(path)) {
          folders.push_back(path);
        } else if (!Look(path)) {
          return Fail(why);
        }
      }
    }
    return Finish(why);
  }

 private:
  bool Prepare() {
    return generation_.Prepare(database_, "SELECT generation FROM project") &&
           bump_.Prepare(database_, "UPDATE project SET generation = ?") &&
           find_.Prepare(
               database_,
               "SELECT id, device, number, size, modified, kind FROM files WHERE key = ?") &&
           seen_.Prepare(database_, "UPDATE files SET seen = ? WHERE id = ?") &&
           store_.Prepare(database_,
                          "INSERT INTO files(key, name, device, number, size, modified, kind,"
                          " has_product, part_number, seen) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"
                          " ON CONFLICT(key) DO UPDATE SET name = excluded.name,"
                          " device = excluded.device, number = excluded.number,"
                          " size = excluded.size, modified = excluded.modified,"
                          " kind = excluded.kind, has_product = excluded.has_product,"
                          " part_number = excluded.part_number, seen = excluded.seen"
                          " RETURNING id") &&
           forget_.Prepare(database_, "DELETE FROM uses WHERE user = ?") &&
           use_.Prepare(database_, "INSERT INTO uses(user, target, instance) VALUES(?, ?, ?)");
  }

  bool Fail(std::string* why) {
    *why = sqlite3_errmsg(database_);
    return false;
  }

  void Count(int64_t kind) {
    if (kind == kDocument) ++counts_.documents;
    if (kind == kNotADocument) ++counts_.not_documents;
    if (kind == kUnreadable) ++counts_.unreadable;
  }

  // Looks at one entry of a folder: an unchanged file is only marked seen, any other read.
  bool Look(const std::string& path) {
    FileFacts facts;
    if (!files_.CurrentFacts(path, &facts)) {
      ++counts_.other;  // a device, a FIFO, or gone since the folder was listed
      return true;
    }
    const std::string key = StorageKey(path);
    int code = 0;
    find_.Bind(1, key);
    if (find_.Step(&code)) {
      const bool same = static_cast<uint64_t>(find_.Integer(1)) == facts.id.device &&
                        static_cast<uint64_t>(find_.Integer(2)) == facts.id.number &&
                        static_cast<uint64_t>(find_.Integer(3)) == facts.size &&
                        find_.Integer(4) == facts.modified;
      const int64_t id = find_.Integer(0), kind = find_.Integer(5);
      find_.Reset();
      if (same) {
        Count(kind);
        seen_.Bind(1, generation_now_);
        seen_.Bind(2, id);
        seen_.Step(&code);
        seen_.Reset();
        return code == SQLITE_DONE;
      }
    } else {
      find_.Reset();
      if (code != SQLITE_DONE) return false;
    }
    return Read(path, key, facts);
  }

  bool Read(const std::string& path, const std::string& key, FileFacts facts) {
    ++counts_.read;
    std::string bytes;
    DocumentLinks links;
    int64_t kind = kUnreadable;
    if (facts.size > kLargestDocument) {
      kind = kNotADocument;
    } else if (!files_.ReadRegularFile(path, &bytes, &facts)) {
      facts.modified = kReadAgain;
    } else {
      const DocumentKind read = ReadDocumentLinks(bytes, path, &links);
      kind = read == DocumentKind::kDocument       ? kDocument
             : read == DocumentKind::kNotADocument ? kNotADocument
                                                   : kUnreadable;
    }
    bytes = std::string();
    Count(kind);
    store_.Bind(1, key);
    store_.Bind(2, path);
    store_.Bind(3, static_cast<int64_t>(facts.id.device));
    store_.Bind(4, static_cast<int64_t>(facts.id.number));
    store_.Bind(5, static_cast<int64_t>(facts.size));
    store_.Bind(6, facts.modified);
    store_.Bind(7, kind);
    store_.Bind(8, int64_t{links.has_product ? 1 : 0});
    store_.Bind(9, links.part_number);
    store_.Bind(10, generation_now_);
    int code = 0;
    if (!store_.Step(&code)) return false;
    const int64_t id = store_.Integer(0);
    store_.Step(&code);
    store_.Reset();
    if (code != SQLITE_DONE) return false;
    forget_.Bind(1, id);
    forget_.Step(&code);
    forget_.Reset();
    if (code != SQLITE_DONE) return false;
    for (const DocumentLink& link : links.links) {
      use_.Bind(1, id);
      use_.Bind(2, StorageKey(link.target));
      use_.Bind(3, link.instance);
      use_.Step(&code);
      use_.Reset();
      if (code != SQLITE_DONE) return false;
    }
    return true;
  }

  // Drops what the walk did not meet.
  bool Finish(std::string* why) {
    SqliteStatement gone, drop_uses, drop_files;
    int code = 0;
    if (!gone.Prepare(database_, "SELECT count(*) FROM files WHERE seen <> ?") ||
        !drop_uses.Prepare(
            database_, "DELETE FROM uses WHERE user IN (SELECT id FROM files WHERE seen <> ?)") ||
        !drop_files.Prepare(database_, "DELETE FROM files WHERE seen <> ?")) {
      return Fail(why);
    }
    gone.Bind(1, generation_now_);
    if (!gone.Step(&code)) return Fail(why);
    counts_.dropped = gone.Integer(0);
    for (SqliteStatement* statement : {&drop_uses, &drop_files}) {
      statement->Bind(1, generation_now_);
      if (statement->Step(&code), code != SQLITE_DONE) return Fail(why);
    }
    return true;
  }

  FileSystem& files_;
  sqlite3* database_;
  std::string skip_prefix_;
  IndexCounts& counts_;
  int64_t generation_now_ = 0;
  SqliteStatement generation_, bump_, find_, seen_, store_, forget_, use_;
};

}  // namespace

std::string DefaultIndexPath(const std::string& real_project) {
  const std::string cache = UserCacheFolder();
  if (cache.empty()) return std::string();
  return cache + "/quorvel/project-" + Hex(Hash(StorageKey(real_project))) + ".sqlite";
}

bool ProjectIndex::Open(FileSystem& files, const std::string& project,
                        const std::string& index_path, std::vector<std::string>* notes,
                        std::string* why) {
  files_ = &files;
  project_ = files.RealPath(project);
  std::vector<std::string> names;
  if (project_.empty() || !files.IsFolder(project_) || !files.ListFolder(project_, &names)) {
    *why = "cannot read the folder " + Quote(StorageName(project));
    return false;
  }
  const bool default_place = index_path.empty();
  path_ = default_place ? DefaultIndexPath(project_) : StorageName(index_path);
  if (path_.empty()) {
    *why = "no folder to keep the index in: name one with --index";
    return false;
  }
  if (default_place && !files.MakeFolders(DirectoryOf(path_), why)) return false;
  // Another command that holds the index is waited for, also where SQLite gives up waiting
  // itself (a journal mode changed under a writer, file locks that Wine does not share).
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyMs);
  for (int attempt = 0;;) {
    std::string problem;
    if (!database_.Open(path_, kBusyMs, why)) {
      *why = "cannot open the index " + Quote(path_) + ": " + *why;
      return false;
    }
    counts_ = IndexCounts();
    failure_ = 0;
    untrusted_ = false;
    const bool opened = OpenDatabase(&problem) && Refresh(&problem);
    if (opened) return true;
    if ((failure_ == SQLITE_BUSY || failure_ == SQLITE_LOCKED) &&
        std::chrono::steady_clock::now() < deadline) {
      database_.Close();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      continue;
    }
    const bool damaged = IsDamage(failure_) || untrusted_;
    if (!damaged || attempt > 0) {
      *why = "cannot use the index " + Quote(path_) + ": " + problem;
      return false;
    }
    // A file that is no index of ours is only replaced in the place kept for indexes.
    if (!default_place && !LooksLikeIndex(files, path_)) {
      *why = Quote(path_) + " is not a project index (" + problem +
             "): remove it or name another file with --index";
      return false;
    }
    database_.Close();
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
      std::string ignored;
      files.RemoveFile(path_ + suffix, &ignored);
    }
    notes->push_back("the index " + Quote(path_) + " was rebuilt: " + problem);
    ++attempt;
  }
}

bool ProjectIndex::OpenDatabase(std::string* why) {
  std::string ignored;
  failure_ = SQLITE_OK;
  // Readers go on while a refresh writes; where the system cannot share memory for that
  // (a network share), the rollback journal stays, and readers wait instead. A page cache of
  // 32 MiB keeps a first index of a large project from spilling its indexes to the log.
  if (!database_.Execute("PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL;"
                         " PRAGMA cache_size = -32768",
                         why) ||
      !database_.Execute("BEGIN IMMEDIATE", why)) {
    failure_ = database_.last_error();
    return false;
  }
  int64_t application = 0, version = 0, tables = 0;
  bool ok = database_.QueryInteger("PRAGMA application_id", &application, why) &&
            database_.QueryInteger("PRAGMA user_version", &version, why) &&
            database_.QueryInteger("SELECT count(*) FROM sqlite_schema", &tables, why);
  if (ok && application == 0 && version == 0 && tables == 0) {
    SqliteStatement folder;
    int code = 0;
    ok = database_.Execute(kSchema, why) &&
         database_.Execute(("PRAGMA application_id = " + std::to_string(kApplicationId) +
                            "; PRAGMA user_version = " + std::to_string(kSchemaVersion))
                               .c_str(),
                           why) &&
         folder.Prepare(database_.handle(), "INSERT INTO project VALUES(?, 0)");
    if (ok) {
      folder.Bind(1, StorageKey(project_));
      folder.Step(&code);
      ok = code == SQLITE_DONE;
      if (!ok) *why = database_.last_message();
    }
    application = kApplicationId;
    version = kSchemaVersion;
  }
  if (!ok) failure_ = database_.last_error();
  if (ok && application != kApplicationId) {
    *why = "it is not a project index of Quorvel";
    ok = false;
    untrusted_ = true;
  } else if (ok && version != kSchemaVersion) {
    *why = "it is of another version of Quorvel (schema " + std::to_string(version) + ")";
    ok = false;
    untrusted_ = true;
  }
  if (ok) {
    SqliteStatement folder;
    int code = 0;
    ok = folder.Prepare(database_.handle(), "SELECT folder FROM project") && folder.Step(&code);
    if (!ok) {
      *why = "it holds no project";
    } else if (folder.Text(0) != StorageKey(project_)) {
      *why = "it is the index of another folder, " + Quote(folder.Text(0));
      ok = false;
    }
    untrusted_ = !ok;
  }
  database_.Execute(ok ? "COMMIT" : "ROLLBACK", &ignored);
  return ok;
}

bool ProjectIndex::Refresh(std::string* why) {
  std::string ignored;
  if (!database_.Execute("BEGIN IMMEDIATE", why)) {
    failure_ = database_.last_error();
    return false;
  }
  // The index and its journals, when they are kept inside the project.
  const std::string skip = StorageKey(path_);
  Refresher refresher(*files_, database_.handle(), skip, &counts_);
  if (!refresher.Run(project_, why)) {
    failure_ = database_.last_error();
    database_.Execute("ROLLBACK", &ignored);
    return false;
  }
  if (!database_.Execute("COMMIT", why)) {
    failure_ = database_.last_error();
    database_.Execute("ROLLBACK", &ignored);
    return false;
  }
  return true;
}

std::vector<std::string> ProjectIndex::KeysOfFile(const std::string& path) {
  const std::string name = StorageName(path);
  std::set<std::string> keys = {StorageKey(name)};
  const std::string real = files_->RealPath(name);
  if (!real.empty()) keys.insert(StorageKey(real));
  FileId id;
  SqliteStatement same;
  int code = 0;
  if (files_->FindFileId(name, &id) &&
      same.Prepare(database_.handle(), "SELECT key FROM files WHERE device = ? AND number = ?")) {
    same.Bind(1, static_cast<int64_t>(id.device));
    same.Bind(2, static_cast<int64_t>(id.number));
    while (same.Step(&code)) keys.insert(same.Text(0));
  }
  return std::vector<std::string>(keys.begin(), keys.end());
}

bool ProjectIndex::FindDocument(const std::string& key, IndexedDocument* document) {
  SqliteStatement find;
  int code = 0;
  if (!find.Prepare(database_.handle(),
                    "SELECT name, key, has_product, part_number FROM files"
                    " WHERE key = ? AND kind = 0")) {
    return false;
  }
  find.Bind(1, key);
  if (!find.Step(&code)) return false;
  *document = DocumentOf(find, 0);
  return true;
}

bool ProjectIndex::IsReferenced(const std::string& key) {
  SqliteStatement find;
  int code = 0;
  if (!find.Prepare(database_.handle(), "SELECT 1 FROM uses WHERE target = ? LIMIT 1")) {
    return false;
  }
  find.Bind(1, key);
  return find.Step(&code);
}

std::vector<IndexedDocument> ProjectIndex::DocumentsWithPartNumber(const std::string& part_number) {
  std::vector<IndexedDocument> documents;
  SqliteStatement find;
  int code = 0;
  if (!find.Prepare(database_.handle(),
                    "SELECT name, key, has_product, part_number FROM files"
                    " WHERE part_number = ? AND kind = 0 AND has_product <> 0 ORDER BY name")) {
    return documents;
  }
  find.Bind(1, part_number);
  while (find.Step(&code)) documents.push_back(DocumentOf(find, 0));
  return documents;
}

std::vector<DocumentUse> ProjectIndex::UsersOf(const std::vector<std::string>& keys) {
  std::vector<DocumentUse> uses;
  SqliteStatement find;
  int code = 0;
  if (!find.Prepare(database_.handle(),
                    "SELECT f.name, f.key, f.has_product, f.part_number, u.instance FROM uses u"
                    " JOIN files f ON f.id = u.user WHERE u.target = ? AND f.kind = 0"
                    " ORDER BY f.name, u.rowid")) {
    return uses;
  }
  for (const std::string& key : keys) {
    find.Bind(1, key);
    const size_t first = uses.size();
    while (find.Step(&code)) {
      if (uses.size() == first || uses.back().user.key != find.Text(1)) {
        uses.push_back({DocumentOf(find, 0), {}, key});
      }
      uses.back().instances.push_back(find.Text(4));
    }
    find.Reset();
  }
  std::stable_sort(uses.begin(), uses.end(), [](const DocumentUse& a, const DocumentUse& b) {
    return a.user.name < b.user.name;
  });
  // A document that refers to the file under several keys is one user of it.
  std::vector<DocumentUse> merged;
  for (DocumentUse& use : uses) {
    if (!merged.empty() && merged.back().user.key == use.user.key) {
      merged.back().instances.insert(merged.back().instances.end(), use.instances.begin(),
                                     use.instances.end());
    } else {
      merged.push_back(std::move(use));
    }
  }
  return merged;
}

std::vector<IndexedDocument> ProjectIndex::AllUsersOf(const std::vector<std::string>& keys) {
  std::vector<IndexedDocument> found;
  std::set<std::string> met(keys.begin(), keys.end());
  std::vector<std::string> pending(keys.begin(), keys.end());
  while (!pending.empty()) {
    const std::vector<DocumentUse> uses = UsersOf({pending.back()});
    pending.pop_back();
    for (const DocumentUse& use : uses) {
      if (!met.insert(use.user.key).second) continue;
      found.push_back(use.user);
      pending.push_back(use.user.key);
    }
  }
  return found;
}

std::vector<std::string> ProjectIndex::FilesUsedBy(const std::string& key) {
  std::vector<std::string> targets;
  SqliteStatement find;
  int code = 0;
  if (!find.Prepare(database_.handle(),
                    "SELECT DISTINCT u.target FROM uses u JOIN files f ON f.id = u.user"
                    " WHERE f.key = ? ORDER BY u.target")) {
    return targets;
  }
  find.Bind(1, key);
  while (find.Step(&code)) targets.push_back(find.Text(0));
  return targets;
}

std::vector<std::string> ProjectIndex::PartNumbers() {
  std::vector<std::string> part_numbers;
  SqliteStatement find;
  int code = 0;
  if (!find.Prepare(database_.handle(),
                    "SELECT DISTINCT part_number FROM files WHERE kind = 0 AND has_product <> 0"
                    " ORDER BY part_number")) {
    return part_numbers;
  }
  while (find.Step(&code)) part_numbers.push_back(find.Text(0));
  return part_numbers;
}
