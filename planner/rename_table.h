// The rename table: the documents of a product structure and their component instances, with
// the new names to give them. Its CSV form has a header row that names the columns, in any
// order (further columns are ignored), and one row per document or instance:
//   file, part_number, new_part_number, new_file     filled on a document's row
//   parent_part_number, instance, new_instance,      filled on an instance's row; instance_of
//   instance_of                                      names the file it is an instance of
#ifndef PLANNER_RENAME_TABLE_H
#define PLANNER_RENAME_TABLE_H

#include <string>
#include <vector>

#include "findings/report.h"

struct TableDocument {
  int line = 0;  // of its row in the CSV table; 0 for a table made from a structure
  std::string file, part_number, new_part_number, new_file;
};

struct TableInstance {
  int line = 0;
  std::string parent_part_number, name, new_name, instance_of;
  int holder = -1;  // the document whose row it follows in the CSV form; -1: after all rows
};

struct RenameTable {
  std::vector<TableDocument> documents;  // in structure order
  std::vector<TableInstance> instances;  // grouped by holder, in the holders' order
};

// The CSV form: the header, then each document's row followed by the rows of its instances.
std::string TableToCsv(const RenameTable& table);

// Reads the CSV form. Every problem goes to `report` with its line; false when there was one.
bool ReadTable(const std::string& bytes, RenameTable* table, Report* report);

#endif  // PLANNER_RENAME_TABLE_H
