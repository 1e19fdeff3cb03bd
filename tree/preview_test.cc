// The preview against the run itself and against Quorvel-check --open: for each control file,
// the structure the preview shows as new must be the one Quorvel-tree shows after the tool has
// run it on a copy of the example, and the one it shows as old the one before. Where the run
// goes wrong, the preview and Quorvel-check --open both say so with the same error.
#include "tree/preview.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "check/control_file_check.h"
#include "standin_process.h"
#include "system/system.h"
#include "testing/test_support.h"
#include "tree/tree_command.h"

namespace {

using Outcome = CommandOutcome;

Outcome Tree(std::vector<std::string> args) {
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

struct Case {
  const char* name;
  // Changes to the example's rename.ztr: each text replaced by the one after it.
  std::vector<std::pair<std::string, std::string>> edits;
  const char* read_only;  // a file of the example made read-only (0444) first, or null
  int exit_code;
  std::vector<std::string> findings;  // each found in the preview's output, in this order
  // A line of the run's log or console that shows it going wrong; null when the run goes
  // through.
  const char* run_log;
};

std::string Edited(std::string text, const Case& c) {
  for (const auto& [from, to] : c.edits) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
  }
  return text;
}

// Plants the case in a copy of examples/`example`, previews it, checks it with
// Quorvel-check --open and runs it.
void Try(const char* example, const Case& c) {
  SCOPED_TRACE(c.name);
  ScratchDir dir;
  std::filesystem::copy(kSourceDir / "examples" / example, dir.path(),
                        std::filesystem::copy_options::recursive);
  WriteFile(dir.File("c.ztr"), Edited(ReadWholeFile(dir.File("rename.ztr")), c));
  WriteFile(dir.File("other.CATProduct"), "STANDIN-DOCUMENT 1\nproduct\npartnumber OTHER\n");
  if (c.read_only != nullptr) {
    using std::filesystem::perms;
    std::filesystem::permissions(dir.File(c.read_only),
                                 perms::owner_read | perms::group_read | perms::others_read);
  }
  const auto old_cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  const Outcome before = Tree({kRoot});
  Outcome preview = Tree({"--plan", "c.ztr", kRoot});
  Outcome check = RunCommand(RunControlFileCheck, "Quorvel-check", {"--open", "c.ztr"});
  EXPECT_EQ(Tree({kRoot}).out, before.out) << "the preview wrote something";
  StandinRunProcess(kQuorvelBinary, {"c.ztr"}, ".", {"ZTR_TRACE_LEVEL=1"}, "run.out", "");
  const Outcome after = Tree({kRoot});
  std::filesystem::current_path(old_cwd);
  preview.out = dir.Scrub(preview.out), check.out = dir.Scrub(check.out);

  EXPECT_EQ(preview.exit_code, c.exit_code) << preview.out;
  EXPECT_EQ(preview.err, "");
  EXPECT_EQ(Side(preview.out, true), after.out);
  EXPECT_EQ(Side(preview.out, false), before.out);
  size_t at = 0;
  for (const std::string& finding : c.findings) {
    at = preview.out.find(finding, at);
    EXPECT_NE(at, std::string::npos) << finding << "\nin\n" << preview.out;
  }
  EXPECT_EQ(LinesWith(preview.out, "c.ztr:").size(), c.findings.size()) << preview.out;
  // Each error of the preview is one of Quorvel-check --open, and both find one exactly when
  // the run goes wrong.
  for (const std::string& error : LinesWith(preview.out, ": error: ")) {
    EXPECT_NE(check.out.find(error + "\n"), std::string::npos) << error << "\nin\n" << check.out;
  }
  EXPECT_EQ(check.exit_code == 2, preview.exit_code == 2) << check.out;
  const std::string log = ReadTextFile(dir.File("c.ztr.log"));
  const std::string console = ReadTextFile(dir.File("run.out"));
  if (c.run_log != nullptr) {
    EXPECT_EQ(preview.exit_code, 2);
    EXPECT_NE((log + console).find(c.run_log), std::string::npos) << log << console;
  } else {
    EXPECT_NE(preview.exit_code, 2);
    EXPECT_NE(log.find("All files saved successfully.\n"), std::string::npos) << log;
    EXPECT_EQ((log + console).find("Failed"), std::string::npos) << log << console;
  }
}

TEST(PreviewTest, ShowsWhatTheRunThenDoes) {
  const std::string other = "@OTHER\n{PARTNUMBER}OTHER\n{EXTERNAL_LOCATION}other.CATProduct\n\n";
  const Case cases[] = {
      {"example", {}, nullptr, 0, {}, nullptr},
      {"parent of a renamed child left out",
       {{"{ASM}{HINGE}", "{ASM}"}, {"{PIN1}", ""}},
       nullptr,
       1,
       {"c.ztr:24: warning: \"<dir>/hinge/hinge-sub.CATProduct\" still refers to "
        "\"<dir>/parts/hinge-pin.CATPart\" "
        "after the run, which saves that document as \"<dir>/parts/hinge-pin-b.CATPart\" but does "
        "not "
        "save \"<dir>/hinge/hinge-sub.CATProduct\""},
       nullptr},
      {"the folder of a new file is missing",
       {{"parts/hinge-pin-b", "gone/hinge-pin-b"}},
       nullptr,
       2,
       {"c.ztr:24: error: document \"PIN\": the run cannot save \"<dir>/parts/hinge-pin.CATPart\" "
        "as "
        "\"<dir>/gone/hinge-pin-b.CATPart\": there is no folder"},
       "Failed to save document: parts/hinge-pin.CATPart\n"},
      {"a parent saved in place is read-only",
       {},
       "hinge/hinge-sub.CATProduct",
       2,
       {"c.ztr:12: error: document \"HINGE\": the run cannot save "
        "\"<dir>/hinge/hinge-sub.CATProduct\" as \"<dir>/hinge/hinge-sub.CATProduct\": ",
        "c.ztr:24: warning: \"<dir>/hinge/hinge-sub.CATProduct\" still refers to "
        "\"<dir>/parts/hinge-pin.CATPart\" "
        "after the run, which saves that document as \"<dir>/parts/hinge-pin-b.CATPart\" but does "
        "not"},
       "Failed to save document: hinge/hinge-sub.CATProduct\n"},
      {"the new file of one document is the old file of another renamed one",
       {{"{BOLT}{PIN}", "{PIN}{BOLT}"}, {"parts/bolt-m8x25", "parts/hinge-pin"}},
       nullptr,
       2,
       {"c.ztr:18: error: document \"BOLT\": the run saves \"<dir>/parts/bolt-m8x20.CATPart\" "
        "over "},
       "Document parts/bolt-m8x20.CATPart saved as parts/hinge-pin.CATPart\n"},
      {"an instance name not under its parent",
       {{"{INSTANCENAME}Pin.1", "{INSTANCENAME}Pin.9"}},
       nullptr,
       2,
       {"c.ztr:48: error: instance \"PIN1\": the run fails here: "
        "\"<dir>/hinge/hinge-sub.CATProduct\" has no component \"Pin.9\" when the run renames it"},
       "Failed to change the instance name: Pin.9\n"},
      {"saving stops after a document was saved under its new file",
       {{"{ASM}{HINGE}", "{ASM}{BOLTP}{HINGE}"},
        {"@BOLT1",
         "@BOLTP\n{PARTNUMBER}BOLT-M8x20\n{EXTERNAL_LOCATION}parts/bolt-m8x20.CATPart\n"
         "\n@BOLT1"}},
       nullptr,
       2,
       {"c.ztr:24: warning: \"<dir>/hinge/hinge-sub.CATProduct\" still refers to "
        "\"<dir>/parts/hinge-pin.CATPart\" "
        "after the run, which saves that document as \"<dir>/parts/hinge-pin-b.CATPart\" but does "
        "not",
        "c.ztr:28: error: document \"BOLTP\": the run stops saving here: no document is open as "
        "\"<dir>/parts/bolt-m8x20.CATPart\" any more"},
       "********* Failed to get document: parts/bolt-m8x20.CATPart\n"},
      {"records for another structure, and a part-number check that fails",
       {{"{ASM}{HINGE}", "{ASM}{HINGE}{OTHER}"},
        {"{BOLT}{PIN}", "{BOLT}{PIN}{BOLT}"},
        {"{PIN1}", "{PIN1}{OTHER1}"},
        {"@ASM", other + "@OTHER1\n{PARENT_PARTNUMBER}OTHER\n{INSTANCENAME}X.1\n\n@ASM"}},
       nullptr,
       2,
       {"c.ztr:6: warning: PARENT_OBJECTS lists \"OTHER\", whose file \"<dir>/other.CATProduct\" "
        "is not "
        "part of this structure",
        "c.ztr:10: warning: INSTANCE_OBJECTS lists \"OTHER1\", whose parent \"OTHER\" is not part",
        "c.ztr:12: error: instance \"OTHER1\": the run fails here: \"<dir>/other.CATProduct\" has "
        "no "
        "component \"X.1\"",
        "c.ztr:23: error: document \"BOLT\": the run stops here: the root product of "
        "\"<dir>/parts/bolt-m8x20.CATPart\" carries the part number \"BOLT-M8x25\" by then"},
       "Failed to change the instance name: X.1\n"},
  };
  for (const Case& c : cases) Try("bracket", c);
}

TEST(PreviewTest, TheWindowsExampleIsClean) {
  if (!OnWindows()) GTEST_SKIP() << "its paths name its files on Windows only";
  Try("bracket-windows", {"example", {}, nullptr, 0, {}, nullptr});
}

}  // namespace
