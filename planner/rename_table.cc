#include "planner/rename_table.h"

#include <algorithm>
#include <array>

#include "planner/csv_table.h"

namespace {

enum Column {
  kFile,
  kPartNumber,
  kNewPartNumber,
  kNewFile,
  kParentPartNumber,
  kInstance,
  kNewInstance,
  kInstanceOf,
  kColumns
};
const char* const kNames[kColumns] = {"file",         "part_number",        "new_part_number",
                                      "new_file",     "parent_part_number", "instance",
                                      "new_instance", "instance_of"};
// The columns each kind of row may fill.
const std::array<Column, 4> kDocumentColumns = {kFile, kPartNumber, kNewPartNumber, kNewFile};
const std::array<Column, 4> kInstanceColumns = {kParentPartNumber, kInstance, kNewInstance,
                                                kInstanceOf};

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text;
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::string TableToCsv(const RenameTable& table) {
  std::string csv;
  AppendCsvLine(std::vector<std::string>(kNames, kNames + kColumns), &csv);
  size_t next = 0;
  auto instances_of = [&](int holder) {
    for (; next < table.instances.size() && table.instances[next].holder == holder; ++next) {
      const TableInstance& i = table.instances[next];
      AppendCsvLine({"", "", "", "", i.parent_part_number, i.name, i.new_name, i.instance_of},
                    &csv);
    }
  };
  for (size_t d = 0; d < table.documents.size(); ++d) {
    const TableDocument& document = table.documents[d];
    AppendCsvLine({document.file, document.part_number, document.new_part_number, document.new_file,
                   "", "", "", ""},
                  &csv);
    instances_of(static_cast<int>(d));
  }
  instances_of(-1);
  return csv;
}

bool ReadTable(const std::string& bytes, RenameTable* table, Report* report) {
  *table = RenameTable();
  std::vector<CsvRow> rows;
  int error_line = 0;
  std::string error;
  if (!ParseCsv(bytes, &rows, &error_line, &error)) {
    report->Error(error_line, error);
    return false;
  }
  if (rows.empty()) {
    report->Error(1, "no header row: the table is empty");
    return false;
  }
  const CsvRow& header = rows.front();
  int position[kColumns];
  std::string missing;
  for (int c = 0; c < kColumns; ++c) {
    position[c] = -1;
    for (size_t f = 0; f < header.fields.size(); ++f) {
      if (Lower(Trimmed(header.fields[f])) != kNames[c]) continue;
      if (position[c] >= 0) {
        report->Error(header.line, std::string("column \"") + kNames[c] + "\" is given twice");
      }
      position[c] = static_cast<int>(f);
    }
    if (position[c] < 0) missing += std::string(missing.empty() ? "" : ", ") + kNames[c];
  }
  if (!missing.empty()) {
    report->Error(header.line, "missing column: " + missing + " (is this the table that " +
                                   "Quorvel-plan table wrote?)");
    return false;
  }

  bool good = true;
  for (size_t r = 1; r < rows.size(); ++r) {
    const CsvRow& row = rows[r];
    std::string field[kColumns];
    bool blank = true;
    for (int c = 0; c < kColumns; ++c) {
      const size_t f = static_cast<size_t>(position[c]);
      if (f < row.fields.size()) field[c] = row.fields[f];
      blank = blank && Trimmed(field[c]).empty();
    }
    if (blank) continue;  // spreadsheets leave rows of empty cells
    const bool document = !field[kFile].empty(), instance = !field[kInstance].empty();
    if (document == instance) {
      report->Error(row.line, document ? "a row has a file or an instance, not both"
                                       : "a row needs a file (a document) or an instance");
      good = false;
      continue;
    }
    // A value in another kind's column would be lost without a word.
    const auto& own = document ? kDocumentColumns : kInstanceColumns;
    for (int c = 0; c < kColumns; ++c) {
      if (field[c].empty() ||
          std::find(own.begin(), own.end(), static_cast<Column>(c)) != own.end())
        continue;
      report->Error(row.line, std::string("column \"") + kNames[c] + "\" is not read on " +
                                  (document ? "a document's row" : "an instance's row"));
      good = false;
    }
    if (document) {
      table->documents.push_back(
          {row.line, field[kFile], field[kPartNumber], field[kNewPartNumber], field[kNewFile]});
    } else {
      table->instances.push_back({row.line, field[kParentPartNumber], field[kInstance],
                                  field[kNewInstance], field[kInstanceOf]});
    }
  }
  return good && report->ExitCode() < 2;
}
