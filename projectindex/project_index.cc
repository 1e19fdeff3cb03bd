#include "projectindex/project_index.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <set>
#include <thread>

#include "projectindex/index_refresh.h"
#include "system/paths.h"

namespace {

// "QRVX" in the database header: what tells a project index from any other SQLite database.
const int64_t kApplicationId = 0x51525658;
const int64_t kSchemaVersion = 2;
// Another command holding the index is waited for this long (a first index of a large
// project takes that long at most).
const int kBusyMs = 10 * 60 * 1000;

// A document's uses are kept in file order under the document (`seq`), so that reading a
// document again replaces one range of rows.
const char kSchema[] =
    "CREATE TABLE project(folder TEXT NOT NULL);"
    "CREATE TABLE files(id INTEGER PRIMARY KEY, key TEXT NOT NULL UNIQUE, name TEXT NOT NULL,"
    " device INTEGER NOT NULL, number INTEGER NOT NULL, size INTEGER NOT NULL,"
    " modified INTEGER NOT NULL, kind INTEGER NOT NULL, has_product INTEGER NOT NULL,"
    " part_number TEXT NOT NULL);"
    "CREATE TABLE uses(user INTEGER NOT NULL, seq INTEGER NOT NULL, target TEXT NOT NULL,"
    " instance TEXT NOT NULL, PRIMARY KEY(user, seq)) WITHOUT ROWID;";
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

IndexedDocument DocumentOf(const SqliteStatement& row, int first, const StoredPaths& paths) {
  IndexedDocument document;
  document.name = paths.FullName(row.Text(first));
  document.key = paths.FullKey(row.Text(first + 1));
  document.has_product = row.Integer(first + 2) != 0;
  document.part_number = row.Text(first + 3);
  return document;
}

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
  users_of_.Finalize();  // prepared on the connection of an earlier Open
  project_ = files.RealPath(project);
  paths_ = StoredPaths(project_, StorageKey(project_));
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
  // 32 MiB keeps a first index of a large project from writing its pages to the log often.
  // Pages of 16 KiB (for a new database; an existing one keeps its own) make a first index
  // of a large project a fifth faster than the usual 4 KiB.
  if (!database_.Execute("PRAGMA page_size = 16384; PRAGMA journal_mode = WAL;"
                         " PRAGMA synchronous = NORMAL;"
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
         folder.Prepare(database_.handle(), "INSERT INTO project VALUES(?)");
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
  if (!RefreshIndex(*files_, database_, paths_, project_, skip, &counts_, why)) {
    failure_ = database_.last_error();
    database_.Execute("ROLLBACK", &ignored);
    return false;
  }
  if (!database_.Execute("COMMIT", why)) {
    failure_ = database_.last_error();
    database_.Execute("ROLLBACK", &ignored);
    return false;
  }
  // Questions are answered from this refresh, whatever another command writes meanwhile, and
  // without taking the database's lock for each.
  int64_t ignored_count = 0;
  if (database_.Execute("BEGIN", &ignored)) {
    database_.QueryInteger("SELECT count(*) FROM project", &ignored_count, &ignored);
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
    while (same.Step(&code)) keys.insert(paths_.FullKey(same.Text(0)));
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
  find.Bind(1, paths_.Key(key));
  if (!find.Step(&code)) return false;
  *document = DocumentOf(find, 0, paths_);
  return true;
}

bool ProjectIndex::IsReferenced(const std::string& key) {
  SqliteStatement find;
  int code = 0;
  if (!find.Prepare(database_.handle(), "SELECT 1 FROM uses WHERE target = ? LIMIT 1")) {
    return false;
  }
  find.Bind(1, paths_.Key(key));
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
  while (find.Step(&code)) documents.push_back(DocumentOf(find, 0, paths_));
  return documents;
}

std::vector<DocumentUse> ProjectIndex::UsersOf(const std::vector<std::string>& keys) {
  std::vector<DocumentUse> uses;
  SqliteStatement& find = users_of_;
  int code = 0;
  if (!find.prepared() &&
      !find.Prepare(database_.handle(),
                    "SELECT f.name, f.key, f.has_product, f.part_number, u.instance FROM uses u"
                    " JOIN files f ON f.id = u.user WHERE u.target = ? AND f.kind = 0"
                    " ORDER BY f.name, u.seq")) {
    return uses;
  }
  for (const std::string& key : keys) {
    find.Bind(1, paths_.Key(key));
    const size_t first = uses.size();
    while (find.Step(&code)) {
      if (uses.size() == first || uses.back().user.key != paths_.FullKey(find.Text(1))) {
        uses.push_back({DocumentOf(find, 0, paths_), {}, key});
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
                    " WHERE f.key = ?")) {
    return targets;
  }
  find.Bind(1, paths_.Key(key));
  while (find.Step(&code)) targets.push_back(paths_.FullKey(find.Text(0)));
  // In the order of the full keys: those outside the project are kept so, the others relative.
  std::sort(targets.begin(), targets.end());
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
