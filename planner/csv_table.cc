#include "planner/csv_table.h"

#include <csv.h>

#include <algorithm>

namespace {

// What the parser's callbacks fill.
struct Rows {
  std::vector<CsvRow>* rows;
  std::vector<std::string> fields;
  int line = 1;      // the line being fed
  int row_line = 1;  // where the row being read began
  bool between_rows = true;
};

void OnField(void* field, size_t length, void* data) {
  Rows* rows = static_cast<Rows*>(data);
  rows->fields.emplace_back(field ? static_cast<const char*>(field) : "", field ? length : 0);
}

void OnRowEnd(int, void* data) {
  Rows* rows = static_cast<Rows*>(data);
  rows->rows->push_back({rows->row_line, std::move(rows->fields)});
  rows->fields.clear();
  rows->between_rows = true;
}

// No byte counts as white space: blanks around a field are part of it.
int NoSpace(unsigned char) { return 0; }

// The separator that the first line uses most, outside quotes; a comma when none.
char FindSeparator(const std::string& bytes, size_t start) {
  size_t counts[3] = {0, 0, 0};
  const char candidates[3] = {',', ';', '\t'};
  bool quoted = false;
  for (size_t i = start; i < bytes.size() && (quoted || bytes[i] != '\n'); ++i) {
    if (bytes[i] == '"') quoted = !quoted;
    for (int c = 0; c < 3 && !quoted; ++c) counts[c] += bytes[i] == candidates[c] ? 1 : 0;
  }
  int best = 0;
  for (int c = 1; c < 3; ++c) {
    if (counts[c] > counts[best]) best = c;
  }
  return candidates[best];
}

}  // namespace

bool ParseCsv(const std::string& bytes, std::vector<CsvRow>* rows, int* error_line,
              std::string* error) {
  rows->clear();
  if (bytes.compare(0, 2, "\xff\xfe") == 0 || bytes.compare(0, 2, "\xfe\xff") == 0) {
    *error_line = 1;
    *error = "the table is UTF-16 text; save it as CSV in UTF-8";
    return false;
  }
  const size_t nul = bytes.find('\0');
  if (nul != std::string::npos) {
    *error_line = 1 + static_cast<int>(std::count(bytes.begin(), bytes.begin() + nul, '\n'));
    *error = "a NUL byte: this is not a CSV table";
    return false;
  }
  const size_t start = bytes.compare(0, 3, "\xef\xbb\xbf") == 0 ? 3 : 0;

  csv_parser parser;
  if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI) != 0) {
    *error_line = 1;
    *error = "out of memory";
    return false;
  }
  csv_set_delim(&parser, static_cast<unsigned char>(FindSeparator(bytes, start)));
  csv_set_space_func(&parser, NoSpace);
  Rows state;
  state.rows = rows;
  bool parsed = true;
  // Fed a line at a time, so that each row knows the line it began on.
  for (size_t at = start; at < bytes.size() && parsed;) {
    const size_t end = std::min(bytes.find('\n', at), bytes.size() - 1) + 1;
    if (state.between_rows && bytes.find_first_not_of("\r\n", at) < end) {
      state.row_line = state.line;
      state.between_rows = false;
    }
    parsed = csv_parse(&parser, bytes.data() + at, end - at, OnField, OnRowEnd, &state) == end - at;
    if (parsed) ++state.line;
    at = end;
  }
  if (parsed && csv_fini(&parser, OnField, OnRowEnd, &state) != 0) {
    parsed = false;
    state.line = state.row_line;
  }
  if (!parsed) {
    *error_line = state.line;
    *error = csv_error(&parser) == CSV_EPARSE
                 ? "not CSV: a quote out of place, or a quoted field that is never closed"
                 : csv_strerror(csv_error(&parser));
  }
  csv_free(&parser);
  return parsed;
}

void AppendCsvLine(const std::vector<std::string>& fields, std::string* out) {
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) *out += ',';
    const std::string& field = fields[i];
    const bool quote = field.find_first_of(",;\t\"\r\n") != std::string::npos ||
                       (!field.empty() && (field.front() == ' ' || field.back() == ' '));
    if (!quote) {
      *out += field;
      continue;
    }
    *out += '"';
    for (char c : field) {
      if (c == '"') *out += '"';
      *out += c;
    }
    *out += '"';
  }
  *out += "\r\n";
}
