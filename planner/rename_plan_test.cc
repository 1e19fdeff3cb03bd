#include "planner/rename_plan.h"

#include <gtest/gtest.h>

#include <sstream>

#include "planner/control_file_writer.h"
#include "testing/test_support.h"

namespace {

const std::string kHeader =
    "file,part_number,new_part_number,new_file,parent_part_number,instance,new_instance,"
    "instance_of\n";

class RenamePlanTest : public ::testing::Test {
 protected:
  // The control files of the table `csv` one after the other, or what was refused.
  static std::string Written(const std::string& csv, size_t list_limit = kListLimit) {
    Report report;
    RenameTable table;
    RenamePlan plan;
    if (!ReadTable(csv, &table, &report) || !PlanFromTable(Disk(), table, &plan, &report)) {
      std::ostringstream refused;
      report.Print("t.csv", refused);
      return ScrubFolder(refused.str(), ".");
    }
    std::vector<std::string> files;
    std::string error, all;
    if (!WriteControlFiles(plan, &files, &error, list_limit)) return error;
    for (const std::string& file : files) all += file + "--\n";
    return all;
  }

  InScratchDir here_;
  const ScratchDir& dir_ = here_.dir();
};

// A top assembly with a sub-assembly (two instances renamed in it) and a part, both changed.
const std::string kTable = kHeader +
                           "top.doc,TOP,,,,,,\n"
                           ",,,,TOP,Sub.1,,sub.doc\n"
                           ",,,,TOP,Other.1,,other.doc\n"
                           "sub.doc,SUB,SUB-2,new/sub2.doc,,,,\n"
                           ",,,,SUB,P1,P.1,part.doc\n"
                           ",,,,SUB,P2,P.2,part.doc\n"
                           "other.doc,OTHER,,,,,,\n"
                           "part.doc,PART,\"PART\n2\",,,,,\n";

TEST_F(RenamePlanTest, ParentsAreSavedAndChildrenComeBeforeTheirHolders) {
  EXPECT_EQ(Written(kTable),
            "@ROOT\n{PARENT_OBJECTS}{TOP}\n{CHILD_OBJECTS}{PART}{SUB}\n"
            "{INSTANCE_OBJECTS}{SUB/P1}{SUB/P2}\n\n"
            "@TOP\n{PARTNUMBER}TOP\n{EXTERNAL_LOCATION}top.doc\n\n"
            "@PART\n{PARTNUMBER}PART\n{EXTERNAL_LOCATION}part.doc\n{NEW_PARTNUMBER}PART@EOL@2\n\n"
            "@SUB\n{PARTNUMBER}SUB\n{EXTERNAL_LOCATION}sub.doc\n{NEW_PARTNUMBER}SUB-2\n"
            "{NEW_EXTERNAL_LOCATION}new/sub2.doc\n\n"
            "@SUB/P1\n{PARENT_PARTNUMBER}SUB\n{INSTANCENAME}P1\n{NEW_INSTANCENAME}P.1\n\n"
            "@SUB/P2\n{PARENT_PARTNUMBER}SUB\n{INSTANCENAME}P2\n{NEW_INSTANCENAME}P.2\n--\n");
  // Split, each control file names what the ones before it changed by the new names.
  EXPECT_EQ(Written(kTable, 10),
            "@ROOT\n{PARENT_OBJECTS}{SUB}\n{CHILD_OBJECTS}{PART}\n\n"
            "@SUB\n{PARTNUMBER}SUB\n{EXTERNAL_LOCATION}sub.doc\n\n"
            "@PART\n{PARTNUMBER}PART\n{EXTERNAL_LOCATION}part.doc\n{NEW_PARTNUMBER}PART@EOL@2\n--\n"
            "@ROOT\n{PARENT_OBJECTS}{TOP}\n{CHILD_OBJECTS}{SUB}\n{INSTANCE_OBJECTS}{SUB/P1}\n\n"
            "@TOP\n{PARTNUMBER}TOP\n{EXTERNAL_LOCATION}top.doc\n\n"
            "@SUB\n{PARTNUMBER}SUB\n{EXTERNAL_LOCATION}sub.doc\n{NEW_PARTNUMBER}SUB-2\n"
            "{NEW_EXTERNAL_LOCATION}new/sub2.doc\n\n"
            "@SUB/P1\n{PARENT_PARTNUMBER}SUB\n{INSTANCENAME}P1\n{NEW_INSTANCENAME}P.1\n--\n"
            "@ROOT\n{PARENT_OBJECTS}{SUB}\n{INSTANCE_OBJECTS}{SUB/P2}\n\n"
            "@SUB\n{PARTNUMBER}SUB-2\n{EXTERNAL_LOCATION}new/sub2.doc\n\n"
            "@SUB/P2\n{PARENT_PARTNUMBER}SUB-2\n{INSTANCENAME}P2\n{NEW_INSTANCENAME}P.2\n--\n");
  EXPECT_EQ(Written(kTable, 7),
            "\"SUB/P1\" with the documents it needs is more than one control file holds");
}

TEST_F(RenamePlanTest, RefusesWhatARunCouldNotCarryOutWithTheLine) {
  WriteFile("there.doc", "");
  const std::string rows[] = {"top.doc,TOP,,,,,,\n", ",,,,TOP,A.1,,a.doc\n", ",,,,TOP,B.1,,b.doc\n",
                              "a.doc,A,,,,,,\n", "b.doc,B,,,,,,\n"};  // lines 2 to 6
  const struct {
    int row;  // replaced, from 0
    std::string by, refused;
  } cases[] = {
      {3, "a.doc,A,,./b.doc,,,,",
       "5: error: new_file \"<dir>/b.doc\": is the file of the document on the row at line 6"},
      {3, "a.doc,A,,x.doc,,,,\nb.doc,B,,x.doc,,,,",
       "6: error: new_file \"<dir>/x.doc\": is given on the row at line 5 as well"},
      {3, "a.doc,A,,there.doc,,,,",
       "5: error: new_file \"<dir>/there.doc\": a file is there already"},
      {3, "a.doc,A,X,,,,,\nb.doc,B,X,,,,,",
       "6: error: new_part_number \"X\": is given on the row at line 5 as well"},
      {1, ",,,,TOP,A.1,B.1,a.doc",
       "3: error: new_instance \"B.1\": is the name of the instance on the row at line 4"},
      {1, ",,,,TOP,A.1,C.1,a.doc\n,,,,TOP,B.1,C.1,b.doc",
       "4: error: new_instance \"C.1\": is given under the same parent on the row at line 3 as "
       "well"},
      {2, ",,,,TOP,A.1,C.1,a.doc",
       "4: error: instance \"A.1\": is listed under this parent already, on the row at line 3"},
      {2, ",,,,TOP,B.1,,c.doc",
       "4: error: instance_of \"<dir>/c.doc\": is no document's file in the table"},
      {2, ",,,,TOPX,B.1,B.2,b.doc",
       "4: error: parent_part_number \"TOPX\": is no document's part number in the table"},
      {4, "a.doc,B,,,,,,",
       "6: error: file \"<dir>/a.doc\": is listed already, on the row at line 5"},
      {3, "a.doc,A,A2 ,,,,,",
       "5: error: new_part_number \"A2 \": cannot be written into a control file: it would be "
       "read back as \"A2\", as reading drops the blanks at its ends"},
      {3, "a.doc,A,\"A2\r\",,,,,",
       "5: error: new_part_number \"A2\\r\": cannot be written into a control file: it would be "
       "read back as \"A2\", as reading drops the carriage returns"},
      {3, "a.doc,,A2,,,,,",
       "5: error: part_number \"\": cannot be written into a control file: it is empty"},
      {3, "a.doc,A,A@EOL@2,,,,,",
       "5: error: new_part_number \"A@EOL@2\": cannot be written into a control file: it would "
       "be read back as \"A\\n2\", as reading takes every \"@EOL@\" for a line break"},
      {3, "a.doc,A,\"A@EOL\n2\",,,,,",
       "5: error: new_part_number \"A@EOL\\n2\": cannot be written into a control file: it would "
       "be read back as \"A\\nEOL@2\""},
      {3, "a.doc,A," + std::string(70000, 'x') + ",,,,,",
       "5: error: new_part_number \"" + std::string(80, 'x') +
           "\" (cut, of 70000 bytes): cannot be written into a control file: reading keeps "
           "65,535 bytes of it"},
      {3, "a.doc,A,,,TOP,,,",
       "5: error: column \"parent_part_number\" is not read on a document's row"},
      {3, "a.doc,A,,,,A.1,,", "5: error: a row has a file or an instance, not both"},
      {3, ",A,A2,,,,,", "5: error: a row needs a file (a document) or an instance"},
  };
  for (const auto& c : cases) {
    std::string csv = kHeader;
    for (int r = 0; r < 5; ++r) csv += r == c.row ? c.by + "\n" : rows[r];
    const std::string refused = Written(csv);
    EXPECT_NE(refused.find("t.csv:" + c.refused), std::string::npos) << c.refused << "\n"
                                                                     << refused;
  }
  const std::string missing =
      Written("file,part_number,new_part_number,parent_part_number,instance,New_Instance\n");
  EXPECT_EQ(missing.substr(0, missing.find('\n') + 1),
            "t.csv:1: error: missing column: new_file, instance_of (is this the table that "
            "Quorvel-plan table wrote?)\n");
}

}  // namespace
