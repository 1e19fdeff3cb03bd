// Quorvel-run on the example, with the built tool as its child: a save that fails in the middle
// of a run and the way back it prints, the refusals that leave every file as it was, a plan in
// two control files, and what the way back leaves alone.
#include "runner/run_plan.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "runner/journal.h"
#include "system/faulty_files.h"
#include "system/paths.h"
#include "testing/test_support.h"

namespace {

namespace fs = std::filesystem;

// Every file under the working folder (links as where they lead), by path, with its bytes.
std::map<std::string, std::string> Files(bool with_logs = true) {
  std::map<std::string, std::string> files;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(".")) {
    const std::string path = entry.path().generic_string();
    if (fs::is_symlink(entry.symlink_status())) {
      files[path] = "-> " + fs::read_symlink(entry.path()).generic_string();
    } else if (entry.is_regular_file() && (with_logs || entry.path().extension() != ".log")) {
      files[path] = ReadWholeFile(path);
    }
  }
  return files;
}

class RunPlanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy(kSourceDir / "examples" / "bracket", ".", fs::copy_options::recursive);
    settings_.tool = kQuorvelBinary;
    settings_.environment = {"ZTR_TRACE_LEVEL", "QUORVEL_STANDIN_FAIL"};
    // A second control file that renames again what rename.ztr saves under a new file.
    WriteFile("again.ztr",
              "@ROOT\n{PARENT_OBJECTS}{ASM}\n{CHILD_OBJECTS}{BOLT}\n\n"
              "@ASM\n{PARTNUMBER}BRACKET-ASM-001\n{EXTERNAL_LOCATION}bracket-asm.CATProduct\n\n"
              "@BOLT\n{PARTNUMBER}BOLT-M8x25\n{EXTERNAL_LOCATION}parts/bolt-m8x25.CATPart\n"
              "{NEW_PARTNUMBER}BOLT-M8x30\n{NEW_EXTERNAL_LOCATION}parts/bolt-m8x30.CATPart\n");
  }
  CommandOutcome Run(std::vector<std::string> args, FileSystem& files = Disk()) {
    return RunCommand(
        [this](int argc, char* argv[], std::ostream& out, std::ostream& err, FileSystem& fs) {
          return RunCampaignCommand(argc, argv, out, err, fs, settings_);
        },
        "Quorvel-run", std::move(args), files);
  }

  InScratchDir here_;
  RunnerSettings settings_;
};

TEST_F(RunPlanTest, ASaveThatFailsMidRunExitsOneAndTheWayBackRestoresEveryFile) {
  const auto before = Files(false);
  // The second of four saves fails in the tool alone: the check before the run sees none.
  settings_.environment.push_back("QUORVEL_STANDIN_FAIL=SaveAs=parts/hinge-pin-b.CATPart");
  const CommandOutcome run = Run({"rename.ztr", "again.ztr"});
  EXPECT_EQ(run.exit_code, 1);
  // The tool's own exit code is 0; its log and the proof tell what went wrong.
  EXPECT_EQ(ScrubFolder(run.out, "."),
            "rename.ztr: 3 documents saved, 5 instances renamed; log rename.ztr.log\n"
            "  Failed to save document: parts/hinge-pin.CATPart\n"
            "rename.ztr:10: error: document \"HINGE\": its component \"HingePin.1\" still refers "
            "to \"<dir>/parts/hinge-pin.CATPart\", the old file of \"PIN\" (line 20)\n"
            "rename.ztr:24: error: document \"PIN\" was not saved as "
            "\"<dir>/parts/hinge-pin-b.CATPart\": there is no such file\n"
            "again.ztr: not run\n"
            "The run went wrong. To go back to the files as they were before it:\n"
            "  Quorvel-run --undo rename.ztr.quorvel-run\n");
  ASSERT_NE(Files(false), before);

  const CommandOutcome back = Run({"--undo", "rename.ztr.quorvel-run"});
  EXPECT_EQ(back.out,
            "Put back 2 files, removed 1 new file.\n"
            "The files are as they were before the run.\n");
  EXPECT_EQ(back.exit_code, 0);
  EXPECT_EQ(Files(false), before);  // byte for byte, the way back itself gone
}

TEST_F(RunPlanTest, TheToolsOwnExitCodeIsHeard) {
  settings_.environment.push_back("QUORVEL_STANDIN_FAIL=Create_Session");
  const CommandOutcome run = Run({"rename.ztr"});
  const std::string expected =
      "rename.ztr: 0 documents saved, 0 instances renamed; log rename.ztr.log\n"
      "  Quorvel failed\n"
      "  the tool ended with exit code 7\n";
  EXPECT_EQ(run.out.substr(0, expected.size()), expected);
  EXPECT_EQ(run.exit_code, 1);
}

#ifndef _WIN32
// The tool asks its runner to end (as Ctrl+C or a job's time limit does), then would go on.
TEST_F(RunPlanTest, AskedToEndItStopsTheToolAndPrintsTheWayBack) {
  WriteFile("slow-tool", "#!/bin/sh\nkill -TERM $PPID\nexec sleep 5\n");
  fs::permissions("slow-tool", fs::perms::owner_exec, fs::perm_options::add);
  settings_.tool = StorageName("slow-tool");
  const CommandOutcome run = Run({"rename.ztr", "again.ztr"});
  EXPECT_NE(run.out.find("  the tool did not end by itself\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("again.ztr: not run\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Quorvel-run --undo rename.ztr.quorvel-run"), std::string::npos);
  EXPECT_EQ(run.exit_code, 1);
}
#endif

TEST_F(RunPlanTest, RefusalsLeaveEveryFileAsItWas) {
  auto expect_refused = [this](const std::string& why, FileSystem& files = Disk()) {
    const auto before = Files();
    const CommandOutcome run = Run({"rename.ztr"}, files);
    EXPECT_EQ(run.exit_code, 2) << why;
    EXPECT_NE(run.out.find("Refused: " + why), std::string::npos) << run.out;
    EXPECT_EQ(run.out.substr(run.out.size() - 21), "Nothing was changed.\n");
    EXPECT_EQ(Files(), before) << why;
  };
  // A disk without room for the new files.
  FaultyFiles full(Disk());
  full.LimitFreeSpace(64 * 1024);
  expect_refused("no room for the run on the volume of", full);
  // A log that is a link to a document: the tool would write the log into it. (Links need
  // privileges on Windows: there the cases of links are left out.)
  std::error_code no_links;
  fs::create_symlink("bracket-asm.CATProduct", "rename.ztr.log", no_links);
  if (!no_links) expect_refused("the log \"" + StorageName("rename.ztr.log") + "\" is a link");
  fs::remove("rename.ztr.log");
  // A log that is a folder.
  fs::create_directory("rename.ztr.log");
  expect_refused("the log \"" + StorageName("rename.ztr.log") + "\" is a folder");
  fs::remove("rename.ztr.log");
  // A new file's place taken by a link: the way back could not put the link back.
  WriteFile("elsewhere.txt", "not a document");
  if (!no_links) {
    fs::create_symlink("../elsewhere.txt", "parts/hinge-pin-b.CATPart");
    expect_refused("\"" + StorageName("parts/hinge-pin-b.CATPart") +
                   "\" is a link that a save replaces");
    fs::remove("parts/hinge-pin-b.CATPart");
  }
  fs::remove("elsewhere.txt");
  // A control file cut off after its first records.
  const std::string text = ReadWholeFile("rename.ztr");
  WriteFile("rename.ztr", text.substr(0, text.find("@BOLT1")));
  expect_refused("\"" + StorageName("rename.ztr") +
                 "\" ends short of what it lists: ROOT lists \"BOLT1\", \"BOLT2\", \"BOLT3\", "
                 "\"BOLT4\", \"PIN1\" with no record (a file cut off, or a misspelt name)");
  WriteFile("rename.ztr", text);
  // The way back of an earlier run that nobody undid or removed.
  fs::create_directory("rename.ztr.quorvel-run");
  expect_refused("the way back of an earlier run is there");
}

TEST_F(RunPlanTest, APlanInTwoControlFilesRunsInTheOrderGiven) {
  const auto before = Files(false);
  EXPECT_EQ(Run({"again.ztr", "rename.ztr"}).exit_code, 2);
  EXPECT_EQ(Files(false), before);

  const CommandOutcome run = Run({"rename.ztr", "again.ztr"});
  EXPECT_EQ(run.out,
            "rename.ztr: 4 documents saved, 5 instances renamed; log rename.ztr.log\n"
            "again.ztr: 2 documents saved, 0 instances renamed; log again.ztr.log\n"
            "Proven: the files are what the plan asks for. To go back: "
            "Quorvel-run --undo rename.ztr.quorvel-run\n");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_NE(ReadWholeFile("bracket-asm.CATProduct").find("reference parts/bolt-m8x30.CATPart"),
            std::string::npos);
  EXPECT_EQ(Run({"--undo", "rename.ztr.quorvel-run"}).exit_code, 0);
  EXPECT_EQ(Files(false), before);
}

TEST_F(RunPlanTest, TheWayBackLeavesWhatChangedSinceAndUndoesARunCutShort) {
  WriteFile("old.txt", "old");
  const std::vector<std::string> targets = {StorageName("old.txt"), StorageName("new.txt")};
  Journal journal;
  std::string why;
  ASSERT_TRUE(BeginJournal(Disk(), "j", {"c.ztr"}, targets, &journal, &why)) << why;
  ASSERT_TRUE(UpdateJournal(Disk(), targets, false, &journal, &why));
  WriteFile("old.txt", "written");
  WriteFile("new.txt", "new");
  // Cut short before the run was recorded: all of it is undone.
  ASSERT_TRUE(ReadJournal(Disk(), "j", &journal, &why)) << why;
  UndoOutcome outcome;
  EXPECT_TRUE(UndoJournal(Disk(), journal, &outcome));
  EXPECT_EQ(ReadWholeFile("old.txt"), "old");
  EXPECT_FALSE(fs::exists("new.txt"));
  EXPECT_FALSE(fs::exists("j"));

  // Recorded, then changed by someone else: left as it is, and named.
  ASSERT_TRUE(BeginJournal(Disk(), "j", {"c.ztr"}, targets, &journal, &why)) << why;
  WriteFile("old.txt", "written");
  WriteFile("new.txt", "new");
  ASSERT_TRUE(UpdateJournal(Disk(), targets, true, &journal, &why));
  WriteFile("new.txt", "changed since");
  outcome = UndoOutcome();
  EXPECT_FALSE(UndoJournal(Disk(), journal, &outcome));
  EXPECT_EQ(ReadWholeFile("old.txt"), "old");
  EXPECT_EQ(ReadWholeFile("new.txt"), "changed since");
  ASSERT_EQ(outcome.left.size(), 1u);
  EXPECT_EQ(outcome.left[0],
            "\"" + targets[1] + "\" has changed since the run; it is left as it is");
}

TEST_F(RunPlanTest, AWrongCommandLineGetsTheUsage) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{},
                                               {"--bogus", "rename.ztr"},
                                               {"--undo"},
                                               {""},
                                               {"--undo", "j", "rename.ztr"}}) {
    const CommandOutcome run = Run(args);
    EXPECT_EQ(run.exit_code, 3);
    EXPECT_NE(run.err.find("Usage: Quorvel-run control_file... | --undo JOURNAL\n"),
              std::string::npos);
  }
  EXPECT_EQ(Run({"--version"}).exit_code, 0);
}

}  // namespace
