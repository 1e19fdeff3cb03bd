// Campaigns as users run them, each on a generated structure with a frame shared by two groups,
// standard parts from a library folder and read-only purchased parts: the table with rules,
// write, Quorvel-check --open, the run, Quorvel-check --after, and the structure afterwards is
// the table with its new columns in place of the old, nothing else changed.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "bench/structure_generator.h"
#include "check/control_file_check.h"
#include "planner/plan_command.h"
#include "standin_process.h"
#include "system/paths.h"
#include "testing/test_support.h"
#include "tree/tree_command.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> fields;
  std::istringstream in(text);
  for (std::string field; std::getline(in, field, separator);) fields.push_back(field);
  if (!text.empty() && text.back() == separator) fields.push_back("");
  return fields;
}

// The plain structure table that a table with filled-in new columns asks for: each document
// with its new part number and file, each instance with its new name, under its parent's new
// part number and of its document's new file. (The generated names need no CSV quoting.)
std::string AskedFor(const std::string& table) {
  std::vector<std::vector<std::string>> rows;
  std::map<std::string, std::string> part_numbers, files;
  for (std::string line : Split(table, '\n')) {
    if (line.empty()) continue;
    if (line.back() == '\r') line.pop_back();
    rows.push_back(Split(line, ','));
    const std::vector<std::string>& row = rows.back();
    if (rows.size() > 1 && !row[0].empty()) {
      part_numbers[row[1]] = row[2].empty() ? row[1] : row[2];
      files[row[0]] = row[3].empty() ? row[0] : row[3];
    }
  }
  std::string asked;
  for (size_t i = 0; i < rows.size(); ++i) {
    std::vector<std::string> row = rows[i];
    if (i > 0 && !row[0].empty()) {
      row = {files[row[0]], part_numbers[row[1]], "", "", "", "", "", ""};
    } else if (i > 0) {
      row = {"", "",           "", "", part_numbers[row[4]], row[6].empty() ? row[5] : row[6],
             "", files[row[7]]};
    }
    for (size_t c = 0; c < row.size(); ++c) asked += (c ? "," : "") + row[c];
    asked += "\r\n";
  }
  return asked;
}

class CampaignTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(GenerateCampaign(24, ".")); }
  // The purchased parts writable again, so that Windows removes the scratch folder too.
  void TearDown() override {
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator("buy", ignored)) {
      fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ignored);
    }
  }

  // Runs Quorvel-plan, or the companion named first, in the scratch folder: its standard
  // output; sets `exit_code_` and `errors_`.
  std::string Run(const std::vector<std::string>& args) {
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    const auto plan = [this](int argc, char* argv[], std::ostream& out, std::ostream& err,
                             FileSystem& files) {
      return RunPlanCommandWithListLimit(list_limit_, argc, argv, out, err, files);
    };
    const CommandOutcome outcome =
        args[0] == "Quorvel-check"  ? RunCommand(RunControlFileCheck, args[0].c_str(), rest)
        : args[0] == "Quorvel-tree" ? RunCommand(RunTreeCommand, args[0].c_str(), rest)
                                    : RunCommand(plan, args[0].c_str(), rest);
    exit_code_ = outcome.exit_code;
    errors_ = outcome.err;
    return outcome.out;
  }
  std::string Structure(const std::string& root = "top.CATProduct") {
    return Run({"Quorvel-plan", "table", root});
  }
  // The table for `rules` on the top assembly, as job.csv; empty when none was written.
  std::string Table(std::vector<std::string> rules) {
    rules.insert(rules.begin(), {"Quorvel-plan", "table", "-o", "job.csv", "top.CATProduct"});
    Run(rules);
    return exit_code_ <= 1 ? ReadWholeFile("job.csv") : "";
  }
  // write `options` job.csv to job.ztr, which Quorvel-check --open finds clean, and the run.
  // With a control file other than job.ztr, no write: the check and the run of that one; with
  // `fail`, the save to that file fails.
  void WriteCheckAndRun(std::vector<std::string> options, const std::string& control = "job.ztr",
                        const std::string& fail = "") {
    if (control == "job.ztr") {
      options.insert(options.begin(), {"Quorvel-plan", "write", "-o", control});
      options.push_back("job.csv");
      Run(options);
      ASSERT_EQ(exit_code_, 0) << errors_;
    }
    const std::string open = Run({"Quorvel-check", "--open", control});
    EXPECT_EQ(exit_code_, 0) << open;
    EXPECT_EQ(open.find("error:"), std::string::npos) << open;
    std::vector<std::string> environment = {"ZTR_TRACE_LEVEL"};
    if (!fail.empty()) environment.push_back("QUORVEL_STANDIN_FAIL=SaveAs=" + dir_.File(fail));
    ASSERT_EQ(StandinRunProcess(kQuorvelBinary, {control}, ".", environment, "", ""), 0);
    EXPECT_EQ(ReadWholeFile(control + ".log").find("ailed") == std::string::npos, fail.empty())
        << ReadWholeFile(control + ".log");
  }
  // Quorvel-check --after finds the run complete, the structure under `root` is what `table`
  // asked for and Quorvel-tree shows each new part number and no old one it replaced.
  void ExpectDone(const std::string& table, const std::string& root = "top.CATProduct",
                  const std::string& control = "job.ztr") {
    EXPECT_EQ(Run({"Quorvel-check", "--after", control}), "0 errors, 0 warnings\n");
    EXPECT_EQ(exit_code_, 0) << errors_;
    EXPECT_EQ(Structure(root), AskedFor(table));
    const std::string tree = Run({"Quorvel-tree", root});
    EXPECT_EQ(exit_code_, 0) << errors_;
    for (std::string line : Split(table, '\n')) {
      const std::vector<std::string> row = Split(line, ',');
      if (row.size() < 3 || row[0].empty() || row[0] == "file" || row[2].empty()) continue;
      EXPECT_NE(tree.find("[" + row[2] + "]"), std::string::npos) << row[2] << "\n" << tree;
      EXPECT_EQ(tree.find("[" + row[1] + "]"), std::string::npos) << row[1] << "\n" << tree;
    }
  }

  const std::vector<std::string> rebrand_ = {
      "--library", "lib",       "--library", "buy",    "--select-branch", "asm/group 0.CATProduct",
      "--number",  "RB-{n:03}", "--folder",  "rebrand"};
  InScratchDir here_;
  const ScratchDir& dir_ = here_.dir();
  int exit_code_ = -1;
  std::string errors_;
  size_t list_limit_ = kListLimit;  // of the control files Quorvel-plan writes
};

// The group's branch renumbered into a folder of its own: the frame it shares with group 1
// follows (group 1 is saved to refer to the frame's new file), library and purchased parts
// keep their numbers and files.
TEST_F(CampaignTest, RebrandABranch) {
  const std::string table = Table(rebrand_);
  ASSERT_FALSE(table.empty()) << errors_;
  EXPECT_NE(table.find("asm/shared frame 0.CATProduct,FRM-0,RB-002,rebrand/asm/RB-002.CATProduct"),
            std::string::npos)
      << table;
  EXPECT_NE(table.find("\nlib/screw m4.CATPart,STD-M4,,,"), std::string::npos) << table;
  WriteCheckAndRun({"--library", "lib", "--library", "buy"});
  ExpectDone(table);
}

// A copy of the branch: every original file byte for byte as it was, the copy's own tree under
// the new names.
TEST_F(CampaignTest, CopyABranch) {
  std::map<std::string, std::string> originals;
  for (const auto& entry : fs::recursive_directory_iterator(".")) {
    if (entry.is_regular_file())
      originals[entry.path().string()] = ReadWholeFile(entry.path().string());
  }
  // The same rules with the branch as the root of the table give the names the copy asks for.
  std::vector<std::string> rules = rebrand_;
  rules.insert(rules.begin(),
               {"Quorvel-plan", "table", "-o", "branch.csv", "asm/group 0.CATProduct"});
  Run(rules);
  ASSERT_EQ(exit_code_, 0) << errors_;
  ASSERT_FALSE(Table(rebrand_).empty()) << errors_;
  WriteCheckAndRun({"--copy"});
  for (const auto& [file, bytes] : originals) EXPECT_EQ(ReadWholeFile(file), bytes) << file;
  ExpectDone(ReadWholeFile("branch.csv"), "rebrand/asm/RB-001.CATProduct");
}

// A scheme refuses a number off it (a letter O for a zero) and takes the right one.
TEST_F(CampaignTest, RenumberWithAScheme) {
  EXPECT_EQ(Table({"--library", "lib", "--library", "buy", "--select-part", "PRT-*", "--on", "part",
                   "--number", "P-O{n:04}", "--scheme", "P-[0-9]{5}"}),
            "");
  EXPECT_EQ(exit_code_, 2);
  EXPECT_NE(errors_.find("\"P-O0001\" does not match the scheme"), std::string::npos) << errors_;
  const std::string table =
      Table({"--library", "lib", "--library", "buy", "--select-part", "PRT-*", "--on", "part",
             "--number", "P-{n:05}", "--scheme", "P-[0-9]{5}"});
  ASSERT_FALSE(table.empty()) << errors_;
  WriteCheckAndRun({"--scheme", "P-[0-9]{5}"});
  ExpectDone(table);
}

// A run whose save of one new file fails (the frame's parent saved all the same), then its
// inversion, which leaves out what the run did not do: the structure is as it was.
TEST_F(CampaignTest, UndoAfterAPartialFailure) {
  const std::string before = Structure();
  ASSERT_FALSE(Table(rebrand_).empty()) << errors_;
  WriteCheckAndRun({}, "job.ztr", "rebrand/parts/RB-003.CATPart");
  EXPECT_NE(Structure(), before);
  Run({"Quorvel-plan", "invert", "-o", "undo.ztr", "job.ztr"});
  ASSERT_EQ(exit_code_, 0) << errors_;
  WriteCheckAndRun({}, "undo.ztr");
  ExpectDone(before, "top.CATProduct", "undo.ztr");  // a table without new names
}

// A rule that would renumber a read-only purchased part in place: table warns and write
// refuses, since the run could not save it.
TEST_F(CampaignTest, AReadOnlyPurchasedPartARuleWouldRenumber) {
  EXPECT_NE(Table({"--library", "lib", "--select-branch", "asm/group 1.CATProduct", "--on", "part",
                   "--suffix", "-B"}),
            "");
  EXPECT_EQ(exit_code_, 1);
  Run({"Quorvel-plan", "write", "-o", "job.ztr", "job.csv"});
  EXPECT_EQ(exit_code_, 2);
  EXPECT_NE(errors_.find(dir_.File("buy/motor 1.CATPart") + "\" is read-only"), std::string::npos)
      << errors_;
  EXPECT_FALSE(fs::exists("job.ztr"));
}

// A plan that takes several control files (ROOT lists of 40 bytes here, 65,535 in use), later
// ones renaming instances in documents that earlier ones save under new files: the commands
// write prints check the files as one plan and run them in order; Quorvel-tree previews them
// as one, each new part number where it will be.
TEST_F(CampaignTest, APlanInSeveralFiles) {
  std::vector<std::string> rules = rebrand_;
  rules.push_back("--instances-follow=*");
  const std::string table = Table(rules);
  ASSERT_FALSE(table.empty()) << errors_;
  list_limit_ = 40;
  Run({"Quorvel-plan", "write", "-o", "job.ztr", "job.csv"});
  ASSERT_EQ(exit_code_, 0) << errors_;
  std::vector<std::vector<std::string>> commands;  // each line of errors_ that is a command
  for (const std::string& line : Split(errors_, '\n')) {
    std::vector<std::string> words = Split(line, '"');
    if (words.size() < 2 || (words[0] != "Quorvel " && words[0] != "Quorvel-check --open ")) {
      continue;
    }
    commands.push_back({words[0] == "Quorvel " ? "Quorvel" : "Quorvel-check"});
    for (size_t i = 1; i < words.size(); i += 2) commands.back().push_back(words[i]);
  }
  ASSERT_GE(commands.size(), 3u) << errors_;
  const std::vector<std::string> controls(commands[0].begin() + 1, commands[0].end());
  std::vector<std::string> preview = {"Quorvel-tree"};
  for (const std::string& control : controls) preview.insert(preview.end(), {"--plan", control});
  preview.push_back("top.CATProduct");
  const std::string shown = Run(preview);
  EXPECT_EQ(exit_code_, 0) << shown << errors_;
  for (const std::string& line : Split(table, '\n')) {
    const std::vector<std::string> row = Split(line, ',');
    if (row.size() < 3 || row[0].empty() || row[0] == "file" || row[2].empty()) continue;
    EXPECT_NE(shown.find(row[1] + " -> " + row[2]), std::string::npos) << row[2] << "\n" << shown;
  }
  commands[0].insert(commands[0].begin() + 1, "--open");
  EXPECT_EQ(Run(commands[0]), "0 errors, 0 warnings\n");
  for (size_t i = 1; i < commands.size(); ++i) {
    ASSERT_EQ(commands[i].size(), 2u);
    EXPECT_EQ(StandinRunProcess(kQuorvelBinary, {commands[i][1]}, ".", {"ZTR_TRACE_LEVEL"}, "", ""),
              0);
  }
  std::vector<std::string> after = {"Quorvel-check", "--after"};
  after.insert(after.end(), controls.begin(), controls.end());
  EXPECT_EQ(Run(after), "0 errors, 0 warnings\n") << errors_;
  ExpectDone(table, "top.CATProduct", controls.back());
}

// After a run proven by --after, the old files that no document refers to any more are those
// of the documents saved under new files, the library's none; without them the structure is as
// asked. Its undo brings them back, and the same table, written again with --redo, runs over
// the new files the first run left.
TEST_F(CampaignTest, CleanUpAndRedo) {
  const std::string table = Table(rebrand_);
  ASSERT_FALSE(table.empty()) << errors_;
  WriteCheckAndRun({});
  const std::string old_files = Run({"Quorvel-check", "--after", "--old-files", "job.ztr"});
  ASSERT_EQ(exit_code_, 0) << errors_;
  std::set<std::string> listed, moved;
  std::vector<std::string> files = Split(old_files, '\0');
  files.pop_back();  // after the last NUL
  for (const std::string& file : files) listed.insert(FileKey(file));
  for (const std::string& line : Split(table, '\n')) {
    const std::vector<std::string> row = Split(line, ',');
    if (row.size() > 3 && !row[0].empty() && row[0] != "file" && !row[3].empty()) {
      moved.insert(FileKey(StorageName(row[0])));
    }
  }
  EXPECT_EQ(listed, moved) << old_files;
  for (const std::string& file : files) EXPECT_TRUE(fs::remove(file)) << file;
  ExpectDone(table);

  Run({"Quorvel-plan", "invert", "-o", "undo.ztr", "job.ztr"});
  ASSERT_EQ(exit_code_, 0) << errors_;
  WriteCheckAndRun({}, "undo.ztr");
  Run({"Quorvel-plan", "write", "-o", "job.ztr", "job.csv"});
  EXPECT_EQ(exit_code_, 2) << errors_;  // the first run's new files are there
  WriteCheckAndRun({"--redo"});
  ExpectDone(table);
}

}  // namespace
