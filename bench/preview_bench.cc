// Times the whole command `Quorvel-tree --plan rename.ztr top.CATProduct` on generated product
// structures of 1,000 and 5,000 documents (or the size given as argument), each renamed
// completely, and prints the time and the peak memory of each preview.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
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
      const int null = open("/dev/null", O_WRONLY);
      if (chdir(folder) != 0 || null < 0 || dup2(null, 1) < 0) _exit(127);
      execl(QUORVEL_TREE_BINARY, QUORVEL_TREE_BINARY, "--plan", "rename.ztr", "top.CATProduct",
            static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = 0;
    struct rusage usage;
    const bool waited = child > 0 && wait4(child, &status, 0, &usage) == child;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const bool clean = waited && WIFEXITED(status) && WEXITSTATUS(status) == 0;
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
