// make_structure N FOLDER: writes a product structure of N documents and a control file,
// rename.ztr, that renames all of it. Run Quorvel in FOLDER on rename.ztr. Refuses a size whose
// ROOT lists would not fit in one value, naming the largest that does.
#include <cstdio>
#include <cstdlib>

#include "bench/structure_generator.h"

int main(int argc, char* argv[]) {
  const int documents = argc == 3 ? std::atoi(argv[1]) : 0;
  if (documents < 3) {
    std::fprintf(stderr, "Usage: %s N FOLDER  (N documents, at least 3)\n", argv[0]);
    return 2;
  }
  if (LongestRootList(documents) > 65535) {
    std::fprintf(stderr,
                 "%s: %d documents need a ROOT list of %zu bytes, longer than the 65,535 bytes "
                 "a value can hold; at most %d documents fit\n",
                 argv[0], documents, LongestRootList(documents), LargestStructure());
    return 2;
  }
  if (!GenerateStructure(documents, argv[2])) {
    std::fprintf(stderr, "%s: cannot write into %s\n", argv[0], argv[2]);
    return 1;
  }
  return 0;
}
