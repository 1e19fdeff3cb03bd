// Times the project index on a generated project of N documents (argument; 20,000 when not
// given): products over sub-assemblies that share each other and a library of parts. Prints,
// each beside the floor it is measured against in the same run: the first index against
// reading every document once, a refresh when nothing changed against a walk that looks at
// every file, a where-used question of a library part, and the peak memory. It counts only
// when the index holds every document and the part is used.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "projectindex/project_index.h"
#include "system/files.h"
#include "system/paths.h"
#include "tree/where_used.h"

namespace {

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string Document(const std::string& part_number, const std::vector<std::string>& references) {
  std::string text = "STANDIN-DOCUMENT 1\nproduct\npartnumber " + part_number + "\n";
  for (size_t i = 0; i < references.size(); ++i) {
    text += "component I." + std::to_string(i + 1) + "\nreference " + references[i] + "\n";
  }
  return text;
}

// Half the documents library parts (lib/<folder>/part <i>.CATPart), two fifths sub-assemblies
// (asm/<folder>/sub <i>.CATProduct: six parts and, but for the first, an earlier
// sub-assembly), the rest products (products/product <i>.CATProduct: four sub-assemblies).
// A hundred files a folder. Returns every file written.
std::vector<std::string> Generate(const std::string& root, int documents) {
  const int parts = documents / 2, subs = documents * 2 / 5, products = documents - parts - subs;
  std::vector<std::string> written;
  auto file = [&](const std::string& kind, const std::string& stem, int i, const char* type) {
    const std::string folder = kind + "/" + std::to_string(i / 100);
    return folder + "/" + stem + " " + std::to_string(i) + type;
  };
  auto write = [&](const std::string& name, const std::string& text) {
    std::filesystem::create_directories(DirectoryOf(root + "/" + name));
    std::ofstream(root + "/" + name, std::ios::binary) << text;
    written.push_back(root + "/" + name);
  };
  for (int i = 0; i < parts; ++i)
    write(file("lib", "part", i, ".CATPart"), Document("P-" + std::to_string(i), {}));
  for (int i = 0; i < subs; ++i) {
    std::vector<std::string> references;
    for (int k = 0; k < 6; ++k)
      references.push_back("../../" + file("lib", "part", (i * 7 + k * 13) % parts, ".CATPart"));
    if (i > 0) references.push_back("../../" + file("asm", "sub", (i * 31) % i, ".CATProduct"));
    write(file("asm", "sub", i, ".CATProduct"), Document("S-" + std::to_string(i), references));
  }
  for (int i = 0; i < products; ++i) {
    std::vector<std::string> references;
    for (int k = 0; k < 4; ++k)
      references.push_back("../../" + file("asm", "sub", (i * 11 + k * 97) % subs, ".CATProduct"));
    write(file("products", "product", i, ".CATProduct"),
          Document("T-" + std::to_string(i), references));
  }
  return written;
}

}  // namespace

int main(int argc, char* argv[]) {
  const int documents = argc > 1 ? std::atoi(argv[1]) : 20000;
  if (documents < 10) {
    std::fprintf(stderr, "Usage: %s [DOCUMENTS (at least 10)]\n", argv[0]);
    return 3;
  }
  char folder[] = "/tmp/quorvel-index-XXXXXX";
  if (mkdtemp(folder) == nullptr) return 1;
  const std::string root = StorageName(std::string(folder) + "/project");
  const std::string index_path = std::string(folder) + "/index.sqlite";
  auto start = std::chrono::steady_clock::now();
  const std::vector<std::string> files = Generate(root, documents);
  std::printf("%d documents generated in %.2f s\n", documents, Since(start));

  start = std::chrono::steady_clock::now();
  size_t bytes_read = 0;
  for (const std::string& file : files) {
    std::string bytes;
    FileFacts facts;
    if (Disk().ReadRegularFile(file, &bytes, &facts)) bytes_read += bytes.size();
  }
  const double floor_read = Since(start);

  std::vector<std::string> notes;
  std::string why;
  start = std::chrono::steady_clock::now();
  int64_t indexed = 0;
  {
    ProjectIndex index;
    if (!index.Open(Disk(), root, index_path, &notes, &why)) {
      std::fprintf(stderr, "%s\n", why.c_str());
      return 1;
    }
    indexed = index.counts().documents;
  }
  const double first = Since(start);

  // The floor of a refresh: list every folder and look at every file in it.
  start = std::chrono::steady_clock::now();
  std::vector<std::string> folders = {root};
  long looked = 0;
  while (!folders.empty()) {
    const std::string at = folders.back();
    folders.pop_back();
    std::vector<std::string> names;
    Disk().ListFolder(at, &names);
    for (const std::string& name : names) {
      const std::string path = at + "/" + name;
      FileFacts facts;
      if (Disk().IsLink(path)) continue;
      if (Disk().IsFolder(path)) {
        folders.push_back(path);
      } else if (Disk().CurrentFacts(path, &facts)) {
        ++looked;
      }
    }
  }
  const double floor_walk = Since(start);

  start = std::chrono::steady_clock::now();
  ProjectIndex index;
  const bool refreshed = index.Open(Disk(), root, index_path, &notes, &why);
  const double refresh = Since(start);
  const int64_t read_again = index.counts().read;

  start = std::chrono::steady_clock::now();
  std::ostringstream tree;
  const long users = refreshed ? PrintWhereUsed(Disk(), index, files[0], tree) : 0;
  const double question = Since(start);

  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  std::printf("first index   %7.2f s   (reading every document once: %.2f s, %.1f MiB)\n", first,
              floor_read, bytes_read / 1048576.0);
  std::printf("refresh       %7.2f s   (a walk that looks at every file: %.2f s, %ld files)\n",
              refresh, floor_walk, looked);
  std::printf("where-used    %7.3f s   (%ld documents use %s, %zu bytes of tree)\n", question,
              users, files[0].substr(root.size() + 1).c_str(), tree.str().size());
  std::printf("peak memory   %7.1f MiB\n", usage.ru_maxrss / 1024.0);
  std::filesystem::remove_all(folder);
  const bool ok = indexed == documents && refreshed && read_again == 0 && users > 0 &&
                  index.counts().documents == documents;
  if (!ok) std::fprintf(stderr, "the index did not hold every document, or the part is unused\n");
  return ok ? 0 : 1;
}
