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
    "Usage: Quorvel-tree [--plan control_file... [--changed] [--project DIR [--index FILE]]] "
    "[--expand[=LINES]] [--dot] root_document\n"
    "       Quorvel-tree --where-used FILE|PART_NUMBER --project DIR [--index FILE]\n";

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

TEST(TreeCommandTest, WhereUsedInAProject) {
  ScratchDir dir;
  const std::string project = dir.File("project");
  std::filesystem::create_directories(project + "/lib");
  WriteFile(project + "/lib/bolt.part", "STANDIN-DOCUMENT 1\nproduct\npartnumber BOLT\n");
  WriteFile(project + "/frame.prod",
            "STANDIN-DOCUMENT 1\nproduct\npartnumber FRAME\ncomponent B.1\nreference "
            "lib/bolt.part\ncomponent B.2\nreference lib/bolt.part\n");
  for (const char* product : {"car", "van"}) {
    WriteFile(project + "/" + product + ".prod",
              std::string("STANDIN-DOCUMENT 1\nproduct\npartnumber ") + product +
                  "\ncomponent Frame.1\nreference frame.prod\n");
  }
  WriteFile(project + "/loop.prod",
            "STANDIN-DOCUMENT 1\nproduct\npartnumber LOOP\ncomponent Self\nreference "
            "loop.prod\ncomponent Bolt\nreference lib/bolt.part\n");
  const std::string index = "--index=" + dir.File("index.sqlite");
  const Outcome bolt =
      Tree({"--where-used", project + "/lib/bolt.part", "--project", project, index});
  EXPECT_EQ(bolt.exit_code, 0) << bolt.err;
  EXPECT_EQ(dir.Scrub(bolt.out),
            "<dir>/project/lib/bolt.part  [BOLT]\n"
            "  B.1, B.2  <dir>/project/frame.prod  [FRAME]\n"
            "    Frame.1  <dir>/project/car.prod  [car]\n"
            "    Frame.1  <dir>/project/van.prod  [van]\n"
            "  Bolt  <dir>/project/loop.prod  [LOOP]\n"
            "    Self  <dir>/project/loop.prod  [LOOP]  (cycle: see line 5)\n"
            "\n"
            "4 documents use it; 2 of them are products that nothing uses.\n");
  EXPECT_EQ(bolt.err, "");
  // By part number, the project from the environment.
  EnvVar from_environment("QUORVEL_PROJECT", project.c_str());
  const Outcome frame = Tree({"--where-used", "FRAME", index});
  EXPECT_EQ(frame.exit_code, 0) << frame.err;
  EXPECT_EQ(dir.Scrub(frame.out).substr(0, 37), "<dir>/project/frame.prod  [FRAME]\n  F");
  const Outcome top = Tree({"--where-used", "car", index});
  EXPECT_EQ(top.exit_code, 1);
  EXPECT_EQ(dir.Scrub(top.out),
            "<dir>/project/car.prod  [car]\n\nNo document of the project uses it.\n");
  const Outcome unknown = Tree({"--where-used", "NO-SUCH", index});
  EXPECT_EQ(unknown.exit_code, 1);
  EXPECT_EQ(dir.Scrub(unknown.err),
            "Quorvel-tree: \"NO-SUCH\" is neither a file nor a part number of \"<dir>/project\"\n");
  const Outcome gone = Tree({"--where-used", "FRAME", "--project", dir.File("gone"), index});
  EXPECT_EQ(gone.exit_code, 3);
  EXPECT_EQ(dir.Scrub(gone.err), "Quorvel-tree: cannot read the folder \"<dir>/gone\"\n");
  for (const std::vector<std::string>& wrong :
       std::vector<std::vector<std::string>>{{"--where-used"},
                                             {"--where-used", "FRAME", "--dot"},
                                             {"--where-used", "FRAME", "--project"},
                                             {"--project", project, "top.doc"}}) {
    EXPECT_EQ(Tree(wrong).exit_code, 3) << wrong.back();
  }
}

}  // namespace
