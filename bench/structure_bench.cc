// Times whole runs of Quorvel on generated product structures of 1,000 and 5,000 documents
// (or the sizes given as arguments), each renamed completely, and prints the time and the
// peak memory of each run.
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/structure_generator.h"
#include "bench/whole_run.h"

int main(int argc, char* argv[]) {
  std::vector<int> sizes = {1000, 5000};
  if (argc > 1) sizes.assign(1, std::atoi(argv[1]));
  int failures = 0;
  for (int documents : sizes) {
    char pattern[] = "/tmp/quorvel-structure-XXXXXX";
    if (mkdtemp(pattern) == nullptr || !GenerateStructure(documents, pattern)) {
      std::fprintf(stderr, "cannot generate a structure of %d documents\n", documents);
      return 1;
    }
    const WholeRun run = RunInFolder(QUORVEL_BINARY, pattern);
    const std::string last = LastLineOf(std::string(pattern) + "/rename.ztr.log");
    const bool complete = run.exit_code == 0 && last == "All files saved successfully.";
    std::printf("%5d documents: %6.2f s, peak memory %6.1f MiB%s\n", documents, run.seconds,
                run.peak_kib / 1024.0, complete ? "" : "  (run did not complete)");
    failures += complete ? 0 : 1;
    std::filesystem::remove_all(pattern);
  }
  return failures == 0 ? 0 : 1;
}
