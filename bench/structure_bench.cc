// Times whole runs of Quorvel on generated product structures of 1,000 and 5,000 documents
// (or the sizes given as arguments), each renamed completely, and prints the time and the
// peak memory of each run.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/structure_generator.h"

namespace {

struct Run {
  int exit_code = -1;
  double seconds = 0;
  long peak_kib = 0;
};

Run RunQuorvel(const std::string& folder) {
  Run run;
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    if (chdir(folder.c_str()) != 0) _exit(127);
    execl(QUORVEL_BINARY, QUORVEL_BINARY, "rename.ztr", static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  struct rusage usage;
  if (child < 0 || wait4(child, &status, 0, &usage) != child) return run;
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.peak_kib = usage.ru_maxrss;
  return run;
}

std::string LastLine(const std::string& path) {
  std::ifstream in(path);
  std::string line, last;
  while (std::getline(in, line)) last = line;
  return last;
}

}  // namespace

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
    const Run run = RunQuorvel(pattern);
    const std::string last = LastLine(std::string(pattern) + "/rename.ztr.log");
    const bool complete = run.exit_code == 0 && last == "All files saved successfully.";
    std::printf("%5d documents: %6.2f s, peak memory %6.1f MiB%s\n", documents, run.seconds,
                run.peak_kib / 1024.0, complete ? "" : "  (run did not complete)");
    failures += complete ? 0 : 1;
    std::filesystem::remove_all(pattern);
  }
  return failures == 0 ? 0 : 1;
}
