// The rename table's CSV form (RFC 4180). Reading takes what spreadsheets write: quoted fields
// with separators, quotes and line breaks in them, a UTF-8 byte-order mark, CRLF or LF line
// ends, and a comma, a semicolon or a tab as separator, whichever the first line uses most.
#ifndef PLANNER_CSV_TABLE_H
#define PLANNER_CSV_TABLE_H

#include <string>
#include <vector>

struct CsvRow {
  int line;  // the line the row begins on, from 1
  std::vector<std::string> fields;
};

// The rows of `bytes`, empty lines left out. False, with the line and the reason, when the
// bytes are not CSV (a quote out of place, an unclosed quoted field, UTF-16, NUL bytes).
bool ParseCsv(const std::string& bytes, std::vector<CsvRow>* rows, int* error_line,
              std::string* error);

// Appends `fields` as one CSV line with a CRLF end, quoting the fields that need it.
void AppendCsvLine(const std::vector<std::string>& fields, std::string* out);

#endif  // PLANNER_CSV_TABLE_H
