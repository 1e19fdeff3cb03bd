// Quorvel-plan as users run it, and the round trip: table with rules (as a workbook), write,
// Quorvel-check, Quorvel, invert, Quorvel again, and the structure is what it was.
#include "planner/plan_command.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "check/control_file_check.h"
#include "standin_process.h"
#include "system/faulty_files.h"
#include "system/system.h"
#include "testing/test_support.h"
#include "tree/tree_command.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

namespace fs = std::filesystem;

const std::string kHeader =
    "file,part_number,new_part_number,new_file,parent_part_number,instance,new_instance,"
    "instance_of\n";

class PlanCommandTest : public ::testing::Test {
 protected:
  // Runs Quorvel-plan (or, with "Quorvel-check" or "Quorvel-tree" first, that command) in the
  // scratch folder; returns its standard output and sets `exit_code_` and `errors_`.
  // Quorvel-plan runs on `files`, with ROOT lists of `list_limit` bytes at most.
  std::string Run(const std::vector<std::string>& args, FileSystem& files = Disk(),
                  size_t list_limit = kListLimit) {
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    const auto plan = [list_limit](int argc, char* argv[], std::ostream& out, std::ostream& err,
                                   FileSystem& files) {
      return RunPlanCommandWithListLimit(list_limit, argc, argv, out, err, files);
    };
    const CommandOutcome outcome =
        args[0] == "Quorvel-check"  ? RunCommand(RunControlFileCheck, "Quorvel-check", rest)
        : args[0] == "Quorvel-tree" ? RunCommand(RunTreeCommand, "Quorvel-tree", rest)
                                    : RunCommand(plan, "Quorvel-plan", rest, files);
    exit_code_ = outcome.exit_code;
    errors_ = dir_.Scrub(outcome.err);
    return dir_.Scrub(outcome.out);
  }

  InScratchDir here_;
  const ScratchDir& dir_ = here_.dir();
  int exit_code_ = -1;
  std::string errors_;
};

TEST_F(PlanCommandTest, CommandLineConventions) {
  EXPECT_EQ(Run({"Quorvel-plan", "--help"}).substr(0, 28), "Usage: Quorvel-plan table [-");
  EXPECT_EQ(Run({"Quorvel-plan", "--version"}), "Quorvel-plan " QUORVEL_VERSION "\n");
  for (std::vector<std::string> wrong : {std::vector<std::string>{"Quorvel-plan"},
                                         {"Quorvel-plan", "tables", "a"},
                                         {"Quorvel-plan", "write", "a.csv", "b.csv"},
                                         {"Quorvel-plan", "invert", "-o"}}) {
    EXPECT_EQ(Run(wrong), "");
    EXPECT_EQ(exit_code_, 3);
    EXPECT_EQ(errors_.substr(0, 26), "Usage: Quorvel-plan table ");
  }
  Run({"Quorvel-plan", "write", "missing.csv"});
  EXPECT_EQ(errors_,
            "Quorvel-plan: cannot read \"<dir>/missing.csv\": No such file or directory\n");
  Run({"Quorvel-plan", "table", "."});
  EXPECT_EQ(errors_, "Quorvel-plan: cannot read \"<dir>\": it is a folder\n");
  Run({"Quorvel-plan", "table", "top.doc", "--number", "X"});
  EXPECT_EQ(exit_code_, 3);

  // A refused table writes no control file; a table that write would refuse says so.
  WriteFile("top.doc",
            "STANDIN-DOCUMENT 1\nproduct\npartnumber TOP\ncomponent A.1\n"
            "reference a.doc\ncomponent Gone.1\nreference gone.doc\n");
  WriteFile("a.doc", "STANDIN-DOCUMENT 1\nproduct\npartnumber A\n");
  EXPECT_EQ(Run({"Quorvel-plan", "table", "-o", "t.csv", "top.doc", "--select-part", "A",
                 "--replace", "A", "TOP"}),
            "");
  EXPECT_EQ(exit_code_, 1);
  EXPECT_NE(errors_.find("\"<dir>/top.doc\": component \"Gone.1\" refers to no document"),
            std::string::npos);
  EXPECT_NE(errors_.find("t.csv:5: error: new_part_number \"TOP\": is the part number"),
            std::string::npos);
  Run({"Quorvel-plan", "write", "-o", "t.ztr", "t.csv"});
  EXPECT_EQ(exit_code_, 2);
  EXPECT_FALSE(fs::exists("t.ztr"));
}

// The three companions name a file that the control file or table names relative to the
// working folder by its full path, escaped alike.
TEST_F(PlanCommandTest, MessagesOfEveryCompanionNameFilesInFullEscapedAlike) {
  const std::string shown = "\"<dir>/x\\033.doc\"";
  WriteFile("top.doc", "STANDIN-DOCUMENT 1\nproduct\npartnumber TOP\n");
  WriteFile("c.ztr",
            "@ROOT\n{PARENT_OBJECTS}{X}\n@X\n{PARTNUMBER}X\n{EXTERNAL_LOCATION}x\x1b.doc\n");
  WriteFile("t.csv", kHeader + "top.doc,TOP,,,,,,\nx\x1b.doc,X,,,,,,\n");
  EXPECT_NE(Run({"Quorvel-check", "--open", "c.ztr"}).find(shown), std::string::npos);
  EXPECT_NE(Run({"Quorvel-tree", "--plan", "c.ztr", "top.doc"}).find(shown), std::string::npos);
  Run({"Quorvel-plan", "write", "t.csv"});
  EXPECT_NE(errors_.find(shown), std::string::npos) << errors_;
}

TEST_F(PlanCommandTest, WriteTakesWhatToSaveFromTheStructure) {
  WriteFile("top.doc",
            "STANDIN-DOCUMENT 1\nproduct\npartnumber 000120\ncomponent A.1\nreference a.doc\n");
  WriteFile("a.doc", "STANDIN-DOCUMENT 1\nproduct\npartnumber 00123\n");
  Run({"Quorvel-plan", "table", "-o", "t.csv", "top.doc"});
  EXPECT_EQ(exit_code_, 0);
  EXPECT_NE(errors_.find("would change or run 3 of its cells, such as:\n  line 2, part_number "
                         "\"000120\": leading zeros\n"),
            std::string::npos)
      << errors_;
  // The instance's row, which names the parent, is left out: the structure names it.
  WriteFile("one.csv", kHeader + "top.doc,000120,,,,,,\na.doc,00123,A-2,,,,,\n");
  EXPECT_EQ(Run({"Quorvel-plan", "write", "one.csv"}).substr(0, 54),
            "@ROOT\n{PARENT_OBJECTS}{000120}\n{CHILD_OBJECTS}{00123}\n");
  WriteFile("one.csv", kHeader + "top.doc,000120,,,,,,\na.doc,123,A-2,,,,,\n");
  EXPECT_EQ(Run({"Quorvel-plan", "write", "one.csv"}), "");
  EXPECT_EQ(exit_code_, 2);
  EXPECT_NE(errors_.find("one.csv:3: error: part_number \"123\": the document's part number is "
                         "\"00123\" (its leading zeros were dropped"),
            std::string::npos)
      << errors_;
  EXPECT_NE(errors_.find("note: a spreadsheet has changed this table"), std::string::npos);
}

// The workbook and the CSV table in a real spreadsheet, LibreOffice Calc: what is typed into
// the workbook's cells is what the control file asks for, and a CSV table that Calc opened and
// saved is refused at the lines it changed, each change recognised as a spreadsheet's.
TEST_F(PlanCommandTest, WorkbookKeepsWhatIsTypedInCalcAndWriteRefusesTheCsvTableCalcSaved) {
  const std::string python = "/usr/bin/python3";
  if (StandinRunProcess(python, {"-c", "import uno"}, ".", {}, "", "") != 0 ||
      StandinRunProcess("/usr/bin/soffice", {"--version"}, ".", {}, "", "") != 0) {
    GTEST_SKIP() << "LibreOffice Calc (libreoffice-calc-nogui) or its Python bridge "
                    "(python3-uno) is missing: scripts/install-packages --spreadsheet";
  }
  const char* const part_numbers[][2] = {
      {"a", "00123"}, {"b", "1.10"}, {"c", "123456789012345678"}, {"d", "=2+2"}, {"e", "0012.50"}};
  std::string top = "STANDIN-DOCUMENT 1\nproduct\npartnumber 000120\n";
  for (const auto& [name, number] : part_numbers) {
    WriteFile(std::string(name) + ".doc",
              std::string("STANDIN-DOCUMENT 1\nproduct\npartnumber ") + number + "\n");
    top += std::string("component ") + name + ".1\nreference " + name + ".doc\n";
  }
  WriteFile("top.doc", top);
  Run({"Quorvel-plan", "table", "-o", "rename.xlsx", "top.doc"});
  ASSERT_EQ(exit_code_, 0) << errors_;
  Run({"Quorvel-plan", "table", "-o", "rename.csv", "top.doc"});

  const std::vector<std::string> typed = {"00124", "1E5", "123456789012345679", "=1+1", "3-4"};
  std::vector<std::string> arguments = {(kSourceDir / "planner" / "spreadsheet_edit.py").string(),
                                        "rename.xlsx", "edited.xlsx", "rename.csv", "edited.csv"};
  for (size_t i = 0; i < typed.size(); ++i) {
    arguments.push_back(std::string(part_numbers[i][0]) + ".doc=" + typed[i]);
  }
  ASSERT_EQ(StandinRunProcess(python, arguments, ".", {}, "calc.out", "calc.err"), 0)
      << ReadWholeFile("calc.out") << ReadWholeFile("calc.err");

  Run({"Quorvel-plan", "write", "-o", "rename.ztr", "edited.xlsx"});
  ASSERT_EQ(exit_code_, 0) << errors_ << ReadWholeFile("calc.out");
  const std::string written = ReadWholeFile("rename.ztr");
  for (const std::string& value : typed) {
    EXPECT_NE(written.find("{NEW_PARTNUMBER}" + value + "\n"), std::string::npos) << value;
  }
  Run({"Quorvel-plan", "write", "edited.csv"});
  EXPECT_EQ(exit_code_, 2);
  EXPECT_NE(errors_.find("edited.csv:3: error: parent_part_number \"120\""), std::string::npos);
  EXPECT_NE(errors_.find("note: a spreadsheet has changed this table"), std::string::npos);
  const char* const shown[][3] = {
      {"2", "120", "000120"}, {"8", "123", "00123"},
      {"9", "1.1", "1.10"},   {"10", "1.23456789012346E+017", "123456789012345678"},
      {"11", "4", "=2+2"},    {"12", "12.5", "0012.50"}};
  for (const auto& [line, value, held] : shown) {
    const std::string refused = std::string("edited.csv:") + line + ": error: part_number \"" +
                                value + "\": the document's part number is \"" + held + "\" (";
    EXPECT_NE(errors_.find(refused), std::string::npos) << refused << "\n" << errors_;
  }
}

// A copy leaves the originals alone (the campaign tests hold it to that), and so the companions
// say nothing of them: the preview has no warning of the links that stay on the originals,
// --after lists no original as an old file, and the way back is to remove the copies' files
// and the folders they leave empty: no control file is written.
TEST_F(PlanCommandTest, ACopyOfABranchLeavesTheOriginalsAndWhatRefersToThem) {
  fs::copy(kSourceDir / "examples" / "bracket", ".", fs::copy_options::recursive);
  Run({"Quorvel-plan", "table", "-o", "copy.csv", "bracket-asm.CATProduct", "--select-branch",
       "hinge/hinge-sub.CATProduct", "--on", "both", "--number", "HG-{n:03}", "--folder", "v2"});
  ASSERT_EQ(exit_code_, 0) << errors_;
  Run({"Quorvel-plan", "write", "--copy", "-o", "copy.ztr", "copy.csv"});
  ASSERT_EQ(exit_code_, 0) << errors_;
  Run({"Quorvel-tree", "--plan", "copy.ztr", "bracket-asm.CATProduct"});
  EXPECT_EQ(exit_code_, 0) << errors_;
  ASSERT_EQ(StandinRunProcess(kQuorvelBinary, {"copy.ztr"}, ".", {"ZTR_TRACE_LEVEL"}, "", ""), 0);
  EXPECT_EQ(Run({"Quorvel-check", "--after", "--old-files=lines", "copy.ztr"}), "");
  EXPECT_EQ(exit_code_, 0) << errors_;
  EXPECT_EQ(Run({"Quorvel-plan", "invert", "-o", "undo.ztr", "copy.ztr"}), "");
  EXPECT_EQ(exit_code_, 0);
  EXPECT_EQ(errors_,
            "Quorvel-plan: note: \"<dir>/copy.ztr\" makes copies and leaves the originals as they "
            "were: no control file is written, the way back is to remove the copies' files:\n"
            "  \"<dir>/v2/parts/HG-002.CATPart\"\n  \"<dir>/v2/parts/HG-003.CATPart\"\n"
            "  \"<dir>/v2/hinge/HG-001.CATProduct\"\n"
            "Quorvel-plan: note: once these files are removed, these folders hold nothing:\n"
            "  \"<dir>/v2/parts\"\n  \"<dir>/v2/hinge\"\n  \"<dir>/v2\"\n");
  EXPECT_FALSE(fs::exists("undo.ztr"));
}

TEST_F(PlanCommandTest, WriteRefusesLibraryRowsFilledInByHandAndNumbersOffTheScheme) {
  fs::copy(kSourceDir / "examples" / "bracket", ".", fs::copy_options::recursive);
  Run({"Quorvel-plan", "table", "-o", "t.csv", "bracket-asm.CATProduct", "--select-part", "BOLT-*",
       "--number", "FST-{n:04}"});
  ASSERT_EQ(exit_code_, 0) << errors_;
  Run({"Quorvel-plan", "write", "--library", "parts", "--scheme", "FST-[0-9]{3}", "t.csv"});
  EXPECT_EQ(exit_code_, 2);
  EXPECT_EQ(errors_,
            "Quorvel-plan: t.csv: error: \"<dir>/parts/bolt-m8x20.CATPart\" is a library document, "
            "which gets no new part number or file\n"
            "Quorvel-plan: t.csv: error: \"<dir>/parts/bolt-m8x20.CATPart\": the new part number "
            "\"FST-0001\" does not match the scheme \"FST-[0-9]{3}\"\n");
  EXPECT_EQ(Run({"Quorvel-plan", "write", "--library-part", "HINGE-*", "t.csv"}).substr(0, 6),
            "@ROOT\n");
}

// The assembly that must be saved in place so that its links follow is read-only: write
// refuses the table at the control file it would write, and makes no folder for it. Nor for a
// new file named through a folder and back.
TEST_F(PlanCommandTest, WriteRefusesATableWhoseRunWouldGoWrongAndMakesNoFolder) {
  fs::copy(kSourceDir / "examples" / "bracket", ".", fs::copy_options::recursive);
  Run({"Quorvel-plan", "table", "-o", "rename.csv", "bracket-asm.CATProduct", "--select-part",
       "BOLT-*", "--number", "FST-{n:04}", "--folder", "fasteners"});
  ASSERT_EQ(exit_code_, 0) << errors_;
  fs::permissions("bracket-asm.CATProduct", fs::perms::owner_read);
  EXPECT_EQ(Run({"Quorvel-plan", "write", "-o", "bolts.ztr", "rename.csv"}), "");
  EXPECT_EQ(exit_code_, 2);
  EXPECT_NE(errors_.find("bolts.ztr:"), std::string::npos) << errors_;
  EXPECT_NE(errors_.find("\"<dir>/bracket-asm.CATProduct\" is read-only"), std::string::npos)
      << errors_;
  EXPECT_FALSE(fs::exists("bolts.ztr"));
  EXPECT_FALSE(fs::exists("fasteners"));
  fs::permissions("bracket-asm.CATProduct", fs::perms::owner_all);
  // A new file named through a folder and back is where the run saves it: no folder is made.
  WriteFile("up.csv", kHeader + "bracket-asm.CATProduct,BRACKET-ASM-001,,,,,,\n" +
                          "parts/bolt-m8x20.CATPart,BOLT-M8x20,B2,new/a/../../x.CATPart,,,,\n");
  Run({"Quorvel-plan", "write", "-o", "up.ztr", "up.csv"});
  EXPECT_EQ(exit_code_, 0) << errors_;
  EXPECT_FALSE(fs::exists("new"));
}

TEST_F(PlanCommandTest, AnInputThatGoesOnIsRefusedNotReadUntilMemoryRunsOut) {
  if (!fs::exists("/dev/zero") || OnWindows()) GTEST_SKIP() << "no /dev/zero here";
  for (const char* command : {"write", "invert"}) {
    EXPECT_EQ(Run({"Quorvel-plan", command, "/dev/zero"}), "");
    EXPECT_EQ(exit_code_, 3);
    EXPECT_EQ(errors_,
              "Quorvel-plan: cannot read \"/dev/zero\": goes on past 256 MiB, more than any rename "
              "table or "
              "control file holds; not read\n");
  }
}

// An output is written to a temporary file that no one else can have made, and put in place
// whole: a link planted where the output goes, or at the name that a writer that wrote beside
// it before would have used, is replaced, and the file it leads to stays as it was.
TEST_F(PlanCommandTest, AnOutputReplacesALinkAndNeverWritesThroughOne) {
  if (OnWindows()) GTEST_SKIP() << "links need privileges on Windows";
  WriteFile("top.doc",
            "STANDIN-DOCUMENT 1\nproduct\npartnumber TOP\ncomponent A.1\nreference a.doc\n");
  WriteFile("a.doc", "STANDIN-DOCUMENT 1\nproduct\npartnumber A\n");
  WriteFile("t.csv", kHeader + "top.doc,TOP,,,,,,\na.doc,A,A2,,,,,\n");
  WriteFile("precious.txt", "precious\n");
  for (const std::string output : {"x.ztr", "x.xlsx"}) {
    for (const std::string& link : {output + ".quorvel-plan-new", output}) {
      fs::remove(output);
      fs::remove(output + ".quorvel-plan-new");
      fs::create_symlink("precious.txt", link);
      Run({"Quorvel-plan", output == "x.ztr" ? "write" : "table", "-o", output,
           output == "x.ztr" ? "t.csv" : "top.doc"});
      EXPECT_EQ(exit_code_, 0) << errors_;
      EXPECT_EQ(ReadWholeFile("precious.txt"), "precious\n") << link;
      EXPECT_FALSE(fs::is_symlink(output)) << link;
      EXPECT_EQ(ReadWholeFile(output).substr(0, 2), output == "x.ztr" ? "@R" : "PK") << link;
    }
  }
}

// A plan in several control files is written whole or not at all: when one cannot be put in
// place, those put in place before it hold what they held again (a file that was not there is
// removed), and each is named.
#ifndef _WIN32
// A table or control file made where none was gets what the user's file mode mask gives, as an
// editor's file does: in a folder a group shares, the group may edit it too.
TEST_F(PlanCommandTest, ANewOutputHasThePermissionsTheUsersMaskGives) {
  WriteFile("top.doc", "STANDIN-DOCUMENT 1\nproduct\npartnumber TOP\n");
  const mode_t before = umask(002);
  Run({"Quorvel-plan", "table", "-o", "shared.csv", "top.doc"});
  umask(077);
  Run({"Quorvel-plan", "table", "-o", "private.csv", "top.doc"});
  umask(before);
  EXPECT_EQ(std::filesystem::status("shared.csv").permissions(),
            static_cast<std::filesystem::perms>(0664));
  EXPECT_EQ(std::filesystem::status("private.csv").permissions(),
            static_cast<std::filesystem::perms>(0600));
}
#endif

TEST_F(PlanCommandTest, SeveralControlFilesAreAllWrittenOrNone) {
  std::string top = "STANDIN-DOCUMENT 1\nproduct\npartnumber TOP\n",
              table = kHeader + "top.doc,TOP,,,,,,\n";
  for (const std::string name : {"a", "b", "c", "d", "e", "f"}) {
    WriteFile(name + ".doc", "STANDIN-DOCUMENT 1\nproduct\npartnumber " + name + "\n");
    top += "component " + name + ".1\nreference " + name + ".doc\n";
    table += name + ".doc," + name + ",NEW-" + name + ",,,,,\n";
  }
  WriteFile("top.doc", top);
  WriteFile("t.csv", table);
  WriteFile("x-1.ztr", "old\n");
  FaultyFiles faulty(Disk());
  faulty.Fail(FaultyFiles::Operation::kCommit, "x-3.ztr");
  Run({"Quorvel-plan", "write", "-o", "x.ztr", "t.csv"}, faulty, 6);
  EXPECT_EQ(exit_code_, 3);
  EXPECT_EQ(ReadWholeFile("x-1.ztr"), "old\n");
  EXPECT_FALSE(fs::exists("x-2.ztr"));
  EXPECT_FALSE(fs::exists("x-3.ztr"));
  EXPECT_EQ(errors_,
            "Quorvel-plan: cannot write \"<dir>/x-3.ztr\": it could not be put in place\n"
            "Quorvel-plan: \"<dir>/x-2.ztr\" is removed again\n"
            "Quorvel-plan: \"<dir>/x-1.ztr\" is put back as it was\n");
  // A second writer of the same names: the one that finds a target written meanwhile puts
  // none of its own files in place, so that no set mixes the files of two.
  FaultyFiles racing(Disk());
  racing.WriteMeanwhile("x-2.ztr", "theirs\n");
  Run({"Quorvel-plan", "write", "-o", "x.ztr", "t.csv"}, racing, 6);
  EXPECT_EQ(exit_code_, 3);
  EXPECT_EQ(errors_,
            "Quorvel-plan: error: \"<dir>/x-2.ztr\" was written by another program meanwhile; "
            "nothing written\n"
            "Quorvel-plan: \"<dir>/x-1.ztr\" is put back as it was\n");
  EXPECT_EQ(ReadWholeFile("x-1.ztr"), "old\n");
  EXPECT_EQ(ReadWholeFile("x-2.ztr"), "theirs\n");
  EXPECT_FALSE(fs::exists("x-3.ztr"));
  // Written, the parts come in their order from a glob, x.ztr itself not among them.
  Run({"Quorvel-plan", "write", "-o", "x.ztr", "t.csv"}, Disk(), 6);
  EXPECT_EQ(exit_code_, 0) << errors_;
  std::vector<std::string> parts;
  for (const auto& entry : fs::directory_iterator(".")) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("x", 0) == 0 && name.size() > 4 && name.substr(name.size() - 4) == ".ztr") {
      parts.push_back(name);
    }
  }
  std::sort(parts.begin(), parts.end());
  EXPECT_EQ(parts, (std::vector<std::string>{"x-1.ztr", "x-2.ztr", "x-3.ztr"})) << errors_;
}

}  // namespace
