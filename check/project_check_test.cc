// A project folder of two products sharing a library part: the plan of one of them, judged and
// planned with the project in scope (--project), leaves the other product neither unnamed nor
// broken.
#include "check/project_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "check/control_file_check.h"
#include "planner/plan_command.h"
#include "standin_process.h"
#include "testing/generated_project.h"
#include "testing/test_support.h"
#include "tree/tree_command.h"

namespace {

std::string Document(const std::string& part_number, const std::string& components = "") {
  return "STANDIN-DOCUMENT 1\nproduct\npartnumber " + part_number + "\n" + components;
}

// The companions run with a project in scope (with an index of the test's own), and the tool.
class CompanionsTest : public ::testing::Test {
 protected:
  // Runs a companion, the project in scope unless told; sets `outcome_`.
  std::string Run(const std::string& command, std::vector<std::string> args, bool scope = true) {
    if (scope) args.insert(args.end() - 1, {"--project", ".", "--index", dir_.File("i.sqlite")});
    outcome_ = command == "check"  ? RunCommand(RunControlFileCheck, "Quorvel-check", args)
               : command == "tree" ? RunCommand(RunTreeCommand, "Quorvel-tree", args)
                                   : RunCommand(RunPlanCommand, "Quorvel-plan", args);
    return dir_.Scrub(outcome_.out);
  }
  bool RunTool(const std::string& control_file) {
    return StandinRunProcess(kQuorvelBinary, {control_file}, ".", {"ZTR_TRACE_LEVEL"}, "", "") == 0;
  }

  InScratchDir here_;
  const ScratchDir& dir_ = here_.dir();
  CommandOutcome outcome_;
};

// a/a.prod and b/b.prod both use lib/bolt.part; rename.ztr renames the bolt for A only.
class ProjectTest : public CompanionsTest {
 protected:
  void SetUp() override {
    std::filesystem::create_directories("project/lib");
    std::filesystem::create_directories("project/a");
    std::filesystem::create_directories("project/b");
    WriteFile("project/lib/bolt.part", Document("BOLT-7"));
    WriteFile("project/lib/nut.part", Document("NUT"));
    WriteFile("project/a/a.prod", Document("A",
                                           "component Bolt.1\nreference ../lib/bolt.part\n"
                                           "component Nut.1\nreference ../lib/nut.part\n"));
    WriteFile("project/b/b.prod", Document("B",
                                           "component Bolt.1\nreference ../lib/bolt.part\n"
                                           "component Bolt.2\nreference ../lib/bolt.part\n"));
    WriteFile("project/rename.ztr",
              "@ROOT\n{PARENT_OBJECTS}{A}\n{CHILD_OBJECTS}{BOLT}\n"
              "@A\n{PARTNUMBER}A\n{EXTERNAL_LOCATION}a/a.prod\n"
              "@BOLT\n{PARTNUMBER}BOLT-7\n{EXTERNAL_LOCATION}lib/bolt.part\n"
              "{NEW_PARTNUMBER}BOLT-8\n{NEW_EXTERNAL_LOCATION}lib/bolt-8.part\n");
    std::filesystem::current_path("project");
  }
};

const char kLeftOut[] =
    "rename.ztr:11: warning: document \"BOLT\" is saved as \"<dir>/project/lib/bolt-8.part\", "
    "but \"<dir>/project/b/b.prod\" of the project (its components \"Bolt.1\", \"Bolt.2\") uses "
    "it and is not saved: it keeps the old file \"<dir>/project/lib/bolt.part\"; to make it "
    "follow, list it under PARENT_OBJECTS, or write the plan with Quorvel-plan write --project\n";

TEST_F(ProjectTest, APlanThatLeavesTheOtherProductOutNamesItsUsers) {
  EXPECT_EQ(Run("check", {"--open", "rename.ztr"}),
            std::string(kLeftOut) + "0 errors, 1 warning\n");
  EXPECT_EQ(outcome_.exit_code, 1);
  EXPECT_EQ(Run("check", {"--open", "rename.ztr"}, false), "0 errors, 0 warnings\n");
  // The tree's own structure is A's; B is outside it and the plan.
  EXPECT_NE(Run("tree", {"--plan", "rename.ztr", "a/a.prod"}).find(kLeftOut), std::string::npos)
      << outcome_.out;
  EXPECT_EQ(outcome_.exit_code, 1);

  // Run as it is, B keeps the old file: --after says so, and --old-files does not list it.
  ASSERT_TRUE(RunTool("rename.ztr"));
  EXPECT_NE(Run("check", {"--after", "rename.ztr"})
                .find("\"<dir>/project/b/b.prod\" of the "
                      "project (its components \"Bolt.1\", "
                      "\"Bolt.2\") still refers to the old "
                      "file \"<dir>/project/lib/bolt.part\""),
            std::string::npos)
      << outcome_.out;
  EXPECT_EQ(outcome_.exit_code, 1);
  EXPECT_EQ(Run("check", {"--after", "--old-files=lines", "rename.ztr"}), "");
  EXPECT_NE(dir_.Scrub(outcome_.err)
                .find("\"<dir>/project/lib/bolt.part\" is not listed: "
                      "\"<dir>/project/b/b.prod\" of the project uses it"),
            std::string::npos)
      << outcome_.err;
}

TEST_F(ProjectTest, WriteWithTheProjectMakesTheOtherProductFollow) {
  Run("plan", {"table", "-o", "t.csv", "a/a.prod", "--select-part", "BOLT*", "--number", "BOLT-{n}",
               "--start", "next"});
  ASSERT_EQ(outcome_.exit_code, 0) << outcome_.err;
  EXPECT_NE(outcome_.err.find("numbers from 8, after \"BOLT-7\" of the project"), std::string::npos)
      << outcome_.err;

  // A user that cannot be saved refuses the table, unless it is left.
  std::filesystem::permissions("b/b.prod", std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  Run("plan", {"write", "-o", "job.ztr", "t.csv"});
  EXPECT_EQ(outcome_.exit_code, 2);
  EXPECT_NE(dir_.Scrub(outcome_.err).find("error: \"<dir>/project/b/b.prod\" of the project uses"),
            std::string::npos)
      << outcome_.err;
  EXPECT_FALSE(std::filesystem::exists("job.ztr"));
  Run("plan", {"write", "--leave-users", "-o", "job.ztr", "t.csv"});
  EXPECT_EQ(outcome_.exit_code, 0) << outcome_.err;
  EXPECT_EQ(ReadWholeFile("job.ztr").find("b.prod"), std::string::npos);
  std::filesystem::permissions("b/b.prod", std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);

  Run("plan", {"write", "-o", "job.ztr", "t.csv"});
  ASSERT_EQ(outcome_.exit_code, 0) << outcome_.err;
  EXPECT_NE(dir_.Scrub(outcome_.err)
                .find("\"<dir>/project/b/b.prod\" of the project uses "
                      "\"<dir>/project/lib/bolt.part\" (its components \"Bolt.1\", \"Bolt.2\"), "
                      "which is saved as \"<dir>/project/lib/BOLT-8.part\": it is saved in place "
                      "too, so that its links follow"),
            std::string::npos)
      << outcome_.err;
  EXPECT_EQ(Run("check", {"--open", "job.ztr"}), "0 errors, 0 warnings\n");
  ASSERT_TRUE(RunTool("job.ztr"));
  EXPECT_EQ(Run("tree", {"b/b.prod"}, false),
            "b/b.prod  [B]\n"
            "  Bolt.1  lib/BOLT-8.part  [BOLT-8]\n"
            "  Bolt.2  lib/BOLT-8.part  [BOLT-8]\n");
  EXPECT_EQ(Run("check", {"--after", "job.ztr"}), "0 errors, 0 warnings\n");
  EXPECT_EQ(Run("check", {"--after", "--old-files=lines", "job.ztr"}),
            "<dir>/project/lib/bolt.part\n");
}

// A generated project: products 0 and 1 share sub-assembly 1, which uses part 1; sub-assemblies 2
// and 3, outside product 0, use part 1 too. Part 1 renumbered for product 0 leaves them out,
// unless the plan is written with the project.
class GeneratedProjectTest : public CompanionsTest {
 protected:
  void SetUp() override {
    GenerateProject("project", {6, 4, 2, 3, 2});
    std::filesystem::current_path("project");
  }
};

TEST_F(GeneratedProjectTest, APartSharedByTwoProductsIsRenamedForOneAndTheOtherFollows) {
  Run("plan", {"table", "-o", "t.csv", "products/0/product 0.CATProduct", "--select-part", "P-1",
               "--number", "P-{n}", "--start", "next"});
  ASSERT_EQ(outcome_.exit_code, 0) << outcome_.err;
  Run("plan", {"write", "-o", "alone.ztr", "t.csv"}, false);
  ASSERT_EQ(outcome_.exit_code, 0) << outcome_.err;
  const std::string kept = "it keeps the old file \"<dir>/project/lib/0/part 1.CATPart\"";
  for (const char* user : {"asm/0/sub 2.CATProduct", "asm/0/sub 3.CATProduct"}) {
    const std::string found = Run("check", {"--open", "alone.ztr"});
    EXPECT_NE(found.find(std::string("\"<dir>/project/") + user + "\" of the project"),
              std::string::npos)
        << found;
    EXPECT_NE(found.find(kept), std::string::npos) << found;
    EXPECT_EQ(outcome_.exit_code, 1);
    EXPECT_NE(Run("tree", {"--plan", "alone.ztr", "products/0/product 0.CATProduct"}).find(user),
              std::string::npos)
        << outcome_.out;
    EXPECT_EQ(outcome_.exit_code, 1);
  }

  Run("plan", {"write", "-o", "job.ztr", "t.csv"});
  ASSERT_EQ(outcome_.exit_code, 0) << outcome_.err;
  EXPECT_EQ(Run("check", {"--open", "job.ztr"}), "0 errors, 0 warnings\n");
  ASSERT_TRUE(RunTool("job.ztr"));
  const std::string other = Run("tree", {"products/0/product 1.CATProduct"}, false);
  EXPECT_NE(other.find("lib/0/P-6.CATPart  [P-6]"), std::string::npos) << other << outcome_.err;
  EXPECT_EQ(other.find("part 1.CATPart"), std::string::npos) << other;
  EXPECT_EQ(Run("check", {"--after", "job.ztr"}), "0 errors, 0 warnings\n");
  EXPECT_EQ(Run("check", {"--after", "--old-files=lines", "job.ztr"}),
            "<dir>/project/lib/0/part 1.CATPart\n");
}

}  // namespace
