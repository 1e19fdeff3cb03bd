#include "projectindex/sqlite_database.h"

#include <sqlite3.h>

SqliteStatement::~SqliteStatement() { Finalize(); }

void SqliteStatement::Finalize() {
  sqlite3_finalize(statement_);
  statement_ = nullptr;
}

bool SqliteStatement::Prepare(sqlite3* database, const char* sql) {
  Finalize();
  return sqlite3_prepare_v2(database, sql, -1, &statement_, nullptr) == SQLITE_OK;
}

void SqliteStatement::Bind(int parameter, const std::string& text) {
  sqlite3_bind_text(statement_, parameter, text.data(), static_cast<int>(text.size()),
                    SQLITE_TRANSIENT);
}

void SqliteStatement::Bind(int parameter, int64_t value) {
  sqlite3_bind_int64(statement_, parameter, static_cast<sqlite3_int64>(value));
}

bool SqliteStatement::Step(int* code) {
  *code = sqlite3_step(statement_);
  return *code == SQLITE_ROW;
}

void SqliteStatement::Reset() {
  sqlite3_reset(statement_);
  sqlite3_clear_bindings(statement_);
}

std::string SqliteStatement::Text(int column) const {
  const unsigned char* text = sqlite3_column_text(statement_, column);
  if (text == nullptr) return std::string();
  return std::string(reinterpret_cast<const char*>(text),
                     static_cast<size_t>(sqlite3_column_bytes(statement_, column)));
}

int64_t SqliteStatement::Integer(int column) const {
  return static_cast<int64_t>(sqlite3_column_int64(statement_, column));
}

bool SqliteDatabase::Open(const std::string& path, int busy_ms, std::string* why) {
  Close();
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOFOLLOW;
  if (sqlite3_open_v2(path.c_str(), &database_, flags, nullptr) != SQLITE_OK) {
    *why = database_ != nullptr ? sqlite3_errmsg(database_) : "out of memory";
    Close();
    return false;
  }
  sqlite3_extended_result_codes(database_, 0);
  sqlite3_busy_timeout(database_, busy_ms);
  return true;
}

void SqliteDatabase::Close() {
  if (database_ != nullptr) sqlite3_close_v2(database_);
  database_ = nullptr;
}

bool SqliteDatabase::Execute(const char* sql, std::string* why) {
  char* message = nullptr;
  if (sqlite3_exec(database_, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
  *why = message != nullptr ? message : sqlite3_errmsg(database_);
  sqlite3_free(message);
  return false;
}

bool SqliteDatabase::QueryInteger(const char* sql, int64_t* value, std::string* why) {
  SqliteStatement statement;
  int code = SQLITE_OK;
  if (statement.Prepare(database_, sql) && statement.Step(&code)) {
    *value = statement.Integer(0);
    return true;
  }
  *why = sqlite3_errmsg(database_);
  return false;
}

int SqliteDatabase::last_error() const {
  return database_ != nullptr ? sqlite3_errcode(database_) : SQLITE_CANTOPEN;
}

std::string SqliteDatabase::last_message() const {
  return database_ != nullptr ? sqlite3_errmsg(database_) : "no database";
}

bool IsDamage(int code) {
  code &= 0xff;
  return code == SQLITE_NOTADB || code == SQLITE_CORRUPT;
}
