#include "planner/structure_match.h"

#include <gtest/gtest.h>

#include <sstream>

#include "testing/test_support.h"

namespace {

const std::string kHeader =
    "file,part_number,new_part_number,new_file,parent_part_number,instance,new_instance,"
    "instance_of\n";

// The structure: an assembly (part number 000120) with two instances of a part (00123) and
// one of another (=1+1), as ReadStructureTable makes its table.
RenameTable Structure() {
  RenameTable structure;
  structure.documents = {{0, "top.doc", "000120", "", ""},
                         {0, "a.doc", "00123", "", ""},
                         {0, "b.doc", "=1+1", "", ""}};
  structure.instances = {{0, "000120", "1.10", "", "a.doc", 0},
                         {0, "000120", "A.2", "", "a.doc", 0},
                         {0, "000120", "B.1", "", "b.doc", 0}};
  return structure;
}

const std::string kRows[] = {"top.doc,000120,,,,,,\n",  ",,,,000120,1.10,,a.doc\n",
                             ",,,,000120,A.2,,a.doc\n", ",,,,000120,B.1,,b.doc\n",
                             "a.doc,00123,,,,,,\n",     "b.doc,=1+1,,,,,,\n"};  // lines 2 to 7

// The findings on the table of kRows with row `row` (from 0) replaced by `by`, or "matched"
// with the new part numbers and instance names that the matched table holds.
std::string Matched(int row, const std::string& by, bool* spreadsheet = nullptr) {
  std::string csv = kHeader;
  for (int r = 0; r < 6; ++r) csv += r == row ? by : kRows[r];
  Report report;
  RenameTable table, matched;
  bool seen = false;
  std::ostringstream findings;
  if (!ReadTable(csv, &table, &report) ||
      !MatchStructure(table, Structure(), "top.doc", &matched, &report, &seen)) {
    report.Print("t.csv", findings);
    if (spreadsheet != nullptr) *spreadsheet = seen;
    return ScrubFolder(findings.str(), ".");
  }
  std::string names = "matched ";
  for (const TableDocument& d : matched.documents) names += d.new_part_number + ",";
  names += " /";
  for (const TableInstance& i : matched.instances) names += " " + i.new_name + ",";
  return names;
}

TEST(StructureMatchTest, RowsMustNameWhatTheStructureHolds) {
  EXPECT_EQ(Matched(4, "a.doc,00123,1E5,,,,,\n"), "matched ,1E5,, / , , ,");
  EXPECT_EQ(Matched(3, ",,,,000120,B.1,=2,b.doc\n"), "matched ,,, / , , =2,");
  EXPECT_EQ(Matched(4, ""), "matched ,,, / , , ,");  // rows may be left out
  const struct {
    int row;
    std::string by, refused;
    bool spreadsheet;
  } cases[] = {
      {4, "a.doc,123,,,,,,\n",
       "t.csv:6: error: part_number \"123\": the document's part number is \"00123\" (its leading "
       "zeros were dropped, as spreadsheets do when they open a CSV table)",
       true},
      {5, "b.doc,2,,,,,,\n",
       "part_number \"2\": the document's part number is \"=1+1\" (it was "
       "run as a formula",
       true},
      {0, "top.doc,000120,,,,,,\nc.doc,C,,,,,,\n",
       "t.csv:3: error: file \"<dir>/c.doc\": is no document of the structure under "
       "\"<dir>/top.doc\"",
       false},
      {5, "./a.doc,00123,,,,,,\n",
       "t.csv:7: error: file \"<dir>/a.doc\": is listed already, on the row at line 6", false},
      {1, ",,,,120,1.10,,a.doc\n",
       "t.csv:3: error: parent_part_number \"120\": no document of the structure has this part "
       "number; the document on the row above has \"000120\" (its leading zeros",
       true},
      {1, ",,,,000120,1.1,,a.doc\n",
       "t.csv:3: error: instance \"1.1\": no instance has this name; there is \"1.10\" (it was "
       "read "
       "as a number",
       true},
      {1, ",,,,000120,Zz.91,,a.doc\n",
       "t.csv:3: error: instance \"Zz.91\": the document \"<dir>/top.doc\" has no instance of "
       "this name\n",
       false},
      // Slips of a letter, with what was meant.
      {1, ",,,,000120,A2,,a.doc\n",
       "t.csv:3: error: instance \"A2\": the document \"<dir>/top.doc\" has no instance of this "
       "name; "
       "did you mean \"A.2\"?",
       false},
      {4, "a.dok,00123,,,,,,\n",
       "t.csv:6: error: file \"<dir>/a.dok\": is no document of the structure under "
       "\"<dir>/top.doc\"; "
       "did you mean \"a.doc\"?",
       false},
      {2, ",,,,000120,1.10,X,a.doc\n",
       "t.csv:4: error: instance \"1.10\": is listed under this parent already, on the row at "
       "line 3",
       false},
      {2, ",,,,000120,A.2,,\n",
       "t.csv:4: error: instance_of \"\": the instance is an instance of \"<dir>/a.doc\"", false},
      {4, "a.doc,00123,1.23456789012346E+017,,,,,\n",
       "t.csv:6: error: new_part_number \"1.23456789012346E+017\": has the exponent form", true},
  };
  for (const auto& c : cases) {
    bool spreadsheet = false;
    const std::string refused = Matched(c.row, c.by, &spreadsheet);
    EXPECT_NE(refused.find(c.refused), std::string::npos) << c.refused << "\n" << refused;
    EXPECT_EQ(spreadsheet, c.spreadsheet) << c.refused;
  }
}

}  // namespace
