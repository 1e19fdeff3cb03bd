// The way back from a control file: a part number changed alone, and instances under a
// document whose part number changed, are given back too; after a run that partly failed,
// what it did and nothing else: new files that nothing uses are removed, not saved back.
#include "planner/plan_inversion.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "check/control_file_check.h"
#include "planner/control_file_writer.h"
#include "standin_process.h"
#include "testing/test_support.h"

namespace {

class PlanInversionTest : public ::testing::Test {
 protected:
  InScratchDir here_;
  const ScratchDir& dir_ = here_.dir();
};

TEST_F(PlanInversionTest, PartNumbersChangedAloneAndInstancesUnderChangedParentsComeBack) {
  // The documents as the run left them.
  WriteFile("asm.doc",
            "STANDIN-DOCUMENT 1\nproduct\npartnumber ASM\ncomponent S.1\n"
            "reference sub.doc\n");
  WriteFile("sub.doc", "STANDIN-DOCUMENT 1\nproduct\npartnumber SUB-2\ncomponent M8.1\n");
  WriteFile("c.ztr",
            "@ROOT\n{PARENT_OBJECTS}{A}\n{CHILD_OBJECTS}{K}\n{INSTANCE_OBJECTS}{N}{M}\n"
            "@A\n{PARTNUMBER}ASM\n{EXTERNAL_LOCATION}asm.doc\n"
            "@K\n{PARTNUMBER}SUB\n{EXTERNAL_LOCATION}sub.doc\n{NEW_PARTNUMBER}SUB-2\n"
            "@N\n{PARENT_PARTNUMBER}SUB\n{INSTANCENAME}Bolt.1\n{NEW_INSTANCENAME}M8.1\n"
            "@M\n{PARENT_PARTNUMBER}ASM\n{INSTANCENAME}Sub.1\n{NEW_INSTANCENAME}S.1\n");
  RenamePlan undo;
  WayBackFiles left;
  Report report;
  ASSERT_EQ(InvertControlFile(Disk(), "c.ztr", &undo, &left, &report), 0);
  EXPECT_EQ(report.ExitCode(), 0);
  ASSERT_EQ(undo.changes.size(), 1u);
  const PlanDocument& sub = undo.documents[static_cast<size_t>(undo.changes[0])];
  EXPECT_EQ(sub.part_number, "SUB-2");
  EXPECT_EQ(sub.new_part_number, "SUB");
  EXPECT_TRUE(left.left_on_disk.empty());  // the file stayed where it was
  ASSERT_EQ(undo.instances.size(), 2u);
  EXPECT_EQ(undo.instances[0].name, "M8.1");
  EXPECT_EQ(undo.instances[0].new_name, "Bolt.1");
  EXPECT_EQ(undo.documents[static_cast<size_t>(undo.instances[0].parent)].id, "K");
  EXPECT_EQ(undo.documents[static_cast<size_t>(undo.instances[1].parent)].id, "A");
}

TEST_F(PlanInversionTest, AfterARunThatPartlyFailedUndoesWhatItDidAndSaysWhatItLeavesOut) {
  std::filesystem::copy(kSourceDir / "examples" / "bracket", ".",
                        std::filesystem::copy_options::recursive);
  ASSERT_EQ(StandinRunProcess(kQuorvelBinary, {"rename.ztr"}, ".",
                              {"ZTR_TRACE_LEVEL", "QUORVEL_STANDIN_FAIL=SaveAs=" +
                                                      dir_.File("parts/bolt-m8x25.CATPart")},
                              "", ""),
            0);
  ASSERT_NE(ReadWholeFile("rename.ztr.log").find("Failed to save document"), std::string::npos);
  RenamePlan undo;
  WayBackFiles left;
  Report report;
  ASSERT_EQ(InvertControlFile(Disk(), "rename.ztr", &undo, &left, &report), 0);
  std::ostringstream said;
  report.Print("rename.ztr", said);
  EXPECT_EQ(said.str(),
            "rename.ztr:18: warning: document \"BOLT\" is left out of the way back: \"" +
                dir_.File("parts/bolt-m8x25.CATPart") +
                "\" holds no document: the run did not save it there\n0 errors, 1 warning\n");
  EXPECT_EQ(left.left_on_disk, std::vector<std::string>{"parts/hinge-pin-b.CATPart"});
  // The bolts' instances were renamed in the assembly saved in place: they come back. (The
  // campaign tests run such a way back and find the structure as it was.)
  EXPECT_EQ(undo.instances.size(), 5u);
}

// Every file under the working folder but control files and logs, with its bytes.
std::map<std::string, std::string> Files() {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(".")) {
    const std::string path = entry.path().generic_string();
    if (path.find(".ztr") == std::string::npos) files[path] = ReadWholeFile(path);
  }
  return files;
}

std::string Document(const std::string& part, const std::string& components) {
  return "STANDIN-DOCUMENT 1\nproduct\npartnumber " + part + "\n" + components;
}

// The assembly saved in place is read-only, and so keeps referring to the old files of its
// sub-assembly and bolt, both saved under new files (the sub-assembly referring to the new
// files of its pin and nut), and keeps the old names of its four instances. Quorvel-check
// --after says so once, at its line; the way back removes the new files that nothing uses,
// saves back the nut that the side plate (saved) refers to, and passes Quorvel-check --open;
// with the files it lists removed, the disk is as before.
TEST_F(PlanInversionTest, AParentThatWasNotSavedIsOneErrorAndItsChildrensNewFilesAreRemoved) {
  auto component = [](const std::string& name, const std::string& file) {
    return "component " + name + "\nreference " + file + "\n";
  };
  WriteFile("top.doc",
            Document("TOP", component("S.1", "sub.doc") + component("S.2", "sub.doc") +
                                component("Bolt.1", "bolt.doc") + component("Bolt.2", "bolt.doc") +
                                component("Side.1", "side.doc")));
  WriteFile("sub.doc", Document("SUB", component("P.1", "pin.doc") + component("N.1", "nut.doc")));
  WriteFile("side.doc", Document("SIDE", component("N.1", "nut.doc")));
  const std::vector<std::array<std::string, 2>> moved = {
      {"PIN", "pin"}, {"NUT", "nut"}, {"BOLT", "bolt"}, {"SUB", "sub"}};  // children first
  for (size_t i = 0; i < 3; ++i) WriteFile(moved[i][1] + ".doc", Document(moved[i][0], ""));
  const std::map<std::string, std::string> before = Files();
  std::filesystem::create_directory("new");
  std::string control =
      "@ROOT\n{PARENT_OBJECTS}{TOP}{SIDE}\n{CHILD_OBJECTS}{PIN}{NUT}{BOLT}{SUB}\n"
      "{INSTANCE_OBJECTS}{S1}{S2}{B1}{B2}{P1}{N1}\n"
      "@TOP\n{PARTNUMBER}TOP\n{EXTERNAL_LOCATION}top.doc\n"
      "@SIDE\n{PARTNUMBER}SIDE\n{EXTERNAL_LOCATION}side.doc\n";
  for (const auto& [part, file] : moved) {
    control += "@" + part + "\n{PARTNUMBER}" + part + "\n{EXTERNAL_LOCATION}" + file +
               ".doc\n{NEW_PARTNUMBER}" + part + "-2\n{NEW_EXTERNAL_LOCATION}new/" + file +
               ".doc\n";
  }
  for (const auto& [id, parent, name, new_name] :
       std::vector<std::array<std::string, 4>>{{"S1", "TOP", "S.1", "SUB-2.1"},
                                               {"S2", "TOP", "S.2", "SUB-2.2"},
                                               {"B1", "TOP", "Bolt.1", "BOLT-2.1"},
                                               {"B2", "TOP", "Bolt.2", "BOLT-2.2"},
                                               {"P1", "SUB", "P.1", "PIN-2.1"},
                                               {"N1", "SIDE", "N.1", "NUT-2.1"}}) {
    control += "@" + id + "\n{PARENT_PARTNUMBER}" + parent + "\n{INSTANCENAME}" + name +
               "\n{NEW_INSTANCENAME}" + new_name + "\n";
  }
  WriteFile("c.ztr", control);
  std::filesystem::permissions("top.doc", std::filesystem::perms::owner_read);
  StandinRunProcess(kQuorvelBinary, {"c.ztr"}, ".", {"ZTR_TRACE_LEVEL"}, "", "");
  ASSERT_NE(ReadWholeFile("c.ztr.log").find("Failed to save document"), std::string::npos);

  const CommandOutcome after =
      RunCommand(RunControlFileCheck, "Quorvel-check", {"--after", "c.ztr"});
  EXPECT_EQ(dir_.Scrub(after.out),
            "c.ztr:5: error: document \"TOP\" was not saved to \"<dir>/top.doc\": none of its "
            "changes are there; lost with it: the new names of instances \"S1\" (line 31), "
            "\"S2\" (line 35), \"B1\" (line 39), \"B2\" (line 43); the new files of \"SUB\" "
            "(line 26), \"BOLT\" (line 21) for its components \"S.1\" (and 3 more)\n"
            "1 error, 0 warnings\n");

  RenamePlan undo;
  WayBackFiles way_back;
  Report report;
  ASSERT_EQ(InvertControlFile(Disk(), "c.ztr", &undo, &way_back, &report), 0);
  EXPECT_EQ(way_back.to_remove,
            (std::vector<std::string>{"new/pin.doc", "new/bolt.doc", "new/sub.doc"}));
  EXPECT_EQ(way_back.left_on_disk, std::vector<std::string>{"new/nut.doc"});
  EXPECT_EQ(way_back.folders_left_empty, std::vector<std::string>{dir_.File("new")});
  std::vector<std::string> undo_files;
  std::string error;
  ASSERT_TRUE(WriteControlFiles(undo, &undo_files, &error));
  ASSERT_EQ(undo_files.size(), 1u);
  WriteFile("undo.ztr", undo_files[0]);
  const CommandOutcome open =
      RunCommand(RunControlFileCheck, "Quorvel-check", {"--open", "undo.ztr"});
  EXPECT_EQ(open.out, "0 errors, 0 warnings\n") << undo_files[0];
  ASSERT_EQ(StandinRunProcess(kQuorvelBinary, {"undo.ztr"}, ".", {"ZTR_TRACE_LEVEL"}, "", ""), 0);
  // The new files the way back removes go first: until then new/sub.doc still uses new/nut.doc.
  for (const std::string& file : way_back.to_remove) std::filesystem::remove(file);
  const CommandOutcome old_files = RunCommand(RunControlFileCheck, "Quorvel-check",
                                              {"--after", "--old-files=lines", "undo.ztr"});
  EXPECT_EQ(old_files.out, dir_.File("new/nut.doc") + "\n") << old_files.err;
  std::error_code ignored;
  std::filesystem::remove("new/nut.doc", ignored);
  std::filesystem::remove("new", ignored);
  std::filesystem::permissions("top.doc", std::filesystem::perms::owner_all);
  EXPECT_EQ(Files(), before);
}

}  // namespace
