#include "projectindex/index_refresh.h"

#include <sqlite3.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "projectindex/project_walk.h"

namespace {

// The indexes that questions use. A first fill of the index drops them and makes them again
// at its end: sorting once is many times faster than keeping them in order row by row.
const char kQuestionIndexes[] =
    "CREATE INDEX IF NOT EXISTS files_part_number ON files(part_number);"
    "CREATE INDEX IF NOT EXISTS files_identity ON files(device, number);"
    "CREATE INDEX IF NOT EXISTS uses_target ON uses(target);";
const char kDropQuestionIndexes[] =
    "DROP INDEX IF EXISTS files_part_number; DROP INDEX IF EXISTS files_identity;"
    " DROP INDEX IF EXISTS uses_target;";

// Walks a project folder and writes what it finds into the database, file by file, inside the
// transaction the caller holds. An unchanged file is looked up among its folder's rows, read
// from the index once for the folder, and writes nothing: which rows the walk met is kept in
// memory, a bit for each row.
class Refresher {
 public:
  Refresher(FileSystem& files, SqliteDatabase& database, const StoredPaths& paths,
            const std::string& skip_prefix, IndexCounts* counts)
      : files_(files),
        database_(database),
        paths_(paths),
        skip_prefix_(skip_prefix),
        counts_(*counts) {}

  bool Run(const std::string& project, std::string* why) {
    if (!Prepare()) return Fail(why);
    int64_t last = 0;
    if (!database_.QueryInteger("SELECT coalesce(max(id), 0) FROM files", &last, why)) {
      return false;
    }
    met_.assign(static_cast<size_t>(last) + 1, false);
    WalkCounts walk;
    bool walked = false;
    if (last == 0) {
      // A first index: every file is read, on a thread beside the storing.
      walked = database_.Execute(kDropQuestionIndexes, why) &&
               ReadWholeProject(files_, project, skip_prefix_, paths_, &walk,
                                [&](ReadFile& file) { return Store(file, 0); });
    } else {
      walked = WalkProject(files_, project, skip_prefix_, &walk,
                           [&](const std::string& path, const std::string& key,
                               const FileFacts& facts) { return Look(path, key, facts); });
    }
    counts_.links = walk.links;
    counts_.other = walk.other;
    counts_.cycles = walk.cycles;
    counts_.unlisted = walk.unlisted;
    if (!walked) return Fail(why);
    // The indexes are sorted with a smaller page cache: the sorting takes as much memory again.
    return DropUnmet(why) && database_.Execute("PRAGMA cache_size = -8192", why) &&
           database_.Execute(kQuestionIndexes, why);
  }

 private:
  bool Prepare() {
    sqlite3* handle = database_.handle();
    return find_.Prepare(handle,
                         "SELECT id, key, device, number, size, modified, kind FROM files"
                         " WHERE key >= ? AND key < ? ORDER BY key") &&
           insert_.Prepare(
               handle,
               "INSERT OR IGNORE INTO files(device, number, size, modified, kind,"
               " has_product, part_number, key, name) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?)") &&
           update_.Prepare(handle,
                           "UPDATE files SET device = ?, number = ?, size = ?, modified = ?,"
                           " kind = ?, has_product = ?, part_number = ? WHERE id = ?") &&
           forget_.Prepare(handle, "DELETE FROM uses WHERE user = ?") &&
           use_.Prepare(handle, "INSERT INTO uses(user, seq, target, instance) VALUES(?, ?, ?, ?)");
  }

  bool Fail(std::string* why) {
    *why = database_.last_message();
    return false;
  }

  void Count(int64_t kind) {
    if (kind == kDocument) ++counts_.documents;
    if (kind == kNotADocument) ++counts_.not_documents;
    if (kind == kUnreadable) ++counts_.unreadable;
  }

  // Looks at one regular file: an unchanged one is only marked met, any other read again.
  bool Look(const std::string& path, const std::string& key, const FileFacts& facts) {
    const std::string stored = paths_.Key(key);
    const std::string folder = stored.substr(0, stored.rfind('/') + 1);
    if (folder != known_folder_ && !LoadFolder(folder)) return false;
    int64_t id = 0;
    const auto known = known_.find(stored.substr(folder.size()));
    if (known != known_.end()) {
      const KnownFile& row = known->second;
      id = row.id;
      if (id > 0 && static_cast<size_t>(id) < met_.size()) met_[static_cast<size_t>(id)] = true;
      if (row.facts.SameContentAs(facts)) {
        Count(row.kind);
        return true;
      }
    }
    ReadFile file = ReadProjectFile(files_, paths_, path, key, facts);
    return Store(file, id);
  }

  // Loads what the index holds of the files directly in the folder whose stored key, with a
  // slash, is `folder`: one range of keys, the subfolders' ranges stepped over, rather than one
  // question for each file.
  bool LoadFolder(const std::string& folder) {
    known_.clear();
    known_folder_ = folder;
    // The keys that begin with `folder` are those from it up to the next byte after its slash.
    const std::string end = folder.substr(0, folder.size() - 1) + '0';
    std::string from = folder;
    for (bool again = true; again;) {
      again = false;
      int code = 0;
      find_.Bind(1, from);
      find_.Bind(2, end);
      while (find_.Step(&code)) {
        const std::string name = find_.Text(1).substr(folder.size());
        const size_t slash = name.find('/');
        if (slash != std::string::npos) {
          from = folder + name.substr(0, slash) + '0';  // past the subfolder's keys
          again = true;
          break;
        }
        KnownFile& row = known_[name];
        row.id = find_.Integer(0);
        row.facts.id.device = static_cast<uint64_t>(find_.Integer(2));
        row.facts.id.number = static_cast<uint64_t>(find_.Integer(3));
        row.facts.size = static_cast<uint64_t>(find_.Integer(4));
        row.facts.modified = find_.Integer(5);
        row.kind = find_.Integer(6);
      }
      find_.Reset();
      if (!again && code != SQLITE_DONE) return false;
    }
    return true;
  }

  // Stores a file read: as the row `id`, or as a new row when 0.
  bool Store(const ReadFile& file, int64_t id) {
    ++counts_.read;
    Count(file.kind);
    SqliteStatement& store = id == 0 ? insert_ : update_;
    store.Bind(1, static_cast<int64_t>(file.facts.id.device));
    store.Bind(2, static_cast<int64_t>(file.facts.id.number));
    store.Bind(3, static_cast<int64_t>(file.facts.size));
    store.Bind(4, file.facts.modified);
    store.Bind(5, int64_t{file.kind});
    store.Bind(6, int64_t{file.has_product ? 1 : 0});
    store.Bind(7, file.part_number);
    if (id == 0) {
      store.Bind(8, file.key);
      store.Bind(9, file.name);
    } else {
      store.Bind(8, id);
    }
    if (!Done(store)) return false;
    if (id == 0) {
      // A name met twice (folded alike where case does not count) is the first one's file.
      if (sqlite3_changes(database_.handle()) == 0) return true;
      id = sqlite3_last_insert_rowid(database_.handle());
    } else {
      forget_.Bind(1, id);
      if (!Done(forget_)) return false;
    }
    for (size_t i = 0; i < file.uses.size(); ++i) {
      use_.Bind(1, id);
      use_.Bind(2, static_cast<int64_t>(i));
      use_.Bind(3, file.uses[i].first);
      use_.Bind(4, file.uses[i].second);
      if (!Done(use_)) return false;
    }
    return true;
  }

  // Steps a statement that gives no rows and makes it ready again.
  static bool Done(SqliteStatement& statement) {
    int code = 0;
    statement.Step(&code);
    statement.Reset();
    return code == SQLITE_DONE;
  }

  // Drops the rows of files that the walk did not meet, a batch at a time.
  bool DropUnmet(std::string* why) {
    SqliteStatement rows;
    if (!rows.Prepare(database_.handle(), "SELECT id FROM files WHERE id > ? ORDER BY id") ||
        !drop_file_.Prepare(database_.handle(), "DELETE FROM files WHERE id = ?")) {
      return Fail(why);
    }
    for (int64_t after = 0;;) {
      std::vector<int64_t> unmet;
      int code = 0;
      rows.Bind(1, after);
      while (unmet.size() < 1000 && rows.Step(&code)) {
        after = rows.Integer(0);
        if (static_cast<size_t>(after) >= met_.size()) break;  // made by this walk
        if (!met_[static_cast<size_t>(after)]) unmet.push_back(after);
      }
      const bool more = code == SQLITE_ROW && static_cast<size_t>(after) < met_.size();
      rows.Reset();
      if (code != SQLITE_ROW && code != SQLITE_DONE) return Fail(why);
      for (int64_t id : unmet) {
        forget_.Bind(1, id);
        drop_file_.Bind(1, id);
        if (!Done(forget_) || !Done(drop_file_)) return Fail(why);
      }
      counts_.dropped += static_cast<int64_t>(unmet.size());
      if (!more) return true;
    }
  }

  FileSystem& files_;
  SqliteDatabase& database_;
  const StoredPaths& paths_;
  std::string skip_prefix_;
  IndexCounts& counts_;
  std::vector<bool> met_;  // by row id, the rows that were there before and the walk met
  // What the index holds of a file of the folder being walked.
  struct KnownFile {
    int64_t id = 0;
    FileFacts facts;
    int64_t kind = kUnreadable;
  };
  std::string known_folder_;                          // the stored key of that folder, with a slash
  std::unordered_map<std::string, KnownFile> known_;  // by name in it
  SqliteStatement find_, insert_, update_, forget_, use_, drop_file_;
};

}  // namespace

bool RefreshIndex(FileSystem& files, SqliteDatabase& database, const StoredPaths& paths,
                  const std::string& project, const std::string& skip_prefix, IndexCounts* counts,
                  std::string* why) {
  Refresher refresher(files, database, paths, skip_prefix, counts);
  return refresher.Run(project, why);
}
