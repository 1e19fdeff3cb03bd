#include "planner/naming_rules.h"

#include <gtest/gtest.h>

namespace {

// The new names that `args` give in a small table: "file>part_number,file" for each document
// that changes, then "instance>name" for each instance that does.
std::string Renamed(std::vector<std::string> args) {
  RenameTable table;
  table.documents = {{0, "top.CATProduct", "TOP", "", ""},
                     {0, "parts/bolt-a.CATPart", "BOLT-A", "", ""},
                     {0, "parts/nut.CATPart", "NUT-1", "", ""},
                     {0, "sub/bolt-b.CATPart", "BOLT-B", "", ""}};
  for (const char* name : {"BOLT-A.1", "BOLT-A.x", "Bolt.7", "Nut.1"}) {
    const std::string of = name[0] == 'N'   ? "parts/nut.CATPart"
                           : name[1] == 'o' ? "sub/bolt-b.CATPart"
                                            : "parts/bolt-a.CATPart";
    table.instances.push_back({0, "TOP", name, "", of, 0});
  }
  NamingRules rules;
  std::string error;
  if (!rules.Parse(args, &error)) return "refused: " + error;
  rules.Apply(&table);
  std::string shown;
  for (const TableDocument& d : table.documents) {
    if (!d.new_part_number.empty() || !d.new_file.empty()) {
      shown += d.file + ">" + d.new_part_number + "," + d.new_file + " ";
    }
  }
  for (const TableInstance& i : table.instances) {
    if (!i.new_name.empty()) shown += i.name + ">" + i.new_name + " ";
  }
  return shown;
}

TEST(NamingRulesTest, RulesFillTheNewColumnsOfTheSelectedDocuments) {
  const struct {
    std::vector<std::string> args;
    std::string renamed;
  } cases[] = {
      {{"--select-part", "BOLT-*", "--start", "7", "--number", "F-{n:03}", "--folder", "fasteners",
        "--instances-follow=Bolt.*"},
       "parts/bolt-a.CATPart>F-007,fasteners/F-007.CATPart "
       "sub/bolt-b.CATPart>F-008,fasteners/F-008.CATPart BOLT-A.1>F-007.1 Bolt.7>F-008.7 "},
      {{"--select-file", "parts/*", "--on", "part", "--prefix", "X-", "--on", "file", "--suffix",
        "_v2", "--instances-follow"},
       "parts/bolt-a.CATPart>X-BOLT-A,parts/bolt-a_v2.CATPart "
       "parts/nut.CATPart>X-NUT-1,parts/nut_v2.CATPart BOLT-A.1>X-BOLT-A.1 "},
      {{"--regex", "^(\\w+)-(\\w)$", "$2-$1"},
       "parts/bolt-a.CATPart>A-BOLT,parts/a-bolt.CATPart parts/nut.CATPart>1-NUT, "
       "sub/bolt-b.CATPart>B-BOLT,sub/b-bolt.CATPart "},
      {{"--select-part", "NUT*", "--select-all", "--on", "both", "--replace", "BOLT", "SCREW"},
       "parts/bolt-a.CATPart>SCREW-A, sub/bolt-b.CATPart>SCREW-B, "},
      {{"--select-part", "[!B]*", "--number", "N{n}", "--replace", "N", "M"},
       "top.CATProduct>M1,M1.CATProduct parts/nut.CATPart>M2,parts/M2.CATPart "},
      {{"--on", "parts"}, "refused: --on takes part, file or both, not \"parts\""},
      {{"--number", "PRJ-{n:x}"}, "refused: --number needs {n} or {n:0W} in \"PRJ-{n:x}\""},
      {{"--prefix"}, "refused: --prefix needs an argument"},
      {{"--start", "-1"}, "refused: --start needs a number, not \"-1\""},
      {{"--bolts"}, "refused: unknown option \"--bolts\""},
  };
  for (const auto& c : cases) EXPECT_EQ(Renamed(c.args), c.renamed) << c.args[0];
  EXPECT_EQ(Renamed({"--regex", "(", "x"}).substr(0, 20), "refused: --regex \"(\"");
}

TEST(NamingRulesTest, GlobMatching) {
  const struct {
    const char* pattern;
    const char* text;
    bool matches;
  } cases[] = {
      {"BOLT-*", "BOLT-A", true}, {"BOLT-*", "bolt-a", false},
      {"*-[0-9]", "NUT-1", true}, {"*-[!0-9]", "NUT-1", false},
      {"?UT*", "NUT-1", true},    {"a*b*c", "aXbYbZc", true},
      {"a*b", "ab/c", false},     {"parts/*", "parts/a/b", true},
      {"[ab", "[ab", true},       {"*", "", true},
      {"?", "", false},
  };
  for (const auto& c : cases) EXPECT_EQ(GlobMatch(c.pattern, c.text), c.matches) << c.pattern;
}

}  // namespace
