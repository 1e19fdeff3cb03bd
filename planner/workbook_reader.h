// Reading an Office Open XML workbook (.xlsx), as table writes it and spreadsheets save it:
// the rows of its first sheet with the text of their cells, from shared or inline strings.
#ifndef PLANNER_WORKBOOK_READER_H
#define PLANNER_WORKBOOK_READER_H

#include <string>
#include <vector>

#include "planner/csv_table.h"

// A cell that holds something other than text.
struct WorkbookCell {
  int row;            // from 1
  size_t column;      // from 0 (A)
  std::string holds;  // "a number", "a formula", "a truth value", "an error", "a date"
};

// The rows of the first sheet of the workbook at `path` that have a cell with a value, each
// with its row number as line and its cells' texts by column from A (a cell that holds no
// text gives what it shows, and goes to `not_text`). False, with the reason, when the file is
// no workbook that can be read.
bool ReadWorkbook(const std::string& path, std::vector<CsvRow>* rows,
                  std::vector<WorkbookCell>* not_text, std::string* error);

#endif  // PLANNER_WORKBOOK_READER_H
