// The workbook form of the rename table: what table writes comes back as it was, and what a
// spreadsheet saves (inline and rich strings, numbers, formulas) is read, or refused at its
// cell.
#include <gtest/gtest.h>
#include <minizip/zip.h>
#include <xlsxwriter.h>

#include <sstream>

#include "planner/rename_table.h"
#include "planner/workbook_reader.h"
#include "planner/workbook_writer.h"
#include "system/files.h"
#include "testing/crafted_workbook.h"
#include "testing/test_support.h"

namespace {

// Findings of reading the workbook `path` as a table, printed.
std::string Findings(const std::string& path, RenameTable* table) {
  Report report;
  std::ostringstream printed;
  if (!ReadWorkbookTable(Disk(), path, table, &report)) report.Print("t.xlsx", printed);
  return printed.str();
}

void WriteZip(const std::string& path, const std::vector<CraftedEntry>& entries) {
  ASSERT_TRUE(WriteCraftedZip(path, entries)) << path;
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

TEST(WorkbookTest, SheetsReadAsSpreadsheetsShowThem) {
  // Phonetic hints are no text of the cell; cells and rows without references follow the one
  // before.
  std::vector<CsvRow> rows;
  std::vector<WorkbookCell> not_text;
  WorkbookRefusal refusal;
  ScratchDir dir;
  const std::string path = dir.File("t.xlsx");
  WriteZip(path,
           WorkbookParts("<row r=\"2\"><c t=\"s\"><v>0</v></c><c r=\"C2\"><v>7</v></c><c t=\"s\">"
                         "<v>1</v></c></row><row><c r=\"B3\" t=\"inlineStr\"><is><r><t>A</t></r>"
                         "<rPh><t>\xe3\x82\xa2</t></rPh><r><t>.1</t></r></is></c></row>",
                         "<si><t>B</t><rPh sb=\"0\" eb=\"1\"><t>\xe3\x83\x93</t></rPh></si><si>"
                         "<t>x</t></si>"));
  std::string bytes;
  FileFacts facts;
  ASSERT_TRUE(Disk().ReadRegularFile(path, &bytes, &facts));
  ASSERT_TRUE(ReadWorkbook(bytes, &rows, &not_text, &refusal)) << refusal.reason;
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].line, 2);
  EXPECT_EQ(rows[0].fields, (std::vector<std::string>{"B", "", "7", "x"}));
  EXPECT_EQ(rows[1].line, 3);
  EXPECT_EQ(rows[1].fields, (std::vector<std::string>{"", "A.1"}));
  ASSERT_EQ(not_text.size(), 1u);
  EXPECT_EQ(not_text[0].column, 2u);
}

TEST(WorkbookTest, HostileWorkbooksAreRefusedQuicklyWithTheReason) {
  ScratchDir dir;
  const std::string path = dir.File("t.xlsx");
  const std::string again = "; open the workbook in the spreadsheet and save it again\n";
  const std::string split = "; make tables of sub-assemblies instead\n";
  const std::string too_long =
      " is longer than a spreadsheet's cell holds (32,767 characters); shorten it\n";
  const std::string cell = "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>x</t></is></c></row>";
  const std::string long_text(32768, 'x');
  std::string deep;
  for (int i = 0; i < 62; ++i) deep = "<x>" + deep + "</x>";
  std::string shown_often;  // a shared string of 32,000 characters, shown by 2,200 cells
  for (int row = 1; row <= 2200; ++row) {
    shown_often += "<row r=\"" + std::to_string(row) + "\"><c t=\"s\"><v>0</v></c></row>";
  }
  std::vector<CraftedEntry> twice = WorkbookParts(cell, ""), cased = WorkbookParts(cell, ""),
                            bomb = WorkbookParts(cell, "");
  twice.push_back({"xl/sharedStrings.xml", "<sst><si><t>PRT-2</t></si></sst>"});
  cased.insert(cased.begin(), {"XL/SharedStrings.xml", "<sst><si><t>PRT-2</t></si></sst>"});
  const uint64_t spaces = uint64_t{200} << 20;
  bomb.back() = {"xl/worksheets/sheet1.xml", DeflatedSpaces("<worksheet>", spaces, "</worksheet>"),
                 spaces + 23};
  struct Case {
    std::vector<CraftedEntry> entries;
    std::string refusal;  // after "t.xlsx:"
  };
  const Case cases[] = {
      {WorkbookParts(
           "<row r=\"7\"><c r=\"B7\" t=\"inlineStr\"><is><t>BOLT-M8x20-&x;C</t></is></c></row>",
           ""),
       "B7: error: xl/worksheets/sheet1.xml:2: an entity other than &amp; &lt; &gt; &quot; "
       "&apos;, which a workbook cannot have" +
           again},
      {{WorkbookParts(cell, "")[0],
        WorkbookParts(cell, "")[1],
        {"xl/sharedStrings.xml",
         "<!DOCTYPE sst [<!ENTITY x \"\">]><sst><si><t>BOLT-&x;C</t></si></sst>"}},
       "1: error: xl/sharedStrings.xml:1: a document type declaration, which no workbook has: it "
       "can define entities and values that a spreadsheet does not show" +
           again},
      {twice,
       "1: error: not a workbook that every reader reads alike: the archive has two entries named "
       "\"xl/sharedStrings.xml\", of which a spreadsheet shows one" +
           again},
      {cased,
       "1: error: not a workbook that every reader reads alike: the archive has two entries "
       "\"XL/SharedStrings.xml\" and \"xl/sharedStrings.xml\", of which a spreadsheet shows one" +
           again},
      {WorkbookParts(cell + "<row r=\"0\"/>", ""),
       "1: error: xl/worksheets/sheet1.xml:2: the row number \"0\", which no row has: rows are "
       "numbered 1 to 1,048,576" +
           again},
      {WorkbookParts("<row r=\"abc\"/>", ""),
       "1: error: xl/worksheets/sheet1.xml:2: the row number \"abc\", which no row has: rows are "
       "numbered 1 to 1,048,576" +
           again},
      {WorkbookParts("<row r=\"4294967313\"/>", ""),
       "1: error: xl/worksheets/sheet1.xml:2: the row number \"4294967313\", which no row has: "
       "rows are numbered 1 to 1,048,576" +
           again},
      {WorkbookParts("<row r=\"4\"/><row r=\"4\"/>", ""),
       "1: error: xl/worksheets/sheet1.xml:2: row 4 after row 4: a sheet gives its rows in order, "
       "each once" +
           again},
      {WorkbookParts("<row r=\"7\"><c r=\"B9\"/></row>", ""),
       "1: error: xl/worksheets/sheet1.xml:2: the cell reference \"B9\" in row 7, which names no "
       "cell of that row (columns A to XFD, then 7)" +
           again},
      {WorkbookParts("<row r=\"7\"><c r=\"B7\"/><c r=\"B7\"/></row>", ""),
       "1: error: xl/worksheets/sheet1.xml:2: cell B7 after cell B7: a row gives its cells in "
       "order, each once" +
           again},
      {WorkbookParts("<row r=\"2\"><c r=\"A2\" t=\"s\"><v>1</v></c></row>", "<si><t>x</t></si>"),
       "A2: error: the cell refers to shared string \"1\", and the workbook has 1 (from 0)" +
           again},
      {WorkbookParts("<row r=\"1\"><c>" + deep + "</c></row>", ""),
       "A1: error: xl/worksheets/sheet1.xml:2: elements nested more than 64 deep, which no "
       "workbook has" +
           again},
      {WorkbookParts(
           "<row r=\"3\"><c r=\"C3\" t=\"inlineStr\"><is><t>" + long_text + "</t></is></c></row>",
           ""),
       "C3: error: the cell's text" + too_long},
      {WorkbookParts(cell, "<si><t>" + long_text + "</t></si>"),
       "1: error: xl/sharedStrings.xml:1: the text \"xxxxxxxxxxxxxxxxxxxxxxxx\"..." + too_long},
      {WorkbookParts(shown_often, "<si><t>" + std::string(32000, 'x') + "</t></si>"),
       "A2092: error: the text of the cells up to this one adds up to more than 64 MiB, more than "
       "a rename table's workbook holds (a shared string counted for each cell that shows it)" +
           split},
      {WorkbookParts(
           "<row r=\"1\"><c r=\"A1\" s=\"" + std::string(size_t{5} << 20, '1') + "\"/></row>", ""),
       "1: error: xl/worksheets/sheet1.xml:2: a tag or a name longer than a workbook has (more "
       "than 4 MiB)" +
           again},
      {bomb,
       "1: error: xl/worksheets/sheet1.xml: expands from 1,321,062 to 209,715,223 bytes, more "
       "than 100 times, which no workbook that a spreadsheet saved does; not read" +
           again},
  };
  for (const Case& c : cases) {
    WriteZip(path, c.entries);
    RenameTable read;
    EXPECT_EQ(Findings(path, &read), "t.xlsx:" + c.refusal + "1 error, 0 warnings\n");
  }
}

}  // namespace
