// Runs Quorvel-check --open, Quorvel-tree --plan, Quorvel and Quorvel-tree on a chain of 30,000
// documents (or the count given as argument), each referring to the next, and prints for each
// whether it came through (no crash, however deep the structure), its time and its peak memory.
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/whole_run.h"

namespace {

bool Write(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return static_cast<bool>(out);
}

// d0.doc refers to d1.doc, and so on; the control file renames the top document's one
// instance and saves it in place, and gives the last document a new file.
bool Generate(int documents, const std::string& folder) {
  for (int i = 0; i < documents; ++i) {
    std::string text = "STANDIN-DOCUMENT 1\nproduct\npartnumber D" + std::to_string(i) + "\n";
    if (i + 1 < documents) {
      text += "component Next.1\nreference d" + std::to_string(i + 1) + ".doc\n";
    }
    if (!Write(folder + "/d" + std::to_string(i) + ".doc", text)) return false;
  }
  const std::string last = std::to_string(documents - 1);
  return Write(folder + "/rename.ztr",
               "@ROOT\n{PARENT_OBJECTS}{TOP}\n{CHILD_OBJECTS}{LAST}\n{INSTANCE_OBJECTS}{I}\n"
               "@TOP\n{PARTNUMBER}D0\n{EXTERNAL_LOCATION}d0.doc\n"
               "@LAST\n{PARTNUMBER}D" +
                   last + "\n{EXTERNAL_LOCATION}d" + last +
                   ".doc\n{NEW_EXTERNAL_LOCATION}last.doc\n"
                   "@I\n{PARENT_PARTNUMBER}D0\n{INSTANCENAME}Next.1\n{NEW_INSTANCENAME}First.1\n");
}

bool Report(const char* what, const WholeRun& run, bool expected) {
  std::printf("%-24s %6.2f s (%.2f s CPU), peak memory %6.1f MiB, %s\n", what, run.seconds,
              run.cpu_seconds, run.peak_kib / 1024.0,
              run.signal != 0 ? ("killed by signal " + std::to_string(run.signal)).c_str()
              : expected      ? "came through"
                              : ("exit code " + std::to_string(run.exit_code)).c_str());
  return expected;
}

}  // namespace

int main(int argc, char* argv[]) {
  const int documents = argc > 1 ? std::atoi(argv[1]) : 30000;
  if (documents < 2) {
    std::fprintf(stderr, "usage: chain_bench [documents, at least 2]\n");
    return 3;
  }
  char folder[] = "/tmp/quorvel-chain-XXXXXX";
  if (mkdtemp(folder) == nullptr || !Generate(documents, folder)) {
    std::fprintf(stderr, "cannot generate a chain of %d documents\n", documents);
    return 1;
  }
  std::printf("a chain of %d documents\n", documents);
  bool ok = true;
  const WholeRun check = RunInFolder(QUORVEL_CHECK_BINARY, folder, {"--open", "rename.ztr"}, true);
  ok = Report("Quorvel-check --open", check, check.signal == 0 && check.exit_code == 0) && ok;
  const WholeRun preview =
      RunInFolder(QUORVEL_TREE_BINARY, folder, {"--plan", "rename.ztr", "d0.doc"}, true);
  // One warning: the control file leaves the link to the last document's old file on purpose.
  ok = Report("Quorvel-tree --plan", preview, preview.signal == 0 && preview.exit_code == 1) && ok;
  const WholeRun run = RunInFolder(QUORVEL_BINARY, folder);
  ok = Report("Quorvel", run,
              run.exit_code == 0 && LastLineOf(std::string(folder) + "/rename.ztr.log") ==
                                        "All files saved successfully.") &&
       ok;
  const WholeRun tree = RunInFolder(QUORVEL_TREE_BINARY, folder, {"d0.doc"}, true);
  ok = Report("Quorvel-tree", tree, tree.signal == 0 && tree.exit_code == 0) && ok;
  std::filesystem::remove_all(folder);
  return ok ? 0 : 1;
}
