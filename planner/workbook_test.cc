// The workbook form of the rename table: what table writes comes back as it was, and what a
// spreadsheet saves (inline and rich strings, numbers, formulas) is read, or refused at its
// cell.
#include <gtest/gtest.h>
#include <xlsxwriter.h>

#include <sstream>

#include "planner/rename_table.h"
#include "planner/workbook_writer.h"
#include "testing/test_support.h"

namespace {

// Findings of reading the workbook `path` as a table, printed.
std::string Findings(const std::string& path, RenameTable* table) {
  Report report;
  std::ostringstream printed;
  if (!ReadWorkbookTable(path, table, &report)) report.Print("t.xlsx", printed);
  return printed.str();
}

TEST(WorkbookTest, ValuesComeBackAsTheyAre) {
  ScratchDir dir;
  const std::string path = dir.path() + "/t.xlsx";
  RenameTable table;
  const std::vector<std::string> values = {
      "00123",     " lead",  "trail ", "two\r\nlines",  "two\nlines", "_x0041_",
      "tab\there", "<&>\"'", "=1+1",   "M\xc3\xbcller", "cr\r",       "\001bell"};
  for (size_t i = 0; i < values.size(); ++i) {
    table.documents.push_back({0, "d" + std::to_string(i), values[i], values[i], ""});
    table.instances.push_back({0, values[i], "I", values[i], "", static_cast<int>(i)});
  }
  std::string error;
  ASSERT_TRUE(WriteWorkbook(table, path, &error)) << error;
  RenameTable read;
  ASSERT_EQ(Findings(path, &read), "");
  ASSERT_EQ(read.documents.size(), values.size());
  ASSERT_EQ(read.instances.size(), values.size());
  for (size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(read.documents[i].part_number, values[i]);
    EXPECT_EQ(read.documents[i].new_part_number, values[i]);
    EXPECT_EQ(read.documents[i].line, static_cast<int>(2 * i + 2));  // the sheet's row
    EXPECT_EQ(read.instances[i].new_name, values[i]);
  }

  table.documents[1].part_number = "\xff";
  EXPECT_FALSE(WriteWorkbook(table, path, &error));
  EXPECT_EQ(error,
            "row 4, part_number \"\\377\": is not UTF-8 text, which a workbook cannot hold; write "
            "the table as CSV");
}

TEST(WorkbookTest, CellsAsSpreadsheetsSaveThem) {
  ScratchDir dir;
  const std::string path = dir.path() + "/t.xlsx";
  // Inline strings (as in constant memory mode), a rich string, and cells that are not text,
  // with the columns in another order and a column of notes.
  lxw_workbook_options options = {};
  options.constant_memory = LXW_TRUE;
  lxw_workbook* workbook = workbook_new_opt(path.c_str(), &options);
  lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
  const char* header[] = {
      "notes",           "instance_of",        "file",     "part_number", "new_file",
      "new_part_number", "parent_part_number", "instance", "new_instance"};
  for (lxw_col_t c = 0; c < 9; ++c) worksheet_write_string(sheet, 0, c, header[c], nullptr);
  worksheet_write_string(sheet, 1, 2, "a.doc", nullptr);
  worksheet_write_string(sheet, 1, 3, "00123", nullptr);
  worksheet_write_number(sheet, 1, 5, 124, nullptr);
  worksheet_write_number(sheet, 1, 0, 7, nullptr);  // not read: no complaint
  lxw_format* bold = workbook_add_format(workbook);
  format_set_bold(bold);
  lxw_rich_string_tuple first = {bold, const_cast<char*>("A")},
                        second = {nullptr, const_cast<char*>(".1")};
  lxw_rich_string_tuple* rich[] = {&first, &second, nullptr};
  worksheet_write_string(sheet, 3, 6, "00123", nullptr);
  worksheet_write_rich_string(sheet, 3, 7, rich, nullptr);
  worksheet_write_formula(sheet, 3, 8, "=1+1", nullptr);
  worksheet_write_boolean(sheet, 4, 3, 1, nullptr);
  worksheet_write_string(sheet, 4, 2, "b.doc", nullptr);
  ASSERT_EQ(workbook_close(workbook), LXW_NO_ERROR);

  RenameTable read;
  const std::string advice =
      ", not text: a spreadsheet makes numbers, dates and formulas of what is typed into cells "
      "not formatted as text; format the cell as text (@) and type the value again\n";
  EXPECT_EQ(Findings(path, &read),
            "t.xlsx:F2: error: new_part_number: the cell holds a number" + advice +
                "t.xlsx:I4: error: new_instance: the cell holds a formula" + advice +
                "t.xlsx:D5: error: part_number: the cell holds a truth value" + advice +
                "3 errors, 0 warnings\n");
  ASSERT_EQ(read.documents.size(), 2u);
  EXPECT_EQ(read.documents[0].part_number, "00123");
  EXPECT_EQ(read.documents[0].new_part_number, "124");
  ASSERT_EQ(read.instances.size(), 1u);
  EXPECT_EQ(read.instances[0].name, "A.1");
  EXPECT_EQ(read.instances[0].line, 4);

  WriteFile(path, "PK\x03\x04 not a zip");
  EXPECT_EQ(Findings(path, &read),
            "t.xlsx:1: error: not a workbook: no zip archive that can be read\n"
            "1 error, 0 warnings\n");
}

}  // namespace
