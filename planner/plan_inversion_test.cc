// The way back from a control file: a part number changed alone, and instances under a
// document whose part number changed, are given back too; after a run that partly failed,
// what it did and nothing else.
#include "planner/plan_inversion.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "standin_process.h"
#include "testing/test_support.h"

namespace {

class PlanInversionTest : public ::testing::Test {
 protected:
  InScratchDir here_;
  const ScratchDir& dir_ = here_.dir();
};

TEST_F(PlanInversionTest, PartNumbersChangedAloneAndInstancesUnderChangedParentsComeBack) {
  // The documents as the run left them.
  WriteFile("asm.doc",
            "STANDIN-DOCUMENT 1\nproduct\npartnumber ASM\ncomponent S.1\n"
            "reference sub.doc\n");
  WriteFile("sub.doc", "STANDIN-DOCUMENT 1\nproduct\npartnumber SUB-2\ncomponent M8.1\n");
  WriteFile("c.ztr",
            "@ROOT\n{PARENT_OBJECTS}{A}\n{CHILD_OBJECTS}{K}\n{INSTANCE_OBJECTS}{N}{M}\n"
            "@A\n{PARTNUMBER}ASM\n{EXTERNAL_LOCATION}asm.doc\n"
            "@K\n{PARTNUMBER}SUB\n{EXTERNAL_LOCATION}sub.doc\n{NEW_PARTNUMBER}SUB-2\n"
            "@N\n{PARENT_PARTNUMBER}SUB\n{INSTANCENAME}Bolt.1\n{NEW_INSTANCENAME}M8.1\n"
            "@M\n{PARENT_PARTNUMBER}ASM\n{INSTANCENAME}Sub.1\n{NEW_INSTANCENAME}S.1\n");
  RenamePlan undo;
  std::vector<std::string> left;
  Report report;
  ASSERT_EQ(InvertControlFile(Disk(), "c.ztr", &undo, &left, &report), 0);
  EXPECT_EQ(report.ExitCode(), 0);
  ASSERT_EQ(undo.changes.size(), 1u);
  const PlanDocument& sub = undo.documents[static_cast<size_t>(undo.changes[0])];
  EXPECT_EQ(sub.part_number, "SUB-2");
  EXPECT_EQ(sub.new_part_number, "SUB");
  EXPECT_TRUE(left.empty());  // the file stayed where it was
  ASSERT_EQ(undo.instances.size(), 2u);
  EXPECT_EQ(undo.instances[0].name, "M8.1");
  EXPECT_EQ(undo.instances[0].new_name, "Bolt.1");
  EXPECT_EQ(undo.documents[static_cast<size_t>(undo.instances[0].parent)].id, "K");
  EXPECT_EQ(undo.documents[static_cast<size_t>(undo.instances[1].parent)].id, "A");
}

TEST_F(PlanInversionTest, AfterARunThatPartlyFailedUndoesWhatItDidAndSaysWhatItLeavesOut) {
  std::filesystem::copy(kSourceDir / "examples" / "bracket", ".",
                        std::filesystem::copy_options::recursive);
  ASSERT_EQ(StandinRunProcess(kQuorvelBinary, {"rename.ztr"}, ".",
                              {"ZTR_TRACE_LEVEL", "QUORVEL_STANDIN_FAIL=SaveAs=" +
                                                      dir_.File("parts/bolt-m8x25.CATPart")},
                              "", ""),
            0);
  ASSERT_NE(ReadWholeFile("rename.ztr.log").find("Failed to save document"), std::string::npos);
  RenamePlan undo;
  std::vector<std::string> left;
  Report report;
  ASSERT_EQ(InvertControlFile(Disk(), "rename.ztr", &undo, &left, &report), 0);
  std::ostringstream said;
  report.Print("rename.ztr", said);
  EXPECT_EQ(said.str(),
            "rename.ztr:18: warning: document \"BOLT\" is left out of the way back: \"" +
                dir_.File("parts/bolt-m8x25.CATPart") +
                "\" holds no document: the run did not save it there\n0 errors, 1 warning\n");
  EXPECT_EQ(left, std::vector<std::string>{"parts/hinge-pin-b.CATPart"});
  // The bolts' instances were renamed in the assembly saved in place: they come back. (The
  // campaign tests run such a way back and find the structure as it was.)
  EXPECT_EQ(undo.instances.size(), 5u);
}

}  // namespace
