#include "tree/tree_printer.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

ShownNode Node(const std::string& file, const std::string& part_number,
               std::vector<ShownInstance> instances) {
  ShownNode node;
  node.file = node.old_file = "/w/" + file;
  node.has_product = !part_number.empty();
  node.part_number = node.old_part_number = part_number;
  node.instances = std::move(instances);
  return node;
}

ShownInstance Instance(const std::string& name, int node) {
  ShownInstance instance;
  instance.name = instance.old_name = name;
  instance.node = node;
  return instance;
}

std::string Print(const ShownStructure& structure, const TreeOptions& options,
                  bool* whole = nullptr) {
  std::ostringstream out;
  const bool printed = PrintTree(structure, options, "/w", out);
  if (whole != nullptr) *whole = printed;
  return out.str();
}

TEST(TreePrinterTest, SharedFilesOnceCyclesAndTheFullExpansion) {
  ShownStructure structure;
  structure.nodes = {
      Node("top.doc", "TOP", {Instance("A.1", 1), Instance("A.2", 1), Instance("Loose.1", -1)}),
      Node("a.doc", "A", {Instance("Up.1", 0), Instance("C.1", 2)}),
      Node("c.doc", "", {}),
  };
  const std::string first =
      "top.doc  [TOP]\n"
      "  A.1  a.doc  [A]\n"
      "    Up.1  top.doc  [TOP]  (cycle: see line 1)\n"
      "    C.1  c.doc  (no product)\n";
  EXPECT_EQ(Print(structure, {}), first +
                                      "  A.2  a.doc  [A]  (see line 2)\n"
                                      "  Loose.1  (unresolved)\n");
  TreeOptions expand;
  expand.expand_limit = 100;
  EXPECT_EQ(Print(structure, expand), first +
                                          "  A.2  a.doc  [A]\n"
                                          "    Up.1  top.doc  [TOP]  (cycle: see line 1)\n"
                                          "    C.1  c.doc  (no product)\n"
                                          "  Loose.1  (unresolved)\n");
}

TEST(TreePrinterTest, GrowsWithFilesAndInstancesNotWithUsesOrDepth) {
  // 31 files, each using the next twice: 2^31 lines in full.
  ShownStructure doubling;
  for (int i = 0; i < 31; ++i) {
    const std::string n = std::to_string(i);
    doubling.nodes.push_back(
        Node(n + ".doc", "P" + n, {Instance("L.1", i + 1), Instance("R.1", i + 1)}));
  }
  doubling.nodes.push_back(Node("31.doc", "P31", {}));
  const auto lines = [](const std::string& text) {
    return std::count(text.begin(), text.end(), '\n');
  };
  bool whole = false;
  EXPECT_EQ(lines(Print(doubling, {}, &whole)), 1 + 2 * 31);
  EXPECT_TRUE(whole);
  TreeOptions expand;
  expand.expand_limit = 1000;
  EXPECT_EQ(lines(Print(doubling, expand, &whole)), 1000);
  EXPECT_FALSE(whole);

  // A chain deeper than any stack would take in recursion; deep levels say their level
  // instead of indenting further.
  const int depth = 100000;
  ShownStructure chain;
  for (int i = 0; i < depth; ++i) {
    chain.nodes.push_back(Node(std::to_string(i) + ".doc", "P", {Instance("I", i + 1)}));
  }
  chain.nodes.push_back(Node(std::to_string(depth) + ".doc", "P", {}));
  const std::string text = Print(chain, {});
  const std::string last = std::to_string(depth);
  EXPECT_NE(text.find("\n" + std::string(2 * kDeepestIndent, ' ') + "(level " + last + ") I  " +
                      last + ".doc  [P]\n"),
            std::string::npos);
  EXPECT_NE(text.find("\n" + std::string(2 * kDeepestIndent, ' ') + "I  30.doc  [P]\n"),
            std::string::npos);
}

TEST(TreePrinterTest, PreviewShowsChangesEscapedAndCanKeepOnlyChangedBranches) {
  ShownStructure structure;
  structure.nodes = {
      Node("top.doc", "TOP", {Instance("Same.1", 1), Instance("Sub.1", 2)}),
      Node("same.doc", "SAME", {}),
      Node("sub.doc", "SUB", {Instance("Bolt.1", 3), Instance("Nut.1", 1)}),
      Node("b.doc", "B", {}),
  };
  structure.nodes[2].instances[0].name = "M8.\x1b[1m1";
  structure.nodes[3].file = "/w/b2.doc";
  structure.nodes[3].part_number = "B2\x9b";
  TreeOptions options;
  options.plan = true;
  options.changed_only = true;
  EXPECT_EQ(Print(structure, options),
            "top.doc  [TOP]\n"
            "  Sub.1  sub.doc  [SUB]\n"
            "    Bolt.1 -> M8.\\033[1m1  b.doc -> b2.doc  [B -> B2\\233]\n"
            "\n"
            "Legend: OLD -> NEW       changed by the run (instance name, file, part number)\n"
            "        (see line N)     the file's instances are shown on line N\n");
}

}  // namespace
