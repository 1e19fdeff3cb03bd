#include "tree/tree_command.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "testing/test_support.h"

namespace {

using Outcome = CommandOutcome;

Outcome Tree(std::vector<std::string> args) {
  return RunCommand(RunTreeCommand, "Quorvel-tree", std::move(args));
}

const char kUsage[] =
    "Usage: Quorvel-tree [--plan control_file... [--changed]] [--expand[=LINES]] [--dot] "
    "root_document\n";

TEST(TreeCommandTest, CommandLineAndInputThatCannotBeRead) {
  ScratchDir dir;
  WriteFile(dir.File("top.doc"), "STANDIN-DOCUMENT 1\nproduct\npartnumber TOP\n");
  WriteFile(dir.File("bad.doc"), "not a document\n");
  WriteFile(dir.File("locked.ztr"), "@ROOT\n");
  std::filesystem::permissions(dir.File("locked.ztr"), std::filesystem::perms::none);
  const bool root_reads_anything = ReadWholeFile(dir.File("locked.ztr")) == "@ROOT\n";
  const std::string top = dir.File("top.doc");
  const struct {
    std::vector<std::string> args;
    int exit_code;
    std::string err;  // the end of standard error
  } cases[] = {
      {{"--bogus", top}, 3, kUsage},
      {{top, top}, 3, kUsage},
      {{"--changed", top}, 3, kUsage},
      {{"--expand=0", top}, 3, kUsage},
      {{"--plan"}, 3, kUsage},
      {{dir.File("gone.doc")}, 3, "gone.doc\": No such file or directory\n"},
      {{dir.path()}, 3, "\": Is a directory\n"},
      {{dir.File("bad.doc")}, 3, "bad.doc\": not a document the platform can open\n"},
      {{"--plan", dir.File("gone.ztr"), top}, 3, "gone.ztr\": No such file or directory\n"},
      {{"--plan", dir.File("locked.ztr"), top},
       root_reads_anything ? 0 : 3,
       root_reads_anything ? "" : "locked.ztr\": Permission denied\n"},
  };
  for (const auto& c : cases) {
    const Outcome outcome = Tree(c.args);
    EXPECT_EQ(outcome.exit_code, c.exit_code) << c.args[0];
    EXPECT_EQ(outcome.err.substr(outcome.err.size() - std::min(outcome.err.size(), c.err.size())),
              c.err);
    EXPECT_TRUE(c.exit_code != 3 || outcome.out.empty()) << outcome.out;
  }
  const Outcome help = Tree({"--help"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_EQ(help.out.substr(0, sizeof(kUsage) - 1), kUsage);
  EXPECT_EQ(Tree({"--version"}).out, "Quorvel-tree " QUORVEL_VERSION "\n");
}

TEST(TreeCommandTest, GraphRendersWithDot) {
  const InScratchDir here;
  std::filesystem::copy(kSourceDir / "examples" / "bracket", ".",
                        std::filesystem::copy_options::recursive);
  const Outcome graph = Tree({"--dot", "--plan", "rename.ztr", "bracket-asm.CATProduct"});
  EXPECT_EQ(graph.exit_code, 0);
  // Each file once, each instance an arrow; the bolts' new file in blue.
  EXPECT_EQ(std::count(graph.out.begin(), graph.out.end(), '\n'), 3 + 6 + 10);
  EXPECT_NE(graph.out.find("[label=\"parts/bolt-m8x20.CATPart -> parts/bolt-m8x25.CATPart\\n"
                           "[BOLT-M8x20 -> BOLT-M8x25]\", color=blue"),
            std::string::npos);
  if (std::system("command -v dot >/dev/null 2>&1") != 0) GTEST_SKIP() << "dot is not installed";
  WriteFile("tree.dot", graph.out);  // in the scratch folder, the working one
  EXPECT_EQ(std::system("dot -Tsvg -o tree.svg tree.dot 2>dot.err"), 0);
  EXPECT_EQ(ReadWholeFile("dot.err"), "");
  EXPECT_NE(ReadWholeFile("tree.svg").find("M8x25.4"), std::string::npos);
}

}  // namespace
