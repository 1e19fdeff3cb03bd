// Times the way from a product structure to the names asked for and back, each step as a whole
// command, on a generated product structure of 5,000 documents (or the size given as
// argument): Quorvel-plan table (as CSV and as a workbook), with every part and sub-assembly
// renamed by rules and the instances following, write from the workbook, Quorvel-check --open
// and Quorvel on each control file in order, Quorvel-tree, then the same on each inverted one
// last to first. Checks what they wrote: a row for every document and instance, control files
// that the tool's own reader and plan builder read back as the whole plan, a tree that shows
// every new part number, and the structure's table as it was before after the way back.
// Then the campaign jobs on a generated campaign structure of the same size (frames shared by two
// groups, library and read-only purchased parts): a copy of all but the library and the purchased
// parts, its originals' table unchanged after it; a branch renumbered with one save made to fail
// and undone (the table as before); a rule on the read-only purchased parts that write refuses;
// then all but the library and purchased parts renumbered in place on a scheme, its old files
// listed by --after --old-files and removed, the undo (the table as before) and the same table
// again with write --redo (the renumbered table again), each control file run and checked with
// --after.
// Fails when a check fails or a command of Quorvel-plan takes 2 s or more.
// On the development machine (2 shared cores), 5,000 documents: table 0.5-0.65 s (CSV 0.4 s),
// write 0.25-0.4 s (two control files), the runs 1.3-8.7 s, tree 0.1 s; the campaign's copy:
// table 0.5 s, write 0.45 s (one control file), check and run 2.9-3.3 s, --after 0.1 s; its
// renumbering in place: table 0.45 s, write 0.4 s, check and run 0.9-2.4 s, --after 0.1 s;
// --old-files 0.1 s, the undo 1.8 s, the redo: write 0.6 s, check and run 1.7 s.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/structure_generator.h"
#include "bench/whole_run.h"
#include "controlfile/ztr_object_manager.h"
#include "plan/ztr_document_manager.h"

namespace {

double Seconds(const std::string& command) {
  const auto start = std::chrono::steady_clock::now();
  const int status = std::system(command.c_str());
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return status == 0 ? seconds : -1;
}

std::string Text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

size_t Count(const std::string& path, const std::string& text) {
  const std::string all = Text(path);
  size_t count = 0;
  for (size_t at = all.find(text); at != std::string::npos; at = all.find(text, at + 1)) ++count;
  return count;
}

// The `n`th control file that write made (from 0): plan.ztr, plan-2.ztr...
std::string ControlFile(int n, const std::string& stem = "plan") {
  return n == 0 ? stem + ".ztr" : stem + "-" + std::to_string(n + 1) + ".ztr";
}

// Quorvel-check --open found no error in `control` (and on the way there no warning either:
// on the way back the old files are still on disk), then Quorvel ran it in `folder` and saved
// all it was given.
bool Ran(const std::string& folder, const std::string& control, bool back) {
  const std::string in = "cd " + folder + " && ";
  const std::string checked = folder + "/" + control + ".check";
  std::system((in + QUORVEL_CHECK_BINARY + " --open " + control + " >" + checked).c_str());
  const std::string found = LastLineOf(checked);
  return (back ? found.rfind("0 errors, ", 0) == 0 : found == "0 errors, 0 warnings") &&
         Seconds(in + QUORVEL_BINARY + " " + control + " >/dev/null") >= 0 &&
         LastLineOf(folder + "/" + control + ".log") == "All files saved successfully.";
}

// A campaign's job on the generated campaign structure in `folder`: the table with `rules`
// (without rules, STEM.csv as it is), write `options` to STEM.ztr..., each checked and run, then
// Quorvel-check --after on each. Prints its timings; false when a step failed.
bool Job(const std::string& folder, const std::string& stem, const std::string& rules,
         const std::string& options) {
  const std::string cd = "cd " + folder + " && " + QUORVEL_PLAN_BINARY;
  const double table =
      rules.empty()
          ? 0
          : Seconds(cd + " table -o " + stem + ".csv top.CATProduct" + rules + " 2>/dev/null");
  const double write =
      Seconds(cd + " write -o " + stem + ".ztr" + options + " " + stem + ".csv 2>/dev/null");
  int files = 0;
  while (files < 100 && std::filesystem::exists(folder + "/" + ControlFile(files, stem))) ++files;
  auto start = std::chrono::steady_clock::now();
  bool ran = table >= 0 && write >= 0 && files > 0;
  for (int i = 0; i < files && ran; ++i) ran = Ran(folder, ControlFile(i, stem), false);
  const double runs =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  start = std::chrono::steady_clock::now();
  for (int i = 0; i < files && ran; ++i) {
    ran = Seconds("cd " + folder + " && " + QUORVEL_CHECK_BINARY + " --after " +
                  ControlFile(i, stem) + " >/dev/null") >= 0;
  }
  const double after =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf(
      "  %s: table %.2f s, write %.2f s (%d control files), checks and runs %.2f s, "
      "--after %.2f s%s\n",
      stem.c_str(), table, write, files, runs, after, ran ? "" : "  (a step failed)");
  return ran && table < 2 && write < 2;
}

// The campaign jobs at `documents` documents: a copy of everything but the library and the
// purchased parts, whose originals stay as they were, then the same renumbered in place on a
// scheme, its old files removed, undone and done again with --redo.
bool Campaign(int documents) {
  char pattern[] = "/tmp/quorvel-campaign-XXXXXX";
  if (mkdtemp(pattern) == nullptr || !GenerateCampaign(documents, pattern)) return false;
  const std::string folder = pattern;
  const std::string cd = "cd " + folder + " && " + QUORVEL_PLAN_BINARY;
  std::printf("campaign of %d documents:\n", documents);
  const std::string libraries = " --library lib --library buy";
  bool done = Seconds(cd + " table -o before.csv top.CATProduct") >= 0;
  const size_t changed = Count(folder + "/before.csv", ",,,,\r\n") - 5;  // all but lib/, buy/
  done = done && Job(folder, "copy", libraries + " --number CP-{n:05} --folder copy", " --copy") &&
         Seconds(cd + " table -o copied.csv copy/CP-00001.CATProduct") >= 0 &&
         Count(folder + "/copied.csv", "\ncopy/") == changed &&
         Seconds(cd + " table -o unchanged.csv top.CATProduct") >= 0 &&
         Text(folder + "/unchanged.csv") == Text(folder + "/before.csv");
  // A branch renumbered with one save made to fail, then undone: the undo leaves out what the
  // run did not do, and the structure's table is as before.
  const std::string branch = " --select-branch 'asm/group 0.CATProduct' --number BR-{n:05}";
  const std::string fail =
      "QUORVEL_STANDIN_FAIL=SaveAs=" + folder + "/branch/parts/BR-00003.CATPart";
  done = done &&
         Seconds(cd + " table -o branch.csv top.CATProduct" + libraries + branch +
                 " --folder branch 2>/dev/null") >= 0 &&
         Seconds(cd + " write -o branch.ztr branch.csv 2>/dev/null") >= 0 &&
         Seconds("cd " + folder + " && " + fail + " " + QUORVEL_BINARY +
                 " branch.ztr >/dev/null") >= 0 &&
         Count(folder + "/branch.ztr.log", "Failed to save") == 1;
  const double undo_failed = Seconds(cd + " invert -o undo-branch.ztr branch.ztr 2>/dev/null");
  done = done && undo_failed >= 0 && Ran(folder, "undo-branch.ztr", true) &&
         Seconds(cd + " table -o undone.csv top.CATProduct") >= 0 &&
         Text(folder + "/undone.csv") == Text(folder + "/before.csv");
  // A rule that would renumber the read-only purchased parts: table warns, write refuses.
  const double refused =
      Seconds(cd +
              " table -o ro.csv top.CATProduct --library lib --select-branch 'asm/group "
              "0.CATProduct' --on part --suffix -B 2>/dev/null || " +
              QUORVEL_PLAN_BINARY + " write -o ro.ztr ro.csv 2>/dev/null");
  done = done && refused < 0 && !std::filesystem::exists(folder + "/ro.ztr");
  std::printf("  a branch after a failed save: invert %.2f s, the undo's table as before: %s\n",
              undo_failed, done ? "yes" : "no");
  const std::string rebrand = libraries + " --number RB-{n:05} --folder rebrand";
  done = done && Job(folder, "rebrand", rebrand + " --scheme RB-[0-9]{5}", "") &&
         Seconds(cd + " table -o after.csv rebrand/RB-00001.CATProduct") >= 0 &&
         Count(folder + "/after.csv", "\nrebrand/") == changed;
  // Clean-up: the old files --after lists once the run is proven, removed as a user would.
  std::string controls;
  int files = 0;
  for (; std::filesystem::exists(folder + "/" + ControlFile(files, "rebrand")); ++files) {
    controls += " " + ControlFile(files, "rebrand");
  }
  // The copy made above still uses originals that the rebrand saved under new files: those are
  // kept (a warning, exit code 1), and said so.
  const double old_files =
      Seconds("cd " + folder + " && { " + QUORVEL_CHECK_BINARY + " --after --old-files" + controls +
              " >old-files 2>kept; test $? -le 1; }");
  done = done && old_files >= 0 &&
         Count(folder + "/old-files", std::string(1, '\0')) +
                 Count(folder + "/kept", "\" is not listed: ") ==
             changed &&
         Seconds("cd " + folder + " && xargs -0 rm <old-files") >= 0;
  // The undo, last control file first, then the same rules again with write --redo, which
  // replaces the new files the first run left and nothing else.
  const auto start = std::chrono::steady_clock::now();
  for (int i = files; i-- > 0 && done;) {
    const std::string undo = "undo-" + ControlFile(i, "rebrand");
    done = Seconds(cd + " invert -o " + undo + " " + ControlFile(i, "rebrand") + " 2>/dev/null") >=
               0 &&
           Ran(folder, undo, true);
  }
  std::printf("  clean-up: --old-files %.2f s; undo: invert, checks and runs %.2f s\n", old_files,
              std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  done = done && Seconds(cd + " table -o undone.csv top.CATProduct") >= 0 &&
         Text(folder + "/undone.csv") == Text(folder + "/before.csv") &&
         std::filesystem::copy_file(folder + "/rebrand.csv", folder + "/redo.csv") &&
         Job(folder, "redo", "", " --redo") &&
         Seconds(cd + " table -o redone.csv rebrand/RB-00001.CATProduct") >= 0 &&
         Text(folder + "/redone.csv") == Text(folder + "/after.csv");
  std::filesystem::remove_all(folder);
  return done;
}

}  // namespace

int main(int argc, char* argv[]) {
  const int documents = argc > 1 ? std::atoi(argv[1]) : 5000;
  char pattern[] = "/tmp/quorvel-plan-XXXXXX";
  if (mkdtemp(pattern) == nullptr || !GenerateStructure(documents, pattern)) {
    std::fprintf(stderr, "cannot generate a structure of %d documents\n", documents);
    return 1;
  }
  const std::string folder = pattern;
  const std::string cd = std::string("cd ") + pattern + " && " + QUORVEL_PLAN_BINARY;
  const bool before = Seconds(cd + " table -o before.csv top.CATProduct") >= 0;
  const std::string rules =
      " top.CATProduct --select-file 'parts/*' --on part --suffix -B --on file --folder renamed"
      " --instances-follow='*' --select-file 'assemblies/*' --on both --number ASM-{n:04}";
  const double csv = Seconds(cd + " table" + rules + " >rename.csv");
  const double table = Seconds(cd + " table -o rename.xlsx" + rules);
  const double write = Seconds(cd + " write -o plan.ztr rename.xlsx 2>/dev/null");

  // Every document and instance in the table; every change and rename in the control files.
  const size_t rows = Count(folder + "/rename.csv", "\r\n") - 1;
  const int expected_rows = 2 * documents - 1;  // each document but the top is used once
  int changes = 0, renames = 0, files = 0;
  for (; files < 100; ++files) {
    const std::string name = folder + "/" + ControlFile(files);
    if (!std::filesystem::exists(name)) break;
    ZTRObjectManager objects;
    objects.ReadFile(name.c_str());
    std::ostringstream no_log;
    const ZTRDocumentManager read(objects, &no_log);
    changes += read.ChangeableDocumentCount();
    renames += read.DocumentInstanceCount();
  }
  const bool complete = csv >= 0 && table >= 0 && write >= 0 &&
                        rows == static_cast<size_t>(expected_rows) && changes == documents - 1 &&
                        renames == documents - 1;

  // The runs, one after the other, and the structure they leave.
  auto start = std::chrono::steady_clock::now();
  bool ran = before && files > 0;
  for (int i = 0; i < files && ran; ++i) ran = Ran(folder, ControlFile(i), false);
  const double runs =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double tree = Seconds(std::string("cd ") + pattern + " && " + QUORVEL_TREE_BINARY +
                              " top.CATProduct >tree.txt");
  const size_t renamed = Count(folder + "/tree.txt", "-B]") + Count(folder + "/tree.txt", "[ASM-");
  ran = ran && tree >= 0 && renamed == static_cast<size_t>(documents - 1);

  // The way back leaves the structure's table as it was.
  start = std::chrono::steady_clock::now();
  bool back = ran;
  for (int i = files; i-- > 0 && back;) {
    const std::string undo = "undo-" + ControlFile(i);
    back = Seconds(cd + " invert -o " + undo + " " + ControlFile(i) + " 2>/dev/null") >= 0 &&
           Ran(folder, undo, true);
  }
  back = back && Seconds(cd + " table -o after.csv top.CATProduct") >= 0 &&
         Text(folder + "/after.csv") == Text(folder + "/before.csv");
  const double way_back =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  std::printf(
      "%d documents: table %.2f s (CSV %.2f s), write %.2f s (%d control files)%s, checks and "
      "runs %.2f s%s, tree %.2f s, way back %.2f s%s\n",
      documents, table, csv, write, files, complete ? "" : "  (output incomplete)", runs,
      ran ? "" : "  (a run failed)", tree, way_back, back ? "" : "  (the way back failed)");
  std::filesystem::remove_all(folder);
  const bool campaign = Campaign(documents);
  return campaign && complete && ran && back && csv < 2 && table < 2 && write < 2 ? 0 : 1;
}
