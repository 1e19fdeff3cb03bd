// The tool as users run it: the built executable in a scratch folder, its console, its log
// and its exit code.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "standin_process.h"
#include "system/system.h"
#include "testing/test_support.h"

namespace {

using Outcome = CommandOutcome;

class RunTest : public ::testing::Test {
 protected:
  // Runs `Quorvel ARGS` in the folder work/ with the given environment assignments.
  Outcome Run(const std::vector<std::string>& args, std::vector<std::string> env = {}) {
    env.insert(env.begin(), {"ZTR_TRACE_LEVEL", "QUORVEL_STANDIN_FAIL"});
    const int exit_code =
        StandinRunProcess(kQuorvelBinary, args, work_, env, dir_.File("out"), dir_.File("err"));
    return {exit_code, ReadTextFile(dir_.File("out")), ReadTextFile(dir_.File("err"))};
  }
  std::string Work(const std::string& name) const { return work_ + "/" + name; }
  // Runs the example in examples/`folder` and checks that it saved as `saves` lists, with the
  // references and part numbers that the renames give.
  void RunExample(const char* folder, const std::string& saves) {
    std::filesystem::copy(kSourceDir / "examples" / folder, work_,
                          std::filesystem::copy_options::recursive);
    Outcome outcome = Run({"rename.ztr"});
    EXPECT_EQ(outcome.exit_code, 0);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, "");
    const std::string log = ReadTextFile(Work("rename.ztr.log"));
    EXPECT_EQ(log.substr(0, 18), "Loading documents\n");
    EXPECT_NE(log.find("Saving files\n" + saves + "All files saved successfully.\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("Failed"), std::string::npos);
    EXPECT_NE(ReadWholeFile(Work("hinge/hinge-sub.CATProduct"))
                  .find("component HingePin.1\nreference ../parts/hinge-pin-b.CATPart\n"),
              std::string::npos);
    EXPECT_EQ(ReadWholeFile(Work("parts/bolt-m8x25.CATPart")),
              "STANDIN-DOCUMENT 1\nproduct\npartnumber BOLT-M8x25\n");
  }
  bool WorkIsEmpty() const { return std::filesystem::is_empty(work_); }

  void SetUp() override { std::filesystem::create_directory(work_); }

  ScratchDir dir_;
  std::string work_ = dir_.File("work");
};

const char kControl[] =
    "@ROOT\n{PARENT_OBJECTS}{P1}\n{INSTANCE_OBJECTS}{N1}\n"
    "@P1\n{PARTNUMBER}ASM\n{EXTERNAL_LOCATION}asm.doc\n"
    "@N1\n{PARENT_PARTNUMBER}ASM\n{INSTANCENAME}Bolt.1\n";

const char kControlTrace[] =
    "ZTRObject: ID not found in file\n"
    "ZTRObject:\nID:[ROOT]\nPARENT_OBJECTS->\nP1\nINSTANCE_OBJECTS->\nN1\n"
    "ZTRObject:\nID:[P1]\nPARTNUMBER:[ASM]\nEXTERNAL_LOCATION:[asm.doc]\n"
    "ZTRObject:\nID:[N1]\nPARENT_PARTNUMBER:[ASM]\nINSTANCENAME:[Bolt.1]\n";

const char kPlanTrace[] =
    "\nDumping Document Manager\nZTRDocuments\n"
    "\nZTRDocument\nPartNumber: ASM\nExternalLocation: asm.doc\n"
    "\nZTRChangeableDocuments\n\nZTRDocumentInstances\n"
    "\nZTRDocumentInstance\nParentPartNumber: ASM\nInstancename: Bolt.1\n"
    "NewInstancename: Bolt.1\n";

// Without a control file's name, no log; with an empty one, the log is ".log".
TEST_F(RunTest, MissingOrEmptyArgumentShowsUsage) {
  const std::string usage = "Usage: " + kQuorvelBinary + " control_file\n";
  Outcome quiet = Run({});
  EXPECT_EQ(quiet.exit_code, 2);
  EXPECT_EQ(quiet.out, usage);
  Outcome traced = Run({}, {"ZTR_TRACE_LEVEL=1"});
  EXPECT_EQ(traced.exit_code, 2);
  EXPECT_EQ(traced.out, usage + "Quorvel failed\n");
  EXPECT_TRUE(WorkIsEmpty());
  WriteFile(Work(".log"), "old run\n");
  Outcome empty = Run({"", "ignored"});
  EXPECT_EQ(empty.exit_code, 3);
  EXPECT_EQ(empty.out, usage);
  EXPECT_EQ(ReadTextFile(Work(".log")), "Quorvel failed\n");
}

TEST_F(RunTest, ControlFileThatCannotBeOpened) {
  Outcome missing = Run({"missing.ztr"}, {"ZTR_TRACE_LEVEL=2"});
  EXPECT_EQ(missing.exit_code, 4);
  EXPECT_EQ(missing.out,
            "ZTRObjectManager: Could not open file missing.ztr\nZTR control_file not found\n"
            "Quorvel failed\n");
  EXPECT_EQ(ReadTextFile(Work("missing.ztr.log")), "Quorvel failed\n");
  std::filesystem::create_directory(Work("folder"));
  Outcome folder = Run({"folder"});
  EXPECT_EQ(folder.exit_code, 4);
  EXPECT_EQ(folder.out, "");
  EXPECT_EQ(ReadTextFile(Work("folder.log")), "Quorvel failed\n");
}

TEST_F(RunTest, ReadableControlFileRunsTheSessionAndExitsZero) {
  WriteFile(Work("c.ztr"), kControl);
  WriteFile(Work("c.ztr.log"), "lines of an earlier run\n");
  Outcome traced = Run({"c.ztr", "extra", "arguments"}, {"ZTR_TRACE_LEVEL=1"});
  EXPECT_EQ(traced.exit_code, 0);
  EXPECT_EQ(traced.out.substr(0, std::string(kControlTrace).size()), kControlTrace);
  EXPECT_NE(traced.out.find(std::string("Create_Session OK\n") + kPlanTrace), std::string::npos);
  EXPECT_EQ(traced.out.substr(traced.out.size() - 18), "Delete_Session OK\n");
  EXPECT_EQ(traced.err, "");
  EXPECT_EQ(ReadTextFile(Work("c.ztr.log")).find("earlier"), std::string::npos);
  EXPECT_EQ(ReadTextFile(Work("c.ztr.log")).find("Quorvel failed"), std::string::npos);

  Outcome quiet = Run({"c.ztr"}, {"ZTR_TRACE_LEVEL=0"});
  EXPECT_EQ(quiet.exit_code, 0);
  EXPECT_EQ(quiet.out, "");
  EXPECT_EQ(quiet.err, "");
}

TEST_F(RunTest, SessionFailures) {
  WriteFile(Work("c.ztr"), kControl);
  Outcome create = Run({"c.ztr"}, {"ZTR_TRACE_LEVEL=1", "QUORVEL_STANDIN_FAIL=Create_Session"});
  EXPECT_EQ(create.exit_code, 7);
  EXPECT_EQ(create.out, std::string(kControlTrace) + "ERROR in creating session\nQuorvel failed\n");
  EXPECT_EQ(ReadTextFile(Work("c.ztr.log")), "Quorvel failed\n");

  Outcome remove =
      Run({"c.ztr"}, {"ZTR_TRACE_LEVEL=1", "QUORVEL_STANDIN_FAIL=GiveDocRoots,Delete_Session"});
  EXPECT_EQ(remove.exit_code, 6);
  const std::string tail = "ERROR in deleting session\nQuorvel failed\n";
  EXPECT_EQ(remove.out.substr(remove.out.size() - tail.size()), tail);
  const std::string log = ReadTextFile(Work("c.ztr.log"));
  EXPECT_EQ(log.substr(log.size() - 15), "Quorvel failed\n");
  // Loading stopped, so nothing was processed.
  EXPECT_EQ(log.find("Setting new instance names"), std::string::npos) << log;
  EXPECT_EQ(log.find("Saving files"), std::string::npos) << log;
  // The session, left with its document open, ends with the process, its hold released.
  WriteFile(Work("asm.doc"), "STANDIN-DOCUMENT 1\nproduct\npartnumber ASM\ncomponent Bolt.1\n");
  EXPECT_EQ(Run({"c.ztr"}, {"QUORVEL_STANDIN_FAIL=Delete_Session"}).exit_code, 6);
  EXPECT_FALSE(std::filesystem::exists(Work(".quorvel-hold-asm.doc")));
}

TEST_F(RunTest, RenamesTheShippedExample) {
  RunExample("bracket",
             "Document parts/bolt-m8x20.CATPart saved as parts/bolt-m8x25.CATPart\n"
             "Document parts/hinge-pin.CATPart saved as parts/hinge-pin-b.CATPart\n"
             "Document bracket-asm.CATProduct saved as bracket-asm.CATProduct\n"
             "Document hinge/hinge-sub.CATProduct saved as hinge/hinge-sub.CATProduct\n");
}

// The example as a Windows editor writes it: line ends CRLF, folders separated by
// backslashes, and some names in another letter case than their files.
TEST_F(RunTest, RenamesTheWindowsExample) {
  if (!OnWindows()) {
    GTEST_SKIP() << "backslash paths, and names in another letter case, name the example's "
                    "files on Windows only";
  }
  RunExample("bracket-windows",
             "Document PARTS\\BOLT-M8X20.CATPART saved as parts\\bolt-m8x25.CATPart\n"
             "Document parts\\hinge-pin.CATPart saved as parts\\hinge-pin-b.CATPart\n"
             "Document bracket-asm.CATProduct saved as bracket-asm.CATProduct\n"
             "Document Hinge\\Hinge-Sub.CATProduct saved as Hinge\\Hinge-Sub.CATProduct\n");
  // One document for each file, whatever the spelling: every bolt refers to the one new file.
  const std::string assembly = ReadWholeFile(Work("bracket-asm.CATProduct"));
  EXPECT_NE(assembly.find("component M8x25.4\nreference parts/bolt-m8x25.CATPart\n"),
            std::string::npos)
      << assembly;
  EXPECT_EQ(assembly.find("bolt-m8x20"), std::string::npos);
}

TEST_F(RunTest, LogThatCannotBeOpenedChangesNothingElse) {
  WriteFile(Work("c.ztr"), kControl);
  std::filesystem::create_directory(Work("c.ztr.log"));
  Outcome outcome = Run({"c.ztr"}, {"QUORVEL_STANDIN_FAIL=Delete_Session"});
  EXPECT_EQ(outcome.exit_code, 6);
  EXPECT_EQ(outcome.out, "");
  EXPECT_TRUE(std::filesystem::is_directory(Work("c.ztr.log")));
}

}  // namespace
