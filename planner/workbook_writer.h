// The rename table as an Office Open XML workbook (.xlsx), the form for editing it by hand: one
// sheet whose every cell is text and whose cells for new names are formatted as text, so that
// a spreadsheet keeps what users type as they type it ("00123", "1E5", "3-4", "=1+1") and
// never runs a formula. The header stays in view and has a filter; the cells users fill in
// stand apart from the others, which the sheet protects (without a password).
#ifndef PLANNER_WORKBOOK_WRITER_H
#define PLANNER_WORKBOOK_WRITER_H

#include <string>

#include "planner/rename_table.h"

// Writes the cells of `table` (TableCells) as a workbook to `path`. The library opens `path` by
// name and follows a link there: `path` belongs in a folder that no one else may write (a
// PrivateFolder, system/files.h), and the workbook goes to its place from there. False, with the
// reason, when a cell cannot be a workbook's text (not UTF-8, or more than a cell holds), naming
// its row, or when the file cannot be written.
bool WriteWorkbook(const RenameTable& table, const std::string& path, std::string* error);

// The same workbook as `bytes`, to be put in place through a FileSystem: it is written in a
// PrivateFolder, read back and removed. False, with the reason, as WriteWorkbook, or when no
// such folder can be made.
bool WorkbookBytes(const RenameTable& table, std::string* bytes, std::string* error);

#endif  // PLANNER_WORKBOOK_WRITER_H
