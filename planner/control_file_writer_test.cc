// How a plan is split into control files: at the list limit exactly, and with documents that
// are first saved as parents and then changed themselves.
#include "planner/control_file_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

PlanDocument Unchanged(const std::string& id, std::vector<int> holders = {}) {
  return {id, id + ".doc", id, id + ".doc", id, std::move(holders)};
}

size_t Files(const RenamePlan& plan, size_t limit) {
  std::vector<std::string> files;
  std::string error;
  EXPECT_TRUE(WriteControlFiles(plan, &files, &error, limit)) << error;
  return files.size();
}

TEST(ControlFileWriterTest, AListAsLongAsTheLimitStaysInOneFile) {
  RenamePlan plan;
  plan.documents = {Unchanged("A"), Unchanged("B")};
  for (PlanDocument& document : plan.documents) document.new_part_number += "-2";
  plan.changes = {0, 1};
  EXPECT_EQ(Files(plan, 6), 1u);  // CHILD_OBJECTS {A}{B}
  EXPECT_EQ(Files(plan, 5), 2u);
}

TEST(ControlFileWriterTest, AParentThatIsChangedLaterCountsAsAChildOnly) {
  // C is held by P, P by a long-named Q; C then P change. PARENT_OBJECTS ends as {Q...} alone.
  const std::string q(20, 'Q');
  RenamePlan plan;
  plan.documents = {Unchanged("C", {1}), Unchanged("P", {2}), Unchanged(q)};
  plan.documents[0].new_part_number = "C-2";
  plan.documents[1].new_part_number = "P-2";
  plan.changes = {0, 1};
  EXPECT_EQ(Files(plan, q.size() + 2), 1u);
}

}  // namespace
