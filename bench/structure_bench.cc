// Times whole runs of Quorvel on generated product structures of 1,000 and 5,000 documents
// (or the sizes given as arguments), each renamed completely, and prints the time and the
// peak memory of each run. A run counts only when its log shows every document saved and every
// instance renamed; otherwise the benchmark fails.
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/structure_generator.h"
#include "bench/whole_run.h"

namespace {

struct LogCounts {
  int saved = 0;
  int renamed = 0;
  std::string last;
};

LogCounts CountLog(const std::string& path) {
  LogCounts counts;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line); counts.last = line) {
    if (line.rfind("Document ", 0) == 0 && line.find(" saved as ") != std::string::npos) {
      ++counts.saved;
    }
    if (line.rfind("InstanceName set to: ", 0) == 0) ++counts.renamed;
  }
  return counts;
}

}  // namespace

int main(int argc, char* argv[]) {
  std::vector<int> sizes = {1000, 5000};
  if (argc > 1) sizes.assign(1, std::atoi(argv[1]));
  int failures = 0;
  for (int documents : sizes) {
    if (documents < 3 || documents > LargestStructure()) {
      std::fprintf(stderr, "FAILED: %d documents; from 3 to %d fit in a control file\n", documents,
                   LargestStructure());
      ++failures;
      continue;
    }
    char pattern[] = "/tmp/quorvel-structure-XXXXXX";
    if (mkdtemp(pattern) == nullptr || !GenerateStructure(documents, pattern)) {
      std::fprintf(stderr, "cannot generate a structure of %d documents\n", documents);
      return 1;
    }
    const WholeRun run = RunInFolder(QUORVEL_BINARY, pattern);
    const LogCounts log = CountLog(std::string(pattern) + "/rename.ztr.log");
    std::printf("%5d documents: %6.2f s, peak memory %6.1f MiB; %d saved, %d instances renamed\n",
                documents, run.seconds, run.peak_kib / 1024.0, log.saved, log.renamed);
    if (run.exit_code != 0 || log.saved != SavedDocuments(documents) ||
        log.renamed != RenamedInstances(documents) || log.last != "All files saved successfully.") {
      std::fprintf(stderr, "FAILED: the run on %d documents did not rename all of it (exit %d)\n",
                   documents, run.exit_code);
      ++failures;
    }
    std::filesystem::remove_all(pattern);
  }
  return failures == 0 ? 0 : 1;
}
