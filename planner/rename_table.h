// The rename table: the documents of a product structure and their component instances, with
// the new names to give them. Its CSV form has a header row that names the columns, in any
// order (further columns are ignored), and one row per document or instance:
//   file, part_number, new_part_number, new_file     filled on a document's row
//   parent_part_number, instance, new_instance,      filled on an instance's row; instance_of
//   instance_of                                      names the file it is an instance of
#ifndef PLANNER_RENAME_TABLE_H
#define PLANNER_RENAME_TABLE_H

#include <map>
#include <string>
#include <vector>

#include "findings/report.h"
#include "system/files.h"

struct TableDocument {
  int line = 0;  // of its row in the table read (a workbook's row number); 0 for none
  std::string file, part_number, new_part_number, new_file;
};

struct TableInstance {
  int line = 0;
  std::string parent_part_number, name, new_name, instance_of;
  int holder = -1;  // the document whose row it follows; -1: before all or after all rows
};

struct RenameTable {
  std::vector<TableDocument> documents;  // in structure order
  std::vector<TableInstance> instances;  // grouped by holder, in the holders' order
  // For a table read from a workbook, the letter of each column by its name, so that findings
  // name cells ("D7"); empty for a CSV table, whose findings name lines.
  std::map<std::string, std::string> cell_columns;
};

// The cells of the table: the header, then each document's row followed by the rows of its
// instances.
std::vector<std::vector<std::string>> TableCells(const RenameTable& table);

// Whether users fill in the column at `position` of TableCells on a document's or an
// instance's row: the new names.
bool FilledIn(size_t position, bool document_row);

// The CSV form of TableCells.
std::string TableToCsv(const RenameTable& table);

// Reads the CSV form. Every problem goes to `report` with its line; false when there was one.
bool ReadTable(const std::string& bytes, RenameTable* table, Report* report);

// Reads the first sheet of the workbook at `path` as a table whose findings name cells. A cell
// of a column read that holds something other than text (a number, a formula...) is refused:
// a spreadsheet made it of what was typed.
bool ReadWorkbookTable(FileSystem& files, const std::string& path, RenameTable* table,
                       Report* report);
// The same, from the workbook's bytes.
bool ReadWorkbookBytes(const std::string& bytes, RenameTable* table, Report* report);

// Where a finding about `column` on the row at `line` is printed: the cell ("D7") in a table
// read from a workbook, otherwise empty (the line).
std::string CellPlace(const RenameTable& table, int line, const std::string& column);

// Whether `column` holds files: file, new_file and instance_of.
bool IsFileColumn(const std::string& column);

// The value of a cell of `column` as a message names it: a file in full, as the run resolves
// it, any other value quoted.
std::string CellValue(const std::string& column, const std::string& value);

// The row at `line` in words: "the row at line 7", or "row 7" in a workbook.
std::string RowName(const RenameTable& table, int line);

#endif  // PLANNER_RENAME_TABLE_H
