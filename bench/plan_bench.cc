// Times the way from a product structure to the names asked for, each step as a whole
// command, on a generated product structure of 5,000 documents (or the size given as
// argument): Quorvel-plan table (as CSV and as a workbook), with every part and sub-assembly
// renamed by rules and the instances following, write from the workbook, Quorvel on each
// control file in order, and Quorvel-tree. Checks what they wrote: a row for every document
// and instance, control files that the tool's own reader and plan builder read back as the
// whole plan, and a tree that shows every new part number. Fails when a check fails or a
// command of Quorvel-plan takes 2 s or more.
// On the development machine (2 shared cores), 5,000 documents: table 0.65 s (CSV 0.4 s),
// write 0.25 s (two control files), the two runs 8.7 s, tree 0.1 s.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/structure_generator.h"
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

size_t Count(const std::string& path, const std::string& text) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  const std::string all = bytes.str();
  size_t count = 0;
  for (size_t at = all.find(text); at != std::string::npos; at = all.find(text, at + 1)) ++count;
  return count;
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
  const std::string cd = "cd " + folder + " && ";
  const std::string plan = cd + QUORVEL_PLAN_BINARY;
  const std::string rules =
      " top.CATProduct --select-file 'parts/*' --on part --suffix -B --on file --folder renamed"
      " --instances-follow='*' --select-file 'assemblies/*' --on both --number ASM-{n:04}";
  const double csv = Seconds(plan + " table" + rules + " >rename.csv");
  const double table = Seconds(plan + " table -o rename.xlsx" + rules);
  const double write = Seconds(plan + " write -o plan.ztr rename.xlsx 2>/dev/null");

  // Every document and instance in the table; every change and rename in the control files.
  const size_t rows = Count(folder + "/rename.csv", "\r\n") - 1;
  const int expected_rows = 2 * documents - 1;  // each document but the top is used once
  int changes = 0, renames = 0, files = 0;
  std::vector<std::string> names;
  for (; files < 100; ++files) {
    const std::string name = files == 0 ? "plan.ztr" : "plan-" + std::to_string(files + 1) + ".ztr";
    if (!std::filesystem::exists(folder + "/" + name)) break;
    names.push_back(name);
    ZTRObjectManager objects;
    objects.ReadFile((folder + "/" + name).c_str());
    std::ostringstream no_log;
    const ZTRDocumentManager read(objects, &no_log);
    changes += read.ChangeableDocumentCount();
    renames += read.DocumentInstanceCount();
  }
  // The runs, one after the other, and the structure they leave.
  double run = 0;
  for (const std::string& name : names) {
    const double seconds = Seconds(cd + QUORVEL_BINARY + " " + name + " >/dev/null");
    run = seconds < 0 || run < 0 ? -1 : run + seconds;
  }
  const double tree = Seconds(cd + QUORVEL_TREE_BINARY + " top.CATProduct >tree.txt");
  const size_t renamed = Count(folder + "/tree.txt", "-B]") + Count(folder + "/tree.txt", "[ASM-");

  const bool complete = csv >= 0 && table >= 0 && write >= 0 && run >= 0 && tree >= 0 &&
                        rows == static_cast<size_t>(expected_rows) && changes == documents - 1 &&
                        renames == documents - 1 && renamed == static_cast<size_t>(documents - 1);
  std::printf(
      "%d documents: table %.2f s (CSV %.2f s), write %.2f s (%d control files), runs %.2f s, "
      "tree %.2f s%s\n",
      documents, table, csv, write, files, run, tree, complete ? "" : "  (output incomplete)");
  std::filesystem::remove_all(folder);
  return complete && csv < 2 && table < 2 && write < 2 ? 0 : 1;
}
