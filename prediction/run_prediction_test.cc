// Hazards planted in copies of the example, each previewed with Quorvel-tree --plan, checked
// with Quorvel-check --open, then run. The structure the preview shows as new must be the one
// Quorvel-tree shows after the run, and the one it shows as old the one before. Every run that
// fails a save, skips a rename, stops early or destroys a file the plan reads was predicted as
// an error by both companions, with the same error, and no clean run was.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "check/control_file_check.h"
#include "standin_process.h"
#include "system/system.h"
#include "testing/test_support.h"
#include "tree/tree_command.h"

namespace fs = std::filesystem;

namespace {

// Replaces `from` by `to` in the control file of the copy.
void Edit(const std::string& from, const std::string& to) {
  std::string control = ReadWholeFile("c.ztr");
  const size_t at = control.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  WriteFile("c.ztr", control.replace(at, from.size(), to));
}

void ReadOnly(const char* path) {
  fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
}

CommandOutcome Tree(std::vector<std::string> args) {
  return RunCommand(RunTreeCommand, "Quorvel-tree", std::move(args));
}

// The preview's tree with each change's old or new value only, and without its notes.
std::string Side(const std::string& preview, bool new_side) {
  std::string tree = preview.substr(0, preview.find("\nLegend:"));
  for (size_t note; (note = tree.find("  (old file; ")) != std::string::npos;) {
    tree.erase(note, tree.find(')', note) + 1 - note);
  }
  // Each "old -> new" token, bounded by blanks and brackets, keeps one side.
  for (size_t arrow; (arrow = tree.find(" -> ")) != std::string::npos;) {
    const size_t begin = tree.find_last_of(" [", arrow - 1) + 1;
    const size_t end = std::min(tree.find_first_of(" ]\n", arrow + 4), tree.size());
    tree =
        tree.substr(0, begin) +
        (new_side ? tree.substr(arrow + 4, end - arrow - 4) : tree.substr(begin, arrow - begin)) +
        tree.substr(end);
  }
  return tree;
}

// The lines of `text` that hold `kind` (": error: ").
std::vector<std::string> LinesWith(const std::string& text, const std::string& kind) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.find(kind) != std::string::npos) lines.push_back(line);
  }
  return lines;
}

const char kRoot[] = "bracket-asm.CATProduct";

struct Hazard {
  const char* name;
  std::function<void()> plant;  // in the copy's folder, whose control file is c.ztr
  // A line of the run's log or console that shows it going wrong; "" when the run goes
  // through; null when that depends on who runs it (root writes in any folder) or where.
  const char* run_log;
  int exit_code = -1;  // the preview's, when the findings below are all it reports
  std::vector<std::string> findings = {};  // each in the preview's output, in this order
};

const std::vector<Hazard>& Hazards() {
  static const std::string other =
      "@OTHER\n{PARTNUMBER}OTHER\n{EXTERNAL_LOCATION}other.CATProduct\n\n";
  static const std::vector<Hazard> hazards = {
      {"the example as it is", [] {}, "", 0, {}},
      {"parent of a renamed child left out",
       [] { Edit("{ASM}{HINGE}", "{ASM}"), Edit("{PIN1}", ""); },
       "",
       1,
       {"c.ztr:24: warning: \"<dir>/hinge/hinge-sub.CATProduct\" still refers to "
        "\"<dir>/parts/hinge-pin.CATPart\" after the run, which saves that document as "
        "\"<dir>/parts/hinge-pin-b.CATPart\" but does not save "
        "\"<dir>/hinge/hinge-sub.CATProduct\""}},
      {"the folder of a new file is missing",
       [] { Edit("parts/hinge-pin-b", "gone/hinge-pin-b"); },
       "Failed to save document: parts/hinge-pin.CATPart\n",
       2,
       {"c.ztr:24: error: document \"PIN\": the run cannot save \"<dir>/parts/hinge-pin.CATPart\" "
        "as \"<dir>/gone/hinge-pin-b.CATPart\": there is no folder"}},
      {"a parent saved in place is read-only",
       [] { ReadOnly("hinge/hinge-sub.CATProduct"); },
       "Failed to save document: hinge/hinge-sub.CATProduct\n",
       2,
       {"c.ztr:12: error: document \"HINGE\": the run cannot save "
        "\"<dir>/hinge/hinge-sub.CATProduct\" as \"<dir>/hinge/hinge-sub.CATProduct\": ",
        "c.ztr:24: warning: \"<dir>/hinge/hinge-sub.CATProduct\" still refers to "
        "\"<dir>/parts/hinge-pin.CATPart\" after the run, which saves that document as "
        "\"<dir>/parts/hinge-pin-b.CATPart\" but does not"}},
      {"the new file of one document is the old file of another renamed one",
       [] { Edit("{BOLT}{PIN}", "{PIN}{BOLT}"), Edit("parts/bolt-m8x25", "parts/hinge-pin"); },
       "Document parts/bolt-m8x20.CATPart saved as parts/hinge-pin.CATPart\n",
       2,
       {"c.ztr:18: error: document \"BOLT\": the run saves \"<dir>/parts/bolt-m8x20.CATPart\" "
        "over "}},
      {"an instance name not under its parent",
       [] { Edit("{INSTANCENAME}Pin.1", "{INSTANCENAME}Pin.9"); },
       "Failed to change the instance name: Pin.9\n",
       2,
       {"c.ztr:48: error: instance \"PIN1\": the run fails here: "
        "\"<dir>/hinge/hinge-sub.CATProduct\" has no component \"Pin.9\" when the run renames it"}},
      {"saving stops after a document was saved under its new file",
       [] {
         Edit("{ASM}{HINGE}", "{ASM}{BOLTP}{HINGE}");
         Edit("@BOLT1",
              "@BOLTP\n{PARTNUMBER}BOLT-M8x20\n{EXTERNAL_LOCATION}parts/bolt-m8x20.CATPart\n"
              "\n@BOLT1");
       },
       "********* Failed to get document: parts/bolt-m8x20.CATPart\n",
       2,
       {"c.ztr:24: warning: \"<dir>/hinge/hinge-sub.CATProduct\" still refers to "
        "\"<dir>/parts/hinge-pin.CATPart\" after the run, which saves that document as "
        "\"<dir>/parts/hinge-pin-b.CATPart\" but does not",
        "c.ztr:28: error: document \"BOLTP\": the run stops saving here: no document is open as "
        "\"<dir>/parts/bolt-m8x20.CATPart\" any more"}},
      {"records for another structure, and a part-number check that fails",
       [] {
         Edit("{ASM}{HINGE}", "{ASM}{HINGE}{OTHER}"), Edit("{BOLT}{PIN}", "{BOLT}{PIN}{BOLT}");
         Edit("{PIN1}", "{PIN1}{OTHER1}");
         Edit("@ASM", other + "@OTHER1\n{PARENT_PARTNUMBER}OTHER\n{INSTANCENAME}X.1\n\n@ASM");
       },
       "Failed to change the instance name: X.1\n",
       2,
       {"c.ztr:6: warning: PARENT_OBJECTS lists \"OTHER\", whose file \"<dir>/other.CATProduct\" "
        "is not part of this structure",
        "c.ztr:10: warning: INSTANCE_OBJECTS lists \"OTHER1\", whose parent \"OTHER\" is not part",
        "c.ztr:12: error: instance \"OTHER1\": the run fails here: \"<dir>/other.CATProduct\" "
        "has no component \"X.1\"",
        "c.ztr:23: error: document \"BOLT\": the run stops here: the root product of "
        "\"<dir>/parts/bolt-m8x20.CATPart\" carries the part number \"BOLT-M8x25\" by then"}},
      {"a new file spelt another way is the document's own file",
       [] { Edit("parts/bolt-m8x25.CATPart", "parts/./bolt-m8x20.CATPart"); },
       "Document parts/bolt-m8x20.CATPart saved as parts/./bolt-m8x20.CATPart\n",
       2,
       {"c.ztr:18: error: document \"BOLT\": \"parts/./bolt-m8x20.CATPart\" is the document's "
        "own file \"<dir>/parts/bolt-m8x20.CATPart\", spelt otherwise"}},
      {"a new file exists already and holds another part",
       [] {
         WriteFile("parts/bolt-m8x25.CATPart", "STANDIN-DOCUMENT 1\nproduct\npartnumber WASHER\n");
       },
       "",
       1,
       {"c.ztr:18: warning: document \"BOLT\": a file \"<dir>/parts/bolt-m8x25.CATPart\" "
        "exists already and is replaced; it holds the part \"WASHER\"\n"}},
      {"a new file exists and is read-only",
       [] {
         WriteFile("parts/bolt-m8x25.CATPart", "STANDIN-DOCUMENT 1\n");
         ReadOnly("parts/bolt-m8x25.CATPart");
       },
       "Failed to save document: parts/bolt-m8x20.CATPart\n"},
      {"the folder of a parent saved in place is not writable",
       [] { fs::permissions("hinge", fs::perms::owner_read | fs::perms::owner_exec); }, nullptr},
      {"a new file is a folder", [] { fs::create_directory("parts/bolt-m8x25.CATPart"); },
       "Failed to save document: parts/bolt-m8x20.CATPart\n"},
      {"a new file is a link that leads nowhere",
       [] {
         std::error_code error;
         fs::create_symlink("nowhere/x", "parts/bolt-m8x25.CATPart", error);
       },
       OnWindows() ? nullptr : "Failed to save document: parts/bolt-m8x20.CATPart\n"},
      {"two new files are one file through a linked folder",
       [] {
         std::error_code error;
         fs::create_directory_symlink("parts", "alias", error);
         if (!error) Edit("parts/hinge-pin-b.CATPart", "alias/bolt-m8x25.CATPart");
       },
       OnWindows() ? nullptr : "Failed to save document: parts/hinge-pin.CATPart\n"},
      {"a parent saved in place is a link",
       [] {
         // Where the system makes no links (Windows), the example stays as it is.
         std::error_code error;
         fs::create_symlink("real-sub.CATProduct", "hinge/link.CATProduct", error);
         if (error) return;
         fs::rename("hinge/hinge-sub.CATProduct", "hinge/real-sub.CATProduct");
         fs::rename("hinge/link.CATProduct", "hinge/hinge-sub.CATProduct");
       },
       "",
       OnWindows() ? -1 : 1,
       {"c.ztr:12: warning: document \"HINGE\": \"<dir>/hinge/hinge-sub.CATProduct\" is a link to "
        "\"<dir>/hinge/real-sub.CATProduct\": the run puts the saved document in place of the "
        "link, and \"<dir>/hinge/real-sub.CATProduct\" keeps what it holds"}},
      {"a changeable document is a parent too",
       [] { Edit("{PARENT_OBJECTS}{ASM}{HINGE}", "{PARENT_OBJECTS}{ASM}{HINGE}{PIN}"); },
       "********* Failed to get document: parts/hinge-pin.CATPart\n"},
      // The copy's folder and "parts/" come before it: past the 260 characters of MAX_PATH.
      {"a new file whose path is longer than MAX_PATH",
       [] { Edit("bolt-m8x25", std::string(230, 'b')); }, ""},
      {"a new file whose name is longer than any file's name",
       [] { Edit("bolt-m8x25", std::string(288, 'b')); },
       "Failed to save document: parts/bolt-m8x20.CATPart\n"},
      {"a document cannot be opened",
       [] { Edit("hinge/hinge-sub.CATProduct", "hinge/missing.CATProduct"); },
       "Failed to load document: hinge/missing.CATProduct\n"},
  };
  return hazards;
}

// The Windows path rules, which only the Windows build has.
const std::vector<Hazard>& WindowsHazards() {
  static const std::vector<Hazard> hazards = {
      {"a new file spelt with a trailing dot is the document's own file",
       [] { Edit("parts/bolt-m8x25.CATPart", "parts/bolt-m8x20.CATPart."); },
       "Document parts/bolt-m8x20.CATPart saved as parts/bolt-m8x20.CATPart.\n"},
      {"a new file named after a device",
       [] { Edit("parts/bolt-m8x25.CATPart", "parts/COM1.CATPart"); },
       "Failed to save document: parts/bolt-m8x20.CATPart\n"},
      {"a parent spelt in another case and with backslashes",
       [] { Edit("hinge/hinge-sub.CATProduct", "Hinge\\Hinge-Sub.CATProduct"); }, ""},
  };
  return hazards;
}

// Plants `hazard` in a fresh copy of examples/`example`, previews, checks and runs it, and
// holds the one against the other.
void Try(const char* example, const Hazard& hazard) {
  SCOPED_TRACE(hazard.name);
  ScratchDir dir;
  fs::copy(kSourceDir / "examples" / example, dir.path(), fs::copy_options::recursive);
  const fs::path old_cwd = fs::current_path();
  fs::current_path(dir.path());
  fs::copy_file("rename.ztr", "c.ztr");
  WriteFile("other.CATProduct", "STANDIN-DOCUMENT 1\nproduct\npartnumber OTHER\n");
  hazard.plant();
  const CommandOutcome before = Tree({kRoot});
  const CommandOutcome preview = Tree({"--plan", "c.ztr", kRoot});
  const CommandOutcome check =
      RunCommand(RunControlFileCheck, "Quorvel-check", {"--open", "c.ztr"});
  EXPECT_EQ(Tree({kRoot}).out, before.out) << "the preview wrote something";
  // The old files of the documents saved under new files, which the run must leave alone.
  std::map<std::string, std::string> kept;
  for (const char* old : {"parts/bolt-m8x20.CATPart", "parts/hinge-pin.CATPart"}) {
    kept[old] = ReadWholeFile(old);
  }
  EXPECT_EQ(StandinRunProcess(kQuorvelBinary, {"c.ztr"}, ".", {"ZTR_TRACE_LEVEL=1"}, "run.out", ""),
            0);
  const CommandOutcome after = Tree({kRoot});
  const std::string log = ReadTextFile("c.ztr.log") + ReadTextFile("run.out");
  bool destroyed = false;
  for (const auto& [file, bytes] : kept) destroyed = destroyed || ReadWholeFile(file) != bytes;
  // Restores what a scratch folder needs to be removed.
  std::error_code ignored;
  fs::permissions("hinge", fs::perms::owner_all, ignored);
  fs::current_path(old_cwd);

  const bool went_wrong = log.find("Failed") != std::string::npos ||
                          log.find("All files saved successfully.") == std::string::npos ||
                          destroyed;
  EXPECT_EQ(check.exit_code == 2, went_wrong) << check.out << "--- the run's log:\n" << log;
  EXPECT_EQ(preview.exit_code == 2, went_wrong) << preview.out << preview.err;
  if (hazard.run_log != nullptr) {
    EXPECT_EQ(went_wrong, *hazard.run_log != '\0') << log;
    EXPECT_NE(log.find(hazard.run_log), std::string::npos) << log;
  }
  EXPECT_EQ(preview.err, "");
  EXPECT_EQ(Side(preview.out, true), after.out);
  EXPECT_EQ(Side(preview.out, false), before.out);
  // Each error of the preview is one of Quorvel-check --open.
  for (const std::string& error : LinesWith(preview.out, ": error: ")) {
    EXPECT_NE(check.out.find(error + "\n"), std::string::npos) << error << "\nin\n" << check.out;
  }
  if (hazard.exit_code < 0) return;
  EXPECT_EQ(preview.exit_code, hazard.exit_code) << preview.out;
  const std::string shown = dir.Scrub(preview.out);
  size_t at = 0;
  for (const std::string& finding : hazard.findings) {
    at = shown.find(finding, at);
    EXPECT_NE(at, std::string::npos) << finding << "\nin\n" << shown;
  }
  EXPECT_EQ(LinesWith(preview.out, "c.ztr:").size(), hazard.findings.size()) << preview.out;
}

TEST(PredictionTest, EveryRunThatGoesWrongIsPredictedAsAnError) {
  for (const Hazard& hazard : Hazards()) Try("bracket", hazard);
}

// Runs `program` with `args` in the working folder under `sh`, its other descriptors closed and
// at most `limit` files open at once (ulimit -n); standard output goes to `out`.
int RunLimited(int limit, const std::string& program, std::vector<std::string> args,
               const std::string& out) {
  args.insert(args.begin(), {"-c",
                             "exec 3>&- 4>&- 5>&- 6>&- 7>&- 8>&- 9>&-; ulimit -n " +
                                 std::to_string(limit) + " && exec \"$0\" \"$@\"",
                             program});
  return StandinRunProcess("/bin/sh", args, ".", {"ZTR_TRACE_LEVEL=1"}, out, "");
}

TEST(PredictionTest, TheLimitOnOpenFilesIsPredictedAsTheRunMeetsIt) {
  if (OnWindows()) GTEST_SKIP() << "no limit on open files that a run meets on Windows";
#ifdef QUORVEL_SANITIZED
  GTEST_SKIP() << "a sanitizer's runtime opens files of its own in each command";
#endif
  const std::string bin = fs::path(kQuorvelBinary).parent_path().string();
  // At 5 a save finds no room for its folder and temporary file besides the log; at 6 it does.
  for (const int limit : {5, 6}) {
    SCOPED_TRACE(limit);
    InScratchDir here;
    fs::copy(kSourceDir / "examples" / "bracket", ".", fs::copy_options::recursive);
    const int check = RunLimited(limit, bin + "/Quorvel-check", {"--open", "rename.ztr"}, "check");
    const int preview =
        RunLimited(limit, bin + "/Quorvel-tree", {"--plan", "rename.ztr", kRoot}, "preview");
    EXPECT_EQ(RunLimited(limit, kQuorvelBinary, {"rename.ztr"}, "run"), 0);
    const std::string log = ReadTextFile("rename.ztr.log") + ReadTextFile("run");
    const bool saved = log.find("All files saved successfully.") != std::string::npos &&
                       log.find("Failed") == std::string::npos;
    EXPECT_EQ(saved, limit == 6) << log;
    EXPECT_EQ(check, saved ? 0 : 2) << ReadTextFile("check");
    EXPECT_EQ(preview, saved ? 0 : 2) << ReadTextFile("preview");
    if (!saved) {
      EXPECT_NE(ReadTextFile("check").find("may have 5 files open (ulimit -n), 3 of them open "
                                           "already; raise the limit before the run, with "
                                           "ulimit -n 6 or more"),
                std::string::npos)
          << ReadTextFile("check");
    }
  }
}

TEST(PredictionTest, WindowsPathsAreJudgedAsWindowsJudgesThem) {
  if (!OnWindows()) GTEST_SKIP() << "the Windows path rules are the Windows build's";
  Try("bracket-windows", {"the example as it is", [] {}, "", 0, {}});
  for (const Hazard& hazard : WindowsHazards()) Try("bracket", hazard);
}

}  // namespace
