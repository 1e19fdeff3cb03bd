// Quorvel-check on control files that show each finding, with its exact line.
#include "check/control_file_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "system/system.h"
#include "testing/test_support.h"

namespace {

class CheckTest : public ::testing::Test {
 protected:
  // Runs the check on `control` written as c.ztr; returns the report and sets `exit_code_`.
  std::string Check(const std::string& control, bool open = false) {
    WriteFile("c.ztr", control);
    std::vector<std::string> args = {"Quorvel-check", "c.ztr"};
    if (open) args.insert(args.begin() + 1, "--open");
    return Run(args);
  }
  std::string Run(const std::vector<std::string>& args) {
    const CommandOutcome outcome =
        RunCommand(RunControlFileCheck, "Quorvel-check", {args.begin() + 1, args.end()});
    exit_code_ = outcome.exit_code;
    errors_ = dir_.Scrub(outcome.err);
    return dir_.Scrub(outcome.out);
  }

  InScratchDir here_;
  const ScratchDir& dir_ = here_.dir();
  std::string errors_;
  int exit_code_ = -1;
};

TEST_F(CheckTest, ReadingProblems) {
  EXPECT_EQ(Check("\n@ROOT\n"),
            "c.ztr:1: error: reading stops here: the file must begin with \"@\"; this line and "
            "the 1 non-empty lines after it are ignored\n"
            "c.ztr:1: warning: no ROOT object; nothing is renamed\n1 error, 1 warning\n");
  EXPECT_EQ(exit_code_, 2);
  EXPECT_EQ(Check("@ROOT\n{PARENT_OBJECTS}{P1}\n@P1\n{PARTNUMBER}A\n{EXTERNAL_LOCATION}a.doc\n"
                  "{external_location}b.doc\n{EXTERNAL_LOCATION}\n\n@P2\njunk\n"),
            "c.ztr:6: warning: key \"EXTERNAL_LOCATION\" given twice in this record (first at "
            "line 5); the later value wins\n"
            "c.ztr:7: error: reading stops here: an attribute line with an empty value; this "
            "line and the 2 non-empty lines after it are ignored\n1 error, 1 warning\n");
  EXPECT_EQ(Check("@ROOT\n{PARENT_OBJECTS}{P1}\n@P1\n{}x\n"),
            "c.ztr:3: error: document \"P1\" has no EXTERNAL_LOCATION\n"
            "c.ztr:4: error: reading stops here: an attribute line with an empty key; this line "
            "and the 0 non-empty lines after it are ignored\n2 errors, 0 warnings\n");
  EXPECT_NE(Check("@ROOT\n{PARENT_OBJECTS}{P1}\n@P1\n{EXTERNAL_LOCATION\n")
                .find("c.ztr:4: error: reading stops here: an attribute line without its closing"),
            std::string::npos);
  // A NUL byte ends a value for the tool where an editor shows more of it.
  EXPECT_EQ(Check(std::string("@ROOT\n{NOTE}a\0b\n", 16)),
            "c.ztr:2: error: a NUL byte at column 8 ends the value of \"NOTE\" there for the "
            "tool; remove it\nc.ztr:2: warning: key \"NOTE\" is never read\n1 error, 1 warning\n");
  EXPECT_NE(Check("@ROOT\n@\n")
                .find("c.ztr:2: error: reading stops here: an identifier line "
                      "with no identifier"),
            std::string::npos);
}

TEST_F(CheckTest, FieldsLongerThanTheLimit) {
  const std::string limit(65535, 'X');
  EXPECT_EQ(Check("@ROOT\n@" + limit + "tail\n"),
            "c.ztr:2: error: identifier longer than 65,535 characters; it is cut to its first "
            "65,535\n"
            "c.ztr:2: error: reading stops here: the rest of a line cut at 65,535 characters is "
            "read as a line of its own; this line and the 0 non-empty lines after it are "
            "ignored\n2 errors, 0 warnings\n");
  EXPECT_EQ(Check("@ROOT\n{NOTE}" + limit + "{L}w\n{" + limit + "@A\n"),
            "c.ztr:2: error: value of \"NOTE\" longer than 65,535 characters; it is cut to its "
            "first 65,535\n"
            "c.ztr:2: warning: key \"NOTE\" is never read\n"
            "c.ztr:2: warning: key \"L\" is never read\n"
            "c.ztr:3: error: key longer than 65,535 characters; the attribute is dropped\n"
            "2 errors, 2 warnings\n");
}

TEST_F(CheckTest, PlanProblems) {
  EXPECT_EQ(Check("@ROOT\n"                                              // 1
                  "{PARENT_OBJECTS}{ASM}{P 2}{BOTH}\n"                   // 2
                  "{CHILD_OBJECTS}{K1}{K2}{BOTH}{SAME}{K3}\n"            // 3
                  "{INSTANCE_OBJECTS}{N1}{N2}{N3}{N4}{N5}\n"             // 4
                  "@ASM\n{PARTNUMBER}ASM\n{EXTERNAL_LOCATION}asm.doc\n"  // 5-7
                  "@P2\n{PARTNUMBER}P2\n"                                // 8-9
                  "@K1\n{PARTNUMBER}BOLT\n{EXTERNAL_LOCATION}bolt.doc\n{NEW_PARTNUMBER}BOLT-B\n"
                  "{NEW_EXTERNAL_LOCATION}out.doc\n"  // 10-14
                  "@K2\n{PARTNUMBER}BOLT\n{EXTERNAL_LOCATION}./bolt.doc\n{NEW_PARTNUMBER}ASM\n"
                  "{NEW_EXTERNAL_LOCATION}out.doc\n"  // 15-19
                  "@BOTH\n{PARTNUMBER}B\n{EXTERNAL_LOCATION}both.doc\n"
                  "{NEW_EXTERNAL_LOCATION}asm.doc\n"                     // 20-23
                  "@SAME\n{PARTNUMBER}S\n{EXTERNAL_LOCATION}same.doc\n"  // 24-26
                  "@K3\n{PARTNUMBER}BOLT\n"                              // 27-28
                  "@N1\n{PARENT_PARTNUMBER}ASM\n{INSTANCENAME}Bolt.1\n{NEW_INSTANCENAME}M.1\n"
                  "@N2\n{PARENT_PARTNUMBER}ASM\n{INSTANCENAME}Bolt.1\n{NEW_INSTANCENAME}M.1\n"
                  "@N3\n{PARENT_PARTNUMBER}NOPE\n{INSTANCENAME}Nut.1\n"  // 37-39
                  "@N4\n{INSTANCENAME}Nut.2\n"                           // 40-41
                  "@N5\n{PARENT_PARTNUMBER}ASM\n"                        // 42-43
                  "@N1\n"),                                              // 44
            "c.ztr:2: error: PARENT_OBJECTS lists \"P 2\", which names no object; did you mean "
            "\"P2\"?\n"
            "c.ztr:5: error: document \"ASM\" would be saved to \"<dir>/asm.doc\", as \"BOTH\" "
            "(line 20) would\n"
            "c.ztr:15: error: changeable document \"K2\" names the document of \"K1\" (line 10); "
            "its part number check would fail: the document then carries \"BOLT-B\", not "
            "\"BOLT\"\n"
            "c.ztr:18: warning: new part number \"ASM\" is the part number of \"ASM\" (line 5) "
            "as well\n"
            "c.ztr:20: error: document \"BOTH\" is listed under PARENT_OBJECTS too and gets a "
            "new file path: once saved as \"<dir>/asm.doc\", it is not found under its old one to "
            "be saved again, and saving stops there\n"
            "c.ztr:24: warning: changeable document \"SAME\" gets neither a new part number nor "
            "a new file path\n"
            "c.ztr:27: error: document \"K3\" has no EXTERNAL_LOCATION\n"
            "c.ztr:27: warning: changeable document \"K3\" gets neither a new part number nor a "
            "new file path\n"
            "c.ztr:33: warning: instance \"Bolt.1\" under \"ASM\" is renamed already by the "
            "record at line 29\n"
            "c.ztr:36: warning: new instance name \"M.1\" under \"ASM\" is given already by the "
            "record at line 29\n"
            "c.ztr:38: error: instance \"N3\": no listed document carries the parent part "
            "number \"NOPE\"\n"
            "c.ztr:40: error: instance \"N4\" has no PARENT_PARTNUMBER\n"
            "c.ztr:42: error: instance \"N5\" has no INSTANCENAME\n"
            "c.ztr:44: warning: identifier \"N1\" is used again (first at line 29); only the "
            "first object is ever found\n"
            "8 errors, 6 warnings\n");
  EXPECT_EQ(exit_code_, 2);
  // Its new file path is its own file: saved twice in place, found both times.
  EXPECT_EQ(Check("@ROOT\n{PARENT_OBJECTS}{K}\n{CHILD_OBJECTS}{K}\n"
                  "@K\n{PARTNUMBER}K\n{EXTERNAL_LOCATION}k.doc\n{NEW_EXTERNAL_LOCATION}./k.doc\n"),
            "c.ztr:4: warning: changeable document \"K\" gets neither a new part number nor a "
            "new file path\n0 errors, 1 warning\n");
}

// --open says what the control file alone shows once: in the stages' words where the run
// gets that far, as without --open where it stops before.
TEST_F(CheckTest, OpeningSaysConflictsOfTheRunOnce) {
  WriteFile("k.doc", "STANDIN-DOCUMENT 1\nproduct\npartnumber K\n");
  const std::string control =
      "@ROOT\n{PARENT_OBJECTS}{K}\n{CHILD_OBJECTS}{K}\n"
      "@K\n{PARTNUMBER}K\n{EXTERNAL_LOCATION}k.doc\n{NEW_EXTERNAL_LOCATION}k2.doc\n";  // 4-7
  EXPECT_EQ(Check(control, true),
            "c.ztr:6: error: document \"K\": the run stops saving here: no document is open as "
            "\"<dir>/k.doc\" any more: it was saved under another file before; nothing after it "
            "is saved\n1 error, 0 warnings\n");
  std::filesystem::remove("k.doc");
  EXPECT_NE(Check(control, true)
                .find("c.ztr:4: error: document \"K\" is listed under PARENT_OBJECTS too"),
            std::string::npos);
}

TEST_F(CheckTest, RootInAnotherCaseAndKeysForAnotherRole) {
  EXPECT_EQ(Check("@Root\n{PARENT_OBJECTS}{A}\n"),
            "c.ztr:1: warning: no ROOT object: \"Root\" is not it, identifiers are "
            "case-sensitive; nothing is renamed\n0 errors, 1 warning\n");
  EXPECT_EQ(exit_code_, 1);
  EXPECT_EQ(Check("@ROOT\n{PARENT_OBJECTS}{A}\n@A\n{PARTNUMBER}A\n{EXTERNAL_LOCATION}a.doc\n"
                  "{NEW_PARTNUMBER}B\n"),
            "c.ztr:6: warning: key \"NEW_PARTNUMBER\" is not read for \"A\", given what it is "
            "listed as\n0 errors, 1 warning\n");
}

TEST_F(CheckTest, OpeningTheDocuments) {
  WriteFile("asm.doc", "STANDIN-DOCUMENT 1\nproduct\npartnumber ASM-OLD\ncomponent Bolt.1\n");
  WriteFile("sheet.doc", "STANDIN-DOCUMENT 1\nother\nproduct\npartnumber S\n");
  WriteFile("bolt.doc", "STANDIN-DOCUMENT 1\nproduct\npartnumber BOLT\n");
  WriteFile("taken.doc", "anything");
  // Every document that loading cannot open or reach is said at once; the run stops at the
  // first, so nothing after loading is looked at.
  EXPECT_EQ(Check("@ROOT\n{PARENT_OBJECTS}{A}{S}{M}\n"
                  "@A\n{PARTNUMBER}ASM\n{EXTERNAL_LOCATION}asm.doc\n"     // 3-5
                  "@S\n{PARTNUMBER}S\n{EXTERNAL_LOCATION}sheet.doc\n"     // 6-8
                  "@M\n{PARTNUMBER}M\n{EXTERNAL_LOCATION}missing.doc\n",  // 9-11
                  true),
            "c.ztr:4: warning: document \"A\": the root product of \"<dir>/asm.doc\" carries the "
            "part number \"ASM-OLD\", which loading overwrites with \"ASM\"\n"
            "c.ztr:8: error: document \"S\": the run stops here: \"<dir>/sheet.doc\" has no root "
            "product; nothing is saved\n"
            "c.ztr:11: error: document \"M\": the run stops here: \"<dir>/missing.doc\" cannot be "
            "opened: there is no such file; nothing is saved\n"
            "2 errors, 1 warning\n");
  EXPECT_EQ(exit_code_, 2);
  // Renames in the order the run makes them: M.1 exists once R1 ran, Bolt.1 no longer.
  EXPECT_EQ(Check("@ROOT\n{PARENT_OBJECTS}{A}\n{CHILD_OBJECTS}{K}\n{INSTANCE_OBJECTS}{N}{R1}{"
                  "R2}{R3}\n"
                  "@A\n{PARTNUMBER}ASM-OLD\n{EXTERNAL_LOCATION}asm.doc\n"  // 5-7
                  "@K\n{PARTNUMBER}BOLT\n{EXTERNAL_LOCATION}bolt.doc\n{NEW_EXTERNAL_LOCATION}"
                  "taken.doc\n"                                             // 8-11
                  "@N\n{PARENT_PARTNUMBER}ASM-OLD\n{INSTANCENAME}Bolt.2\n"  // 12-14
                  "@R1\n{PARENT_PARTNUMBER}ASM-OLD\n{INSTANCENAME}Bolt.1\n{NEW_INSTANCENAME}M.1\n"
                  "@R2\n{PARENT_PARTNUMBER}ASM-OLD\n{INSTANCENAME}M.1\n{NEW_INSTANCENAME}X.1\n"
                  "@R3\n{PARENT_PARTNUMBER}ASM-OLD\n{INSTANCENAME}Bolt.1\n{NEW_INSTANCENAME}Y.1\n",
                  true),
            "c.ztr:11: warning: document \"K\": a file \"<dir>/taken.doc\" exists already and is "
            "replaced\n"
            "c.ztr:14: error: instance \"N\": the run fails here: \"<dir>/asm.doc\" has no "
            "component \"Bolt.2\" when the run renames it\n"
            "c.ztr:23: warning: instance \"Bolt.1\" under \"ASM-OLD\" is renamed already by "
            "the record at line 15\n"
            "c.ztr:25: error: instance \"R3\": the run fails here: \"<dir>/asm.doc\" has no "
            "component \"Bolt.1\" when the run renames it\n"
            "2 errors, 2 warnings\n");
  EXPECT_EQ(ReadWholeFile("taken.doc"), "anything");
}

TEST_F(CheckTest, OpeningFindsSavesOverOpenDocumentsThroughLinksAndLeftoverSaves) {
  std::filesystem::create_directories("parts");
  WriteFile("asm.doc",
            "STANDIN-DOCUMENT 1\nproduct\npartnumber ASM\ncomponent Base.1\n"
            "reference parts/base.doc\ncomponent Bolt.1\nreference parts/bolt.doc\n");
  WriteFile("parts/base.doc", "STANDIN-DOCUMENT 1\nproduct\npartnumber BASE\n");
  WriteFile("parts/bolt.doc", "STANDIN-DOCUMENT 1\nproduct\npartnumber BOLT\n");
  WriteFile("parts/.quorvel-save-Ab12Cd", "STANDIN-DOC");
  std::error_code no_link;
  std::filesystem::create_directory_symlink("parts", "alias", no_link);
  if (no_link) {
    GTEST_SKIP() << "no symbolic link can be made here (" << no_link.message()
                 << "); Windows gives them to privileged users only";
  }
  EXPECT_EQ(Check("@ROOT\n{PARENT_OBJECTS}{A}\n{CHILD_OBJECTS}{K}\n"
                  "@A\n{PARTNUMBER}ASM\n{EXTERNAL_LOCATION}asm.doc\n"  // 4-6
                  "@K\n{PARTNUMBER}BOLT\n{EXTERNAL_LOCATION}parts/bolt.doc\n"
                  "{NEW_EXTERNAL_LOCATION}alias/base.doc\n",  // 7-10
                  true),
            "c.ztr:9: warning: \"<dir>/parts/.quorvel-save-Ab12Cd\" is left from a save that was "
            "cut short; it may be deleted\n"
            "c.ztr:10: error: document \"K\": the run cannot save \"<dir>/parts/bolt.doc\" as "
            "\"<dir>/alias/base.doc\": \"<dir>/alias/base.doc\" is the file of another open "
            "document, \"<dir>/parts/base.doc\"\n1 error, 1 warning\n");
}

TEST_F(CheckTest, AnInputThatGoesOnIsReadOnlyInPart) {
  if (!std::filesystem::exists("/dev/zero") || OnWindows()) GTEST_SKIP() << "no /dev/zero here";
  EXPECT_EQ(Run({"Quorvel-check", "/dev/zero"}),
            "/dev/zero:1: error: reading stops here: the file must begin with \"@\"; this line "
            "and all after it (more than 16 MiB) are ignored\n"
            "/dev/zero:1: warning: no ROOT object; nothing is renamed\n1 error, 1 warning\n");
}

TEST_F(CheckTest, CommandLineHelpVersionAndUnreadableFiles) {
  const std::string usage =
      "Usage: Quorvel-check [--open | --after [--old-files[=lines]]] [--project DIR [--index "
      "FILE]] "
      "control_file...\n";
  std::filesystem::create_directory("folder");
  struct Case {
    std::vector<std::string> args;
    int exit_code;
    std::string out, err;  // `out` as the start of the output
  };
  const Case cases[] = {
      {{}, 3, "", usage},
      {{"a.ztr", ""}, 3, "", "Quorvel-check: an empty argument\n" + usage},
      {{"--verbose", "a.ztr"}, 3, "", "Quorvel-check: unknown option \"--verbose\"\n" + usage},
      {{"--open", "--after", "a.ztr"},
       3,
       "",
       "Quorvel-check: --open and --after exclude each other\n" + usage},
      {{"a.ztr", "--help"}, 0, usage + "\nFinds what a run of Quorvel", ""},
      {{"--version"}, 0, std::string("Quorvel-check ") + QUORVEL_VERSION + "\n", ""},
      {{"--", "--open"},
       3,
       "",
       "Quorvel-check: cannot read \"<dir>/--open\": No such file or directory\n"},
      {{"folder"}, 3, "", "Quorvel-check: cannot read \"<dir>/folder\": Is a directory\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.begin(), "Quorvel-check");
    EXPECT_EQ(Run(args).substr(0, c.out.size()), c.out) << args[1];
    EXPECT_EQ(exit_code_, c.exit_code) << args[1];
    EXPECT_EQ(errors_, c.err);
  }
}

}  // namespace
