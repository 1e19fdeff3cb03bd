// Reading an Office Open XML workbook (.xlsx), as table writes it and spreadsheets save it:
// the rows of its first sheet with the text of their cells, from shared or inline strings.
// Workbooks are hostile input: what the reader takes in is bounded (the file, each part it
// expands, the depth of its XML, the text of each cell and of all cells together), and what a
// spreadsheet would show otherwise (entries given twice, row numbers and cell references out of
// order, entities beyond the five of XML) is refused, never guessed.
#ifndef PLANNER_WORKBOOK_READER_H
#define PLANNER_WORKBOOK_READER_H

#include <cstdint>
#include <string>
#include <vector>

#include "planner/csv_table.h"

// A cell that holds something other than text.
struct WorkbookCell {
  int row;            // from 1
  size_t column;      // from 0 (A)
  std::string holds;  // "a number", "a formula", "a truth value", "an error", "a date"
};

// Why a workbook is refused: the reason, and the cell it was found at ("B7", on `row`) when
// there is one.
struct WorkbookRefusal {
  int row = 1;
  std::string cell;
  std::string reason;
};

// Why a workbook file of `size` bytes is not read at all (larger than any rename table's
// workbook); empty when it may be.
std::string WhyWorkbookTooLarge(uint64_t size);

// The rows of the first sheet of the workbook whose bytes are `bytes` that have a cell with a
// value, each with its row number as line and its cells' texts by column from A (a cell that
// holds no text gives what it shows, and goes to `not_text`). False, with the reason, when the
// bytes are no workbook that can be read.
bool ReadWorkbook(const std::string& bytes, std::vector<CsvRow>* rows,
                  std::vector<WorkbookCell>* not_text, WorkbookRefusal* refusal);

#endif  // PLANNER_WORKBOOK_READER_H
