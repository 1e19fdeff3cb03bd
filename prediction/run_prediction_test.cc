// Hazards planted in copies of the example: what Quorvel-check --open and Quorvel-tree --plan
// predict is held against what the run then does. Every run that fails a save, skips a rename,
// stops early or destroys a file the plan reads was predicted as an error by both, and no clean
// run was.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "check/control_file_check.h"
#include "driver/run.h"
#include "system/system.h"
#include "testing/test_support.h"
#include "tree/tree_command.h"

namespace fs = std::filesystem;

namespace {

// Replaces `from` by `to` in the control file of the copy.
void Edit(const std::string& from, const std::string& to) {
  std::string control = ReadWholeFile("rename.ztr");
  const size_t at = control.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  WriteFile("rename.ztr", control.replace(at, from.size(), to));
}

void Chmod(const char* path, fs::perms perms) { fs::permissions(path, perms); }

struct Hazard {
  const char* name;
  std::function<void()> plant;
  bool fails_always;  // the run goes wrong whoever runs it (root included)
};

const std::vector<Hazard>& Hazards() {
  static const std::vector<Hazard> hazards = {
      {"nothing planted", [] {}, false},
      {"a parent saved in place is read-only",
       [] { Chmod("bracket-asm.CATProduct", fs::perms::owner_read | fs::perms::group_read); },
       true},
      {"a new file exists and is read-only",
       [] {
         WriteFile("parts/bolt-m8x25.CATPart", "STANDIN-DOCUMENT 1\n");
         Chmod("parts/bolt-m8x25.CATPart", fs::perms::owner_read);
       },
       true},
      {"the folder of a parent saved in place is not writable",
       [] { Chmod("hinge", fs::perms::owner_read | fs::perms::owner_exec); }, false},
      {"the folder of a new file is missing",
       [] { Edit("parts/bolt-m8x25.CATPart", "parts/new/bolt-m8x25.CATPart"); }, true},
      {"a new file is a folder", [] { fs::create_directory("parts/bolt-m8x25.CATPart"); }, true},
      {"a new file is a link that leads nowhere",
       [] {
         std::error_code error;
         fs::create_symlink("nowhere/x", "parts/bolt-m8x25.CATPart", error);
       },
       !OnWindows()},
      {"two new files are one file through a linked folder",
       [] {
         std::error_code error;
         fs::create_directory_symlink("parts", "alias", error);
         if (!error) Edit("parts/hinge-pin-b.CATPart", "alias/bolt-m8x25.CATPart");
       },
       !OnWindows()},
      {"an instance name is not under its parent", [] { Edit("Bolt.3", "Bolt.9"); }, true},
      {"the new file of one document is the old file of another renamed one",
       [] { Edit("parts/hinge-pin-b.CATPart", "parts/bolt-m8x20.CATPart"); }, true},
      {"a changeable document is a parent too",
       [] { Edit("{PARENT_OBJECTS}{ASM}{HINGE}", "{PARENT_OBJECTS}{ASM}{HINGE}{PIN}"); }, true},
      {"two records change one document's part number",
       [] { Edit("{CHILD_OBJECTS}{BOLT}{PIN}", "{CHILD_OBJECTS}{BOLT}{PIN}{BOLT}"); }, true},
      {"a document cannot be opened",
       [] { Edit("hinge/hinge-sub.CATProduct", "hinge/missing.CATProduct"); }, true},
  };
  return hazards;
}

// The Windows path rules, which only the Windows build has.
const std::vector<Hazard>& WindowsHazards() {
  static const std::vector<Hazard> hazards = {
      {"a new file spelt with a trailing dot is the document's own file",
       [] { Edit("parts/bolt-m8x25.CATPart", "parts/bolt-m8x20.CATPart."); }, true},
      {"a new file named after a device",
       [] { Edit("parts/bolt-m8x25.CATPart", "parts/COM1.CATPart"); }, true},
      {"a parent spelt in another case and with backslashes",
       [] { Edit("hinge/hinge-sub.CATProduct", "Hinge\\Hinge-Sub.CATProduct"); }, false},
  };
  return hazards;
}

class PredictionTest : public ::testing::Test {
 protected:
  void SetUp() override { old_cwd_ = fs::current_path(); }
  void TearDown() override { fs::current_path(old_cwd_); }

  // Plants `hazard` in a fresh copy of the example, checks, runs, and holds the one against
  // the other.
  void Try(const Hazard& hazard) {
    SCOPED_TRACE(hazard.name);
    ScratchDir dir;
    fs::copy(kSourceDir / "examples" / "bracket", dir.path(), fs::copy_options::recursive);
    fs::current_path(dir.path());
    hazard.plant();
    const CommandOutcome check =
        RunCommand(RunControlFileCheck, "Quorvel-check", {"--open", "rename.ztr"});
    const CommandOutcome tree = RunCommand(RunTreeCommand, "Quorvel-tree",
                                           {"--plan", "rename.ztr", "bracket-asm.CATProduct"});
    // The old files of the documents saved under new files, which the run must leave alone.
    std::map<std::string, std::string> kept;
    for (const char* old : {"parts/bolt-m8x20.CATPart", "parts/hinge-pin.CATPart"}) {
      kept[old] = ReadWholeFile(old);
    }
    std::vector<std::string> args = {"Quorvel", "rename.ztr"};
    std::vector<char*> argv = {args[0].data(), args[1].data()};
    EXPECT_EQ(RunQuorvel(2, argv.data()), 0);
    const std::string log = ReadTextFile("rename.ztr.log");
    bool destroyed = false;
    for (const auto& [file, bytes] : kept) destroyed = destroyed || ReadWholeFile(file) != bytes;
    const bool went_wrong = log.find("Failed to") != std::string::npos ||
                            log.find("All files saved successfully.") == std::string::npos ||
                            destroyed;
    EXPECT_EQ(check.exit_code == 2, went_wrong) << check.out << "--- the run's log:\n" << log;
    EXPECT_EQ(tree.exit_code == 2, went_wrong) << tree.out << tree.err;
    if (hazard.fails_always) {
      EXPECT_TRUE(went_wrong) << log;
    }
    // Restores what a scratch folder needs to be removed.
    std::error_code ignored;
    fs::permissions("hinge", fs::perms::owner_all, ignored);
    fs::current_path(old_cwd_);
  }

  fs::path old_cwd_;
};

TEST_F(PredictionTest, EveryRunThatGoesWrongIsPredictedAsAnError) {
  for (const Hazard& hazard : Hazards()) Try(hazard);
}

TEST_F(PredictionTest, WindowsPathsAreJudgedAsWindowsJudgesThem) {
  if (!OnWindows()) GTEST_SKIP() << "the Windows path rules are the Windows build's";
  for (const Hazard& hazard : WindowsHazards()) Try(hazard);
}

}  // namespace
