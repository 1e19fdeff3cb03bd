#include "planner/rename_table.h"

#include <algorithm>
#include <array>

#include "findings/display_text.h"
#include "findings/report.h"
#include "planner/csv_table.h"
#include "planner/workbook_reader.h"
#include "system/files.h"

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

// The letters of the workbook column at `position` (from 0): A, B, ... Z, AA, AB...
std::string ColumnLetters(size_t position) {
  std::string letters;
  for (size_t n = position + 1; n > 0; n = (n - 1) / 26) {
    letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
  }
  return letters;
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The rows of a table as read, the header first; `cells`: fields stand in their workbook
// columns, so that findings name cells.
bool TableFromRows(const std::vector<CsvRow>& rows, bool cells, RenameTable* table,
                   Report* report) {
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
    if (cells && position[c] >= 0) {
      table->cell_columns[kNames[c]] = ColumnLetters(static_cast<size_t>(position[c]));
    }
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
      report->ErrorAt(row.line, CellPlace(*table, row.line, kNames[document ? kFile : kInstance]),
                      document ? "a row has a file or an instance, not both"
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
      report->ErrorAt(row.line, CellPlace(*table, row.line, kNames[c]),
                      std::string("column \"") + kNames[c] + "\" is not read on " +
                          (document ? "a document's row" : "an instance's row"));
      good = false;
    }
    if (document) {
      table->documents.push_back(
          {row.line, field[kFile], field[kPartNumber], field[kNewPartNumber], field[kNewFile]});
    } else {
      table->instances.push_back({row.line, field[kParentPartNumber], field[kInstance],
                                  field[kNewInstance], field[kInstanceOf],
                                  static_cast<int>(table->documents.size()) - 1});
    }
  }
  return good && report->ExitCode() < 2;
}

}  // namespace

std::vector<std::vector<std::string>> TableCells(const RenameTable& table) {
  std::vector<std::vector<std::string>> cells;
  cells.emplace_back(kNames, kNames + kColumns);
  size_t next = 0;
  auto instances_of = [&](int holder) {
    for (; next < table.instances.size() && table.instances[next].holder == holder; ++next) {
      const TableInstance& i = table.instances[next];
      cells.push_back({"", "", "", "", i.parent_part_number, i.name, i.new_name, i.instance_of});
    }
  };
  instances_of(-1);
  for (size_t d = 0; d < table.documents.size(); ++d) {
    const TableDocument& document = table.documents[d];
    cells.push_back({document.file, document.part_number, document.new_part_number,
                     document.new_file, "", "", "", ""});
    instances_of(static_cast<int>(d));
  }
  instances_of(-1);
  return cells;
}

bool FilledIn(size_t position, bool document_row) {
  return document_row ? position == kNewPartNumber || position == kNewFile
                      : position == kNewInstance;
}

std::string TableToCsv(const RenameTable& table) {
  std::string csv;
  for (const std::vector<std::string>& row : TableCells(table)) AppendCsvLine(row, &csv);
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
  return TableFromRows(rows, false, table, report);
}

bool ReadWorkbookTable(FileSystem& files, const std::string& path, RenameTable* table,
                       Report* report) {
  *table = RenameTable();
  FileFacts facts;
  std::string bytes;
  // Too large a file is not read into memory at all.
  const std::string large = files.CurrentFacts(path, &facts) ? WhyWorkbookTooLarge(facts.size) : "";
  if (!large.empty() || !files.ReadRegularFile(path, &bytes, &facts)) {
    report->Error(1, !large.empty() ? large : "cannot be read");
    return false;
  }
  return ReadWorkbookBytes(bytes, table, report);
}

bool ReadWorkbookBytes(const std::string& bytes, RenameTable* table, Report* report) {
  *table = RenameTable();
  std::vector<CsvRow> rows;
  std::vector<WorkbookCell> not_text;
  WorkbookRefusal refusal;
  if (!ReadWorkbook(bytes, &rows, &not_text, &refusal)) {
    if (refusal.cell.empty()) {
      report->Error(1, refusal.reason);
    } else {
      report->ErrorAt(refusal.row, refusal.cell, refusal.reason);
    }
    return false;
  }
  bool good = TableFromRows(rows, true, table, report);
  for (const WorkbookCell& cell : not_text) {
    for (const auto& [name, letters] : table->cell_columns) {
      if (letters != ColumnLetters(cell.column)) continue;
      report->ErrorAt(cell.row, letters + std::to_string(cell.row),
                      name + ": the cell holds " + cell.holds +
                          ", not text: a spreadsheet makes numbers, dates and formulas of what "
                          "is typed into cells not formatted as text; format the cell as text "
                          "(@) and type the value again");
      good = false;
    }
  }
  return good;
}

std::string CellPlace(const RenameTable& table, int line, const std::string& column) {
  const auto letters = table.cell_columns.find(column);
  return letters == table.cell_columns.end() ? std::string()
                                             : letters->second + std::to_string(line);
}

std::string RowName(const RenameTable& table, int line) {
  return (table.cell_columns.empty() ? "the row at line " : "row ") + std::to_string(line);
}

bool IsFileColumn(const std::string& column) {
  return column == "file" || column == "new_file" || column == "instance_of";
}

std::string CellValue(const std::string& column, const std::string& value) {
  return IsFileColumn(column) && !value.empty() ? QuotedFile(value) : Quoted(value);
}
