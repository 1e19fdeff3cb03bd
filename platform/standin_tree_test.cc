#include "standin_tree.h"

#include <gtest/gtest.h>

#include "driver/test_support.h"

namespace {

TEST(StandinTreeTest, FollowsReferencesAndMarksWhatCannotBeFollowed) {
  ScratchDir dir;
  std::filesystem::create_directories(dir.File("parts"));
  WriteFile(dir.File("top.doc"),
            "STANDIN-DOCUMENT 1\nother\nproduct\npartnumber TOP\ncomponent Sub.1\n"
            "reference parts/sub.doc\ncomponent Loose.1\ncomponent Gone.1\nreference gone.doc\n");
  WriteFile(dir.File("parts/sub.doc"),
            "STANDIN-DOCUMENT 1\nproduct\npartnumber SUB\\n2\ncomponent Up.1\n"
            "reference ../top.doc\n");
  std::ostringstream out, errors;
  const auto old = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  EXPECT_TRUE(PrintStandinTree("top.doc", out, errors));
  EXPECT_FALSE(PrintStandinTree("gone.doc", out, errors));
  std::filesystem::current_path(old);
  EXPECT_EQ(out.str(),
            "top.doc  [TOP]\n"
            "  Sub.1  parts/sub.doc  [SUB\\n2]\n"
            "    Up.1  top.doc  (refers back to an enclosing document)\n"
            "  Loose.1  (no reference)\n"
            "  Gone.1  gone.doc  (cannot be opened)\n");
  EXPECT_EQ(errors.str(), "Quorvel-tree: gone.doc: not a readable stand-in document\n");
}

}  // namespace
