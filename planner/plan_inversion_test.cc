// The way back from a control file: a part number changed alone, and instances under a
// document whose part number changed, are given back too.
#include "planner/plan_inversion.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "testing/test_support.h"

namespace {

TEST(PlanInversionTest, PartNumbersChangedAloneAndInstancesUnderChangedParentsComeBack) {
  ScratchDir dir;
  const std::string control = dir.File("c.ztr");
  WriteFile(control,
            "@ROOT\n{PARENT_OBJECTS}{A}\n{CHILD_OBJECTS}{K}\n{INSTANCE_OBJECTS}{N}{M}\n"
            "@A\n{PARTNUMBER}ASM\n{EXTERNAL_LOCATION}asm.doc\n"
            "@K\n{PARTNUMBER}SUB\n{EXTERNAL_LOCATION}sub.doc\n{NEW_PARTNUMBER}SUB-2\n"
            "@N\n{PARENT_PARTNUMBER}SUB\n{INSTANCENAME}Bolt.1\n{NEW_INSTANCENAME}M8.1\n"
            "@M\n{PARENT_PARTNUMBER}ASM\n{INSTANCENAME}Sub.1\n{NEW_INSTANCENAME}S.1\n");
  RenamePlan undo;
  std::vector<std::string> left;
  Report report;
  ASSERT_EQ(InvertControlFile(control, &undo, &left, &report), 0);
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

}  // namespace
