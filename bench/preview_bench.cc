// Times the whole command `Quorvel-tree --plan rename.ztr top.CATProduct` on generated product
// structures of 1,000 and 5,000 documents (or the size given as argument), each renamed
// completely, and prints the time and the peak memory of each preview. A preview counts only
// when it shows every instance renamed and every part with its new part number.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/structure_generator.h"

int main(int argc, char* argv[]) {
  std::vector<int> sizes = {1000, 5000};
  if (argc > 1) sizes.assign(1, std::atoi(argv[1]));
  int failures = 0;
  for (int documents : sizes) {
    char folder[] = "/tmp/quorvel-preview-XXXXXX";
    if (mkdtemp(folder) == nullptr || !GenerateStructure(documents, folder)) {
      std::fprintf(stderr, "cannot generate a structure of %d documents\n", documents);
      return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
      if (chdir(folder) != 0) _exit(127);
      const int out = open("preview.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (out < 0 || dup2(out, 1) < 0) _exit(127);
      execl(QUORVEL_TREE_BINARY, QUORVEL_TREE_BINARY, "--plan", "rename.ztr", "top.CATProduct",
            static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = 0;
    struct rusage usage;
    const bool waited = child > 0 && wait4(child, &status, 0, &usage) == child;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // Instance lines are indented; a renamed instance shows "OLD -> NEW", a part whose part
    // number changes "[PRT-n -> PRT-n-B]".
    int renamed = 0, renumbered = 0;
    std::ifstream preview(std::string(folder) + "/preview.txt");
    for (std::string line; std::getline(preview, line);) {
      if (line.rfind("  ", 0) != 0) continue;
      renamed += line.find(" -> ") != std::string::npos;
      renumbered += line.find("-B]") != std::string::npos;
    }
    const bool clean = waited && WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
                       renamed == RenamedInstances(documents) && renumbered == Parts(documents);
    std::printf("%5d documents: preview %5.2f s (%5.2f s CPU), peak memory %6.1f MiB%s\n",
                documents, seconds,
                waited ? usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                             (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6
                       : 0.0,
                waited ? usage.ru_maxrss / 1024.0 : 0.0, clean ? "" : "  (preview failed)");
    failures += clean ? 0 : 1;
    std::filesystem::remove_all(folder);
  }
  return failures == 0 ? 0 : 1;
}
