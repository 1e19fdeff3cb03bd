// The preview against the run itself: for each control file, the structure the preview shows
// as new must be the one Quorvel-tree shows after the tool has run it on a copy of the
// example, and the one it shows as old must be the one before.
#include "tree/preview.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "standin_process.h"
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

const char kRoot[] = "bracket-asm.CATProduct";

struct Case {
  const char* name;
  // Changes to the example's rename.ztr: each text replaced by the one after it.
  std::vector<std::pair<std::string, std::string>> edits;
  int exit_code;
  std::vector<std::string> findings;  // each found in the preview's output, in this order
};

std::string Edited(std::string text, const Case& c) {
  for (const auto& [from, to] : c.edits) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
  }
  return text;
}

TEST(PreviewTest, ShowsWhatTheRunThenDoes) {
  const std::string other = "@OTHER\n{PARTNUMBER}OTHER\n{EXTERNAL_LOCATION}other.CATProduct\n\n";
  const Case cases[] = {
      {"example", {}, 0, {}},
      {"parent of a renamed child left out",
       {{"{ASM}{HINGE}", "{ASM}"}, {"{PIN1}", ""}},
       1,
       {"c.ztr:24: warning: hinge/hinge-sub.CATProduct still refers to parts/hinge-pin.CATPart "
        "after the run, which saves that document as parts/hinge-pin-b.CATPart but does not "
        "save hinge/hinge-sub.CATProduct"}},
      {"a save that fails",
       {{"parts/hinge-pin-b", "gone/hinge-pin-b"}},
       1,
       {"c.ztr:24: warning: the run cannot save parts/hinge-pin.CATPart: there is no folder "
        "gone"}},
      {"saving stops after a document was saved under its new file",
       {{"{ASM}{HINGE}", "{ASM}{BOLTP}{HINGE}"},
        {"@BOLT1",
         "@BOLTP\n{PARTNUMBER}BOLT-M8x25\n{EXTERNAL_LOCATION}parts/bolt-m8x20.CATPart\n"
         "\n@BOLT1"}},
       2,
       {"c.ztr:24: warning: hinge/hinge-sub.CATProduct still refers to parts/hinge-pin.CATPart "
        "after the run, which saves that document as parts/hinge-pin-b.CATPart but does not",
        "c.ztr:28: warning: the run stops here: saving finds no document "
        "parts/bolt-m8x20.CATPart"}},
      {"records for another structure, a typo, and a part-number check that fails",
       {{"{ASM}{HINGE}", "{ASM}{HINGE}{OTHER}"},
        {"{BOLT}{PIN}", "{BOLT}{PIN}{BOLT}"},
        {"{PIN1}", "{PIN1}{OTHER1}"},
        {"@ASM", other + "@OTHER1\n{PARENT_PARTNUMBER}OTHER\n{INSTANCENAME}X.1\n\n@ASM"},
        {"{INSTANCENAME}Pin.1", "{INSTANCENAME}Pin.2"}},
       2,
       {"c.ztr:6: warning: PARENT_OBJECTS lists \"OTHER\", whose file other.CATProduct is not "
        "part of this structure",
        "c.ztr:10: warning: INSTANCE_OBJECTS lists \"OTHER1\", whose parent \"OTHER\" is not part",
        "c.ztr:23: warning: the run stops here: parts/bolt-m8x20.CATPart has the part number "
        "\"BOLT-M8x25\" by then, set by an earlier record, not \"BOLT-M8x20\"",
        "c.ztr:56: warning: hinge/hinge-sub.CATProduct has no instance \"Pin.2\""}},
  };
  const std::string example =
      ReadWholeFile((kSourceDir / "examples" / "bracket" / "rename.ztr").string());
  const auto old_cwd = std::filesystem::current_path();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    std::filesystem::copy(kSourceDir / "examples" / "bracket", dir.path(),
                          std::filesystem::copy_options::recursive);
    WriteFile(dir.File("c.ztr"), Edited(example, c));
    WriteFile(dir.File("other.CATProduct"), "STANDIN-DOCUMENT 1\nproduct\npartnumber OTHER\n");
    std::filesystem::current_path(dir.path());
    const Outcome before = Tree({kRoot});
    const Outcome preview = Tree({"--plan", "c.ztr", kRoot});
    EXPECT_EQ(Tree({kRoot}).out, before.out) << "the preview wrote something";
    EXPECT_EQ(StandinRunProcess(kQuorvelBinary, {"c.ztr"}, ".", {}, "", ""), 0);
    const Outcome after = Tree({kRoot});
    std::filesystem::current_path(old_cwd);

    EXPECT_EQ(preview.exit_code, c.exit_code);
    EXPECT_EQ(preview.err, "");
    EXPECT_EQ(Side(preview.out, true), after.out);
    EXPECT_EQ(Side(preview.out, false), before.out);
    size_t at = 0;
    for (const std::string& finding : c.findings) {
      at = preview.out.find(finding, at);
      EXPECT_NE(at, std::string::npos) << finding << "\nin\n" << preview.out;
    }
    size_t count = 0;
    for (size_t line = preview.out.find("\nc.ztr:"); line != std::string::npos;
         line = preview.out.find("\nc.ztr:", line + 1)) {
      ++count;
    }
    EXPECT_EQ(count, c.findings.size()) << preview.out;
  }
}

}  // namespace
