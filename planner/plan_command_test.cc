// Quorvel-plan as users run it, and the round trip: table with rules, write, Quorvel-check,
// Quorvel, invert, Quorvel again, and the structure is what it was.
#include "planner/plan_command.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "bench/structure_generator.h"
#include "check/control_file_check.h"
#include "planner/control_file_writer.h"
#include "planner/naming_rules.h"
#include "planner/structure_table.h"
#include "standin_process.h"
#include "testing/test_support.h"

namespace {

namespace fs = std::filesystem;

class PlanCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    old_cwd_ = fs::current_path();
    fs::current_path(dir_.path());
  }
  void TearDown() override { fs::current_path(old_cwd_); }

  // Runs Quorvel-plan (or, with "Quorvel-check" first, the check) in the scratch folder;
  // returns its standard output and sets `exit_code_` and `errors_`.
  std::string Run(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(&arg[0]);
    std::ostringstream out, err;
    exit_code_ = args[0] == "Quorvel-check"
                     ? RunControlFileCheck(static_cast<int>(argv.size()), argv.data(), out, err)
                     : RunPlanCommand(static_cast<int>(argv.size()), argv.data(), out, err);
    errors_ = err.str();
    return out.str();
  }
  // The structure under `root` as a table without rules.
  std::string Structure(const std::string& root) { return Run({"Quorvel-plan", "table", root}); }
  // Checks `control` (with --open: no error; warnings only on the way back, where the old
  // files exist), then runs Quorvel on it.
  void CheckAndRun(const std::string& control, bool back = false) {
    EXPECT_EQ(Run({"Quorvel-check", control}), "0 errors, 0 warnings\n");
    const std::string open = Run({"Quorvel-check", "--open", control});
    EXPECT_EQ(open.find("error:"), std::string::npos) << open;
    if (!back) {
      EXPECT_EQ(exit_code_, 0) << open;
    }
    ASSERT_EQ(StandinRunProcess(kQuorvelBinary, {control}, ".", {}, "", ""), 0);
    EXPECT_EQ(ReadWholeFile(control + ".log").find("ailed"), std::string::npos) << control;
  }

  ScratchDir dir_;
  fs::path old_cwd_;
  int exit_code_ = -1;
  std::string errors_;
};

TEST_F(PlanCommandTest, CommandLineConventions) {
  EXPECT_EQ(Run({"Quorvel-plan", "--help"}).substr(0, 28), "Usage: Quorvel-plan table [-");
  EXPECT_EQ(Run({"Quorvel-plan", "--version"}), "Quorvel-plan " QUORVEL_VERSION "\n");
  for (std::vector<std::string> wrong : {std::vector<std::string>{"Quorvel-plan"},
                                         {"Quorvel-plan", "tables", "a"},
                                         {"Quorvel-plan", "write", "a.csv", "b.csv"},
                                         {"Quorvel-plan", "invert", "-o"}}) {
    EXPECT_EQ(Run(wrong), "");
    EXPECT_EQ(exit_code_, 3);
    EXPECT_EQ(errors_.substr(0, 26), "Usage: Quorvel-plan table ");
  }
  Run({"Quorvel-plan", "write", "missing.csv"});
  EXPECT_EQ(errors_, "Quorvel-plan: missing.csv: No such file or directory\n");
  Run({"Quorvel-plan", "table", "."});
  EXPECT_EQ(errors_, "Quorvel-plan: .: is a folder\n");
  Run({"Quorvel-plan", "table", "top.doc", "--number", "X"});
  EXPECT_EQ(exit_code_, 3);

  // A refused table writes no control file; a table that write would refuse says so.
  WriteFile("top.doc",
            "STANDIN-DOCUMENT 1\nproduct\npartnumber TOP\ncomponent A.1\n"
            "reference a.doc\ncomponent Gone.1\nreference gone.doc\n");
  WriteFile("a.doc", "STANDIN-DOCUMENT 1\nproduct\npartnumber A\n");
  EXPECT_EQ(Run({"Quorvel-plan", "table", "-o", "t.csv", "top.doc", "--select-part", "A",
                 "--replace", "A", "TOP"}),
            "");
  EXPECT_EQ(exit_code_, 1);
  EXPECT_NE(errors_.find("top.doc: component Gone.1 refers to no document"), std::string::npos);
  EXPECT_NE(errors_.find("t.csv:5: error: new_part_number \"TOP\": is the part number"),
            std::string::npos);
  Run({"Quorvel-plan", "write", "-o", "t.ztr", "t.csv"});
  EXPECT_EQ(exit_code_, 2);
  EXPECT_FALSE(fs::exists("t.ztr"));
}

TEST_F(PlanCommandTest, RoundTripOnTheExample) {
  fs::copy(kSourceDir / "examples" / "bracket", ".", fs::copy_options::recursive);
  const std::string before = Structure("bracket-asm.CATProduct");
  Run({"Quorvel-plan", "table", "-o", "rename.csv", "bracket-asm.CATProduct", "--select-part",
       "BOLT-*", "--start", "100", "--number", "FST-{n:04}", "--folder", "fasteners",
       "--instances-follow=Bolt.*"});
  ASSERT_EQ(exit_code_, 0) << errors_;
  EXPECT_EQ(Run({"Quorvel-plan", "write", "rename.csv"}).substr(0, 6), "@ROOT\n");
  EXPECT_TRUE(fs::is_directory("fasteners"));  // saving makes no folder
  Run({"Quorvel-plan", "write", "-o", "rename.ztr", "rename.csv"});
  ASSERT_EQ(exit_code_, 0) << errors_;
  CheckAndRun("rename.ztr");
  const std::string renamed = Structure("bracket-asm.CATProduct");
  EXPECT_NE(renamed.find(",,,,BRACKET-ASM-001,FST-0100.4,,fasteners/FST-0100.CATPart\r\n"),
            std::string::npos);
  EXPECT_NE(renamed.find("fasteners/FST-0100.CATPart,FST-0100,"), std::string::npos);

  Run({"Quorvel-plan", "invert", "-o", "undo.ztr", "rename.ztr"});
  ASSERT_EQ(exit_code_, 0) << errors_;
  EXPECT_NE(errors_.find("stay on disk:\n  fasteners/FST-0100.CATPart\n"), std::string::npos);
  CheckAndRun("undo.ztr", true);
  EXPECT_EQ(Structure("bracket-asm.CATProduct"), before);
  EXPECT_TRUE(fs::exists("fasteners/FST-0100.CATPart"));
}

// The smallest structure whose plan takes three control files at a ROOT list of 20 bytes: the
// third names the sub-assembly by the part number and file that the second gave it, and the
// way back runs the inverted files last to first. (bench/plan_bench runs this at scale.)
TEST_F(PlanCommandTest, RoundTripInSeveralControlFiles) {
  ASSERT_TRUE(GenerateStructure(4, "."));
  const std::string before = Structure("top.CATProduct");
  NamingRules rules;
  std::string error;
  ASSERT_TRUE(rules.Parse({"--select-file", "parts/*", "--on", "part", "--suffix", "-B", "--on",
                           "file", "--prefix", "new-", "--instances-follow=Part.*", "--select-file",
                           "assemblies/*", "--on", "both", "--number", "ASM-{n:03}"},
                          &error));
  RenameTable table, read_back;
  std::vector<std::string> notes, files;
  ASSERT_TRUE(ReadStructureTable("top.CATProduct", &table, &notes, &error));
  rules.Apply(&table);
  Report report;
  RenamePlan plan;
  ASSERT_TRUE(ReadTable(TableToCsv(table), &read_back, &report));
  ASSERT_TRUE(PlanFromTable(read_back, &plan, &report));
  ASSERT_TRUE(WriteControlFiles(plan, &files, &error, 20));
  ASSERT_EQ(files.size(), 3u);
  for (size_t i = 0; i < files.size(); ++i) {
    const std::string name = "plan-" + std::to_string(i) + ".ztr";
    WriteFile(name, files[i]);
    CheckAndRun(name);
  }
  EXPECT_NE(Structure("top.CATProduct").find("assemblies/ASM-001.CATProduct,ASM-001,"),
            std::string::npos);
  for (size_t i = files.size(); i-- > 0;) {
    const std::string name = "plan-" + std::to_string(i) + ".ztr";
    Run({"Quorvel-plan", "invert", "-o", "undo-" + name, name});
    ASSERT_EQ(exit_code_, 0) << errors_;
    CheckAndRun("undo-" + name, true);
  }
  EXPECT_EQ(Structure("top.CATProduct"), before);
}

}  // namespace
