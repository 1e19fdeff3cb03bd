// Quorvel-check --after on the example: changes on disk after a real run of the built tool, and
// no old file listed before a run is proven. Its reports after a complete run, a failed save and
// a parent left out are doc/check.md's examples, which DocExamples holds.
#include "check/after_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>

#include "check/control_file_check.h"
#include "standin_process.h"
#include "testing/test_support.h"

namespace {

class AfterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::copy(kSourceDir / "examples" / "bracket", ".",
                          std::filesystem::copy_options::recursive);
  }

  // Runs the tool on rename.ztr, its console off; true when it exits with 0.
  bool RunTool() {
    return StandinRunProcess(kQuorvelBinary, {"rename.ztr"}, ".", {"ZTR_TRACE_LEVEL"}, "", "") == 0;
  }
  // The report of Quorvel-check --after rename.ztr; sets `exit_code_`.
  std::string After() {
    std::ostringstream released;
    std::streambuf* old_cerr = std::cerr.rdbuf(released.rdbuf());
    const CommandOutcome outcome =
        RunCommand(RunControlFileCheck, "Quorvel-check", {"--after", "rename.ztr"});
    std::cerr.rdbuf(old_cerr);
    exit_code_ = outcome.exit_code;
    EXPECT_EQ(released.str() + outcome.err, "");  // every reference released, nothing else said
    return dir_.Scrub(outcome.out);
  }
  void Edit(const std::string& file, const std::string& from, const std::string& to) {
    std::string text = ReadWholeFile(file);
    text.replace(text.find(from), from.size(), to);
    WriteFile(file, text);
  }

  InScratchDir here_;
  const ScratchDir& dir_ = here_.dir();
  int exit_code_ = -1;
};

TEST_F(AfterTest, ACompleteRunIsProvenAndChangesAfterItAreFound) {
  // The complete run's report is doc/check.md's example; then the structure changes behind the
  // run's back.
  ASSERT_TRUE(RunTool());
  std::filesystem::remove("parts/base-plate.CATPart");
  WriteFile("parts/hinge-pin-b.CATPart", "STANDIN-DOCUMENT 1\nproduct\npartnumber HINGE-PIN\n");
  Edit("bracket-asm.CATProduct", "component M8x25.4", "component Nut.4");
  Edit("hinge/hinge-sub.CATProduct", "component Leaf.2", "component Bolt.1");
  EXPECT_EQ(
      After(),
      "rename.ztr:6: error: document \"ASM\": its component \"Base.1\" refers to no file "
      "that can be opened\n"
      "rename.ztr:23: error: document \"PIN\": \"<dir>/parts/hinge-pin-b.CATPart\" carries the "
      "part number \"HINGE-PIN\", not its new \"HINGE-PIN-012-B\"\n"
      "rename.ztr:44: error: instance \"BOLT4\": no component \"M8x25.4\" under "
      "\"<dir>/bracket-asm.CATProduct\"\n"
      "3 errors, 0 warnings\n");
  EXPECT_EQ(exit_code_, 2);
}

// Once the run is proven, CampaignTest.CleanUpAndRedo holds what --old-files lists; before, it
// lists nothing. Never a file that the control file still names: here K2 moved b.doc away,
// then K1 was saved there.
TEST_F(AfterTest, OldFilesAreListedOnlyOnceTheRunIsProvenAndNeverOneStillNamed) {
  const CommandOutcome before = RunCommand(RunControlFileCheck, "Quorvel-check",
                                           {"--after", "--old-files=lines", "rename.ztr"});
  EXPECT_EQ(before.out, "");
  EXPECT_NE(before.err.find("the run is not proven; no old file is listed"), std::string::npos);

  WriteFile("chain.ztr",
            "@ROOT\n{CHILD_OBJECTS}{K2}{K1}\n"
            "@K2\n{PARTNUMBER}B\n{EXTERNAL_LOCATION}b.doc\n{NEW_PARTNUMBER}B-2\n"
            "{NEW_EXTERNAL_LOCATION}c.doc\n"
            "@K1\n{PARTNUMBER}A\n{EXTERNAL_LOCATION}a.doc\n{NEW_PARTNUMBER}A-2\n"
            "{NEW_EXTERNAL_LOCATION}b.doc\n");
  WriteFile("a.doc", "STANDIN-DOCUMENT 1\nproduct\npartnumber A\n");
  WriteFile("b.doc", "STANDIN-DOCUMENT 1\nproduct\npartnumber A-2\n");
  WriteFile("c.doc", "STANDIN-DOCUMENT 1\nproduct\npartnumber B-2\n");
  const CommandOutcome after = RunCommand(RunControlFileCheck, "Quorvel-check",
                                          {"--after", "--old-files=lines", "chain.ztr"});
  EXPECT_EQ(after.exit_code, 0) << after.err;
  EXPECT_EQ(dir_.Scrub(after.out), "<dir>/a.doc\n");
}

}  // namespace
