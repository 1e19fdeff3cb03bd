// A thin hold on one SQLite database: a connection closed when it goes, statements prepared
// once and reset after each use, and every failure as a result with SQLite's own words. The
// project index keeps its cache in one.
#ifndef PROJECTINDEX_SQLITE_DATABASE_H
#define PROJECTINDEX_SQLITE_DATABASE_H

#include <cstdint>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

// One prepared statement. Bind, then Step until it gives no row; Reset makes it ready again.
class SqliteStatement {
 public:
  SqliteStatement() = default;
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;
  ~SqliteStatement();

  bool Prepare(sqlite3* database, const char* sql);
  bool prepared() const { return statement_ != nullptr; }
  // Gives the statement up; Prepare makes it anew.
  void Finalize();
  // Parameters count from 1, as in SQLite. Text is bound byte for byte.
  void Bind(int parameter, const std::string& text);
  void Bind(int parameter, int64_t value);
  // True while a row is there; `code` gets SQLite's result (SQLITE_DONE at the end).
  bool Step(int* code);
  void Reset();
  std::string Text(int column) const;
  int64_t Integer(int column) const;

 private:
  sqlite3_stmt* statement_ = nullptr;
};

class SqliteDatabase {
 public:
  SqliteDatabase() = default;
  SqliteDatabase(const SqliteDatabase&) = delete;
  SqliteDatabase& operator=(const SqliteDatabase&) = delete;
  ~SqliteDatabase() { Close(); }

  // Opens (creating when missing) the database file `path`, never through a link at that
  // name; ":memory:" for one in memory. Waits up to `busy_ms` for another connection's lock.
  bool Open(const std::string& path, int busy_ms, std::string* why);
  void Close();
  // Runs statements that give no rows; false with SQLite's reason.
  bool Execute(const char* sql, std::string* why);
  // The integer the query gives in its first row and column; false when none or on failure.
  bool QueryInteger(const char* sql, int64_t* value, std::string* why);
  sqlite3* handle() const { return database_; }
  // SQLite's result code of the last failure on this connection (SQLITE_BUSY, SQLITE_CORRUPT...).
  int last_error() const;
  std::string last_message() const;

 private:
  sqlite3* database_ = nullptr;
};

// True when `code` says the file is no database, or a damaged one.
bool IsDamage(int code);

#endif  // PROJECTINDEX_SQLITE_DATABASE_H
