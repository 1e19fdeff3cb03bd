#include "planner/naming_rules.h"

#include <gtest/gtest.h>

#include "findings/display_text.h"

namespace {

// What `args` give in `table`: "file>part_number,file" for each document that changes, then
// "instance>name" for each instance that does, then the notes, warnings and errors (files in
// them named as the table names them).
std::string Renamed(RenameTable table, const std::vector<std::string>& args) {
  NamingRules rules;
  std::string error;
  if (!rules.Parse(args, &error)) return "refused: " + error;
  const RulesOutcome outcome = rules.Apply(&table);
  std::string shown;
  for (const TableDocument& d : table.documents) {
    if (!d.new_part_number.empty() || !d.new_file.empty()) {
      shown += d.file + ">" + d.new_part_number + "," + d.new_file + " ";
    }
  }
  for (const TableInstance& i : table.instances) {
    if (!i.new_name.empty()) shown += i.name + ">" + i.new_name + " ";
  }
  for (const std::string& note : outcome.notes) shown += "note: " + note + " ";
  for (const std::string& warning : outcome.warnings) shown += "warning: " + warning + " ";
  for (const std::string& problem : outcome.errors) shown += "error: " + problem + " ";
  const std::string here = QuotedFile("x").substr(0, QuotedFile("x").size() - 2);
  for (size_t at; (at = shown.find(here)) != std::string::npos;)
    shown.replace(at, here.size(), "\"");
  return shown;
}

// The new names that `args` give in a small table of one assembly and three parts.
std::string Renamed(std::vector<std::string> args) {
  RenameTable table;
  table.documents = {{0, "top.CATProduct", "TOP", "", ""},
                     {0, "parts/bolt-a.CATPart", "BOLT-A", "", ""},
                     {0, "parts/nut.CATPart", "NUT-1", "", ""},
                     {0, "sub/bolt-b.CATPart", "BOLT-B", "", ""}};
  // An instance may spell its document's file otherwise than the document's row.
  table.instances = {{0, "TOP", "BOLT-A.1", "", "parts/./bolt-a.CATPart", 0},
                     {0, "TOP", "BOLT-A.x", "", "parts/bolt-a.CATPart", 0},
                     {0, "TOP", "Bolt.7", "", "sub/bolt-b.CATPart", 0},
                     {0, "TOP", "Nut.1", "", "parts/nut.CATPart", 0}};
  return Renamed(table, args);
}

// The new names that `args` give in a structure of sub-assemblies in folders of their own:
// TOP holds SUB twice, NUT and WASHER; SUB holds INNER and NUT; INNER holds BOLT twice.
std::string RenamedInBranches(const std::vector<std::string>& args) {
  RenameTable table;
  table.documents = {{0, "top.CATProduct", "TOP", "", ""},
                     {0, "sub/sub.CATProduct", "SUB", "", ""},
                     {0, "lib/nut.CATPart", "NUT", "", ""},
                     {0, "sub/a/bolt.CATPart", "BOLT", "", ""},
                     {0, "sub/b/inner.CATProduct", "INNER", "", ""},
                     {0, "../other/washer.CATPart", "WASHER", "", ""}};
  table.instances = {{0, "TOP", "SUB.1", "", "sub/sub.CATProduct", 0},
                     {0, "TOP", "SUB.2", "", "sub/sub.CATProduct", 0},
                     {0, "TOP", "NUT.1", "", "lib/nut.CATPart", 0},
                     {0, "TOP", "WASHER.1", "", "../other/washer.CATPart", 0},
                     {0, "SUB", "INNER.1", "", "sub/b/inner.CATProduct", 1},
                     {0, "SUB", "NUT.2", "", "lib/nut.CATPart", 1},
                     {0, "INNER", "BOLT.1", "", "sub/a/bolt.CATPart", 4},
                     {0, "INNER", "BOLT.2", "", "sub/a/bolt.CATPart", 4}};
  return Renamed(table, args);
}

TEST(NamingRulesTest, RulesFillTheNewColumnsOfTheSelectedDocuments) {
  const struct {
    std::vector<std::string> args;
    std::string renamed;
  } cases[] = {
      {{"--select-file", "parts/*", "--on", "part", "--prefix", "X-", "--on", "file", "--suffix",
        "_v2", "--instances-follow=Nut.*", "--instances-follow"},
       "parts/bolt-a.CATPart>X-BOLT-A,parts/bolt-a_v2.CATPart "
       "parts/nut.CATPart>X-NUT-1,parts/nut_v2.CATPart BOLT-A.1>X-BOLT-A.1 Nut.1>X-NUT-1.1 "},
      {{"--regex", "^(\\w+)-(\\w)$", "$2-$1"},
       "parts/bolt-a.CATPart>A-BOLT,parts/a-bolt.CATPart parts/nut.CATPart>1-NUT, "
       "sub/bolt-b.CATPart>B-BOLT,sub/b-bolt.CATPart note: 1 document gets a new part number "
       "and keeps its file, \"parts/nut.CATPart\": the run saves it in place, over the old "
       "file; --on file or --folder gives it a new one "},
      // A --start after the last rule that numbers is for the rules before it.
      {{"--select-part", "[!B]*", "--number", "N{n}", "--replace", "N", "M", "--start", "7"},
       "top.CATProduct>M7,M7.CATProduct parts/nut.CATPart>M8,parts/M8.CATPart "},
      // A --regex numbers only the documents it matches.
      {{"--start", "5", "--regex", "^BOLT-(\\w)$", "{1}-$1-{n:03}"},
       "parts/bolt-a.CATPart>A-A-005, sub/bolt-b.CATPart>B-B-006, note: 2 documents get a new "
       "part number and keep their files, the first \"parts/bolt-a.CATPart\": the run saves "
       "them in place, over the old files; --on file or --folder gives them new ones "},
      {{"--select-file", "parts/*", "--on", "file", "--suffix", "-{part}"},
       "parts/bolt-a.CATPart>,parts/bolt-a-BOLT-A.CATPart "
       "parts/nut.CATPart>,parts/nut-NUT-1.CATPart "},
      {{"--select-part", "NUT*", "--number", "{stem}-{n}", "--folder", "{part}"},
       "parts/nut.CATPart>nut-1,NUT-1/nut-1.CATPart "},
      // With a name of its own, an instance that a GLOB selects needs no number.
      {{"--select-part", "BOLT-A", "--suffix", "-2", "--instances-follow=*.x", "--instance-name",
        "{name}-2"},
       "parts/bolt-a.CATPart>BOLT-A-2,parts/bolt-a-2.CATPart BOLT-A.1>BOLT-A.1-2 "
       "BOLT-A.x>BOLT-A.x-2 "},
      // Rules that rename nothing say so.
      {{"--select-part", "X*", "--prefix", "Y"},
       "warning: the rule --select-part \"X*\" matches no document's part number; the rules "
       "after it rename nothing "},
      {{"--select-part", "NUT*", "--number", "N{n}", "--instances-follow=Blot.*"},
       "parts/nut.CATPart>N1,parts/N1.CATPart warning: the rule --instances-follow=\"Blot.*\" "
       "matches no instance; it renames none warning: the rule --instances-follow renames no "
       "instance: no instance of a document given a new part number is named after that part "
       "number, a dot and a number, nor matches \"Blot.*\" "},
      {{"--select-part", "TOP", "--on", "file", "--suffix", "-2", "--instances-follow"},
       "top.CATProduct>,top-2.CATProduct warning: the rule --instances-follow renames no "
       "instance: no document gets a new part number "},
      // ...and rules that could not are refused.
      {{"--select-part", "NUT*", "--select-all", "--replace", "BOLT", "SCREW"},
       "refused: --select-part \"NUT*\" selects for no rule: --select-all replaces it before a "
       "rule that renames"},
      {{"--prefix", "X", "--on", "part"},
       "refused: --on \"part\" is for no rule: no rule that renames comes after it"},
      {{"--start", "2", "--number", "A{n}", "--start", "5"},
       "refused: --start 5 numbers no rule: put it before the rule whose {n} it starts"},
      {{"--instance-name", "{part}", "--instance-name", "{name}"},
       "refused: --instance-name is given twice: \"{name}\" would replace \"{part}\"; give one"},
      {{"--flatten"}, "refused: --flatten flattens nothing: no --folder rule moves files"},
      {{"--prefix", "A{n:x}"}, "refused: --prefix: {n:0W} needs digits in \"A{n:x}\""},
      {{"--on", "parts"}, "refused: --on takes part, file or both, not \"parts\""},
      {{"--number", "PRJ-{n:x}"}, "refused: --number needs {n} or {n:0W} in \"PRJ-{n:x}\""},
      {{"--prefix"}, "refused: --prefix needs an argument"},
      {{"--start", "-1"}, "refused: --start needs a number or next, not \"-1\""},
      {{"--bolts"}, "refused: unknown option \"--bolts\""},
  };
  for (const auto& c : cases) EXPECT_EQ(Renamed(c.args), c.renamed) << c.args[0];
  EXPECT_EQ(Renamed({"--regex", "(", "x"}).substr(0, 20), "refused: --regex \"(\"");
  EXPECT_EQ(Renamed({"--scheme", "("}).substr(0, 21), "refused: --scheme \"(\"");
}

TEST(NamingRulesTest, BranchesLibrariesAndFolders) {
  const struct {
    std::vector<std::string> args;
    std::string renamed;
  } cases[] = {
      // A branch is its root and everything under it, once; a library document in it keeps
      // its names, and so do its instances.
      {{"--library", "./lib/", "--select-branch", "SUB", "--prefix", "X-", "--select-all",
        "--suffix", "-1", "--instances-follow"},
       "top.CATProduct>TOP-1,top-1.CATProduct sub/sub.CATProduct>X-SUB-1,sub/X-sub-1.CATProduct "
       "sub/a/bolt.CATPart>X-BOLT-1,sub/a/X-bolt-1.CATPart sub/b/inner.CATProduct>X-INNER-1,"
       "sub/b/X-inner-1.CATProduct ../other/washer.CATPart>WASHER-1,../other/"
       "washer-1.CATPart SUB.1>X-SUB-1.1 SUB.2>X-SUB-1.2 WASHER.1>WASHER-1.1 INNER.1>X-INNER-1.1 "
       "BOLT.1>X-BOLT-1.1 BOLT.2>X-BOLT-1.2 note: --prefix would change 1 library document; "
       "it is left as it is note: --suffix would change 1 library document; it is left as it "
       "is "},
      {{"--library", "su", "--library-part", "[NO]*", "--select-branch", "SUB", "--on", "part",
        "--number", "P{n}"},
       "sub/sub.CATProduct>P1, sub/a/bolt.CATPart>P2, sub/b/inner.CATProduct>P3, note: --number "
       "would change 1 library document; it is left as it is note: 3 documents get a new part "
       "number and keep their files, the first \"sub/sub.CATProduct\": the run saves them in "
       "place, over the old files; --on file or --folder gives them new ones "},
      // Instances named by a rule of their own, numbered under each parent.
      {{"--select-part", "[BN]*", "--suffix", "-2", "--instance-name", "{part}:{n}<{name}>"},
       "lib/nut.CATPart>NUT-2,lib/nut-2.CATPart sub/a/bolt.CATPart>BOLT-2,sub/a/bolt-2.CATPart "
       "NUT.1>NUT-2:1<NUT.1> NUT.2>NUT-2:1<NUT.2> BOLT.1>BOLT-2:1<BOLT.1> "
       "BOLT.2>BOLT-2:2<BOLT.2> "},
      {{"--library-part", "*", "--number", "P{n}"},
       "note: --number would change 6 library documents; they are left as they are "},
      {{"--select-branch", "sub/sub", "--prefix", "X"},
       "error: --select-branch \"sub/sub\": no document has "
       "this part number or file "},
      // --folder keeps the folders under the one the files share, unless --flatten.
      {{"--library-part", "NUT", "--select-branch", "SUB", "--folder", "new"},
       "sub/sub.CATProduct>,new/sub.CATProduct sub/a/bolt.CATPart>,new/a/bolt.CATPart "
       "sub/b/inner.CATProduct>,new/b/inner.CATProduct note: --folder would change 1 library "
       "document; it is left as it is "},
      {{"--select-part", "[BW]*", "--folder", "new"},
       "sub/a/bolt.CATPart>,new/sub/a/bolt.CATPart ../other/washer.CATPart>,new/other/"
       "washer.CATPart "},
      {{"--select-branch", "./sub//b/inner.CATProduct", "--flatten", "--folder", "new"},
       "sub/a/bolt.CATPart>,new/bolt.CATPart sub/b/inner.CATProduct>,new/inner.CATProduct "},
      // The same file spelled otherwise is no new file.
      {{"--select-part", "TOP", "--folder", "."},
       "warning: the rule --folder \".\" changes none of the documents selected "},
  };
  for (const auto& c : cases) EXPECT_EQ(RenamedInBranches(c.args), c.renamed) << c.args[1];
  // A file named from the root goes under DIR too, not back where it was.
  RenameTable rooted;
  rooted.documents = {{0, "/data/x.CATPart", "X", "", ""}, {0, "y.CATPart", "Y", "", ""}};
  EXPECT_EQ(Renamed(rooted, {"--folder", "new"}),
            "/data/x.CATPart>,new/data/x.CATPart y.CATPart>,new/y.CATPart ");
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
