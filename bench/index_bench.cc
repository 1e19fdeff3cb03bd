// Times the project index on a generated project of N documents (argument; 20,000 when not
// given) with ten references a document on average: products over sub-assemblies that share
// each other and a library of parts. Prints, each beside the floor it is measured against in
// the same run: the first index (the whole command Quorvel-tree --where-used) against reading
// every document once, a refresh when nothing changed (the same command again) against a walk
// that looks at every file, a refresh after a run changed a twentieth of the documents, two
// where-used questions answered from a refreshed index, and the commands' peak memory; the
// times the best of three. It fails unless the index holds every document, each refresh read
// just what changed and each answer names its users.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "CATDocumentLinks.h"
#include "bench/whole_run.h"
#include "projectindex/project_index.h"
#include "system/files.h"
#include "system/paths.h"
#include "testing/generated_project.h"
#include "tree/where_used.h"

namespace {

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The floor of a first index: every document read once, as a where-used index must read it:
// its bytes, and its links as the platform reads them; nothing kept. `bytes_only` gets the time
// of the bytes alone.
double ReadEveryDocument(const std::vector<std::string>& files, size_t* bytes_read,
                         double* bytes_only) {
  const auto start = std::chrono::steady_clock::now();
  for (const std::string& file : files) {
    std::string bytes;
    FileFacts facts;
    if (Disk().ReadRegularFile(file, &bytes, &facts)) *bytes_read += bytes.size();
  }
  *bytes_only = Since(start);
  const auto again = std::chrono::steady_clock::now();
  long links = 0;
  for (const std::string& file : files) {
    std::string bytes;
    FileFacts facts;
    DocumentLinks read;
    if (Disk().ReadRegularFile(file, &bytes, &facts) &&
        ReadDocumentLinks(bytes, file, &read) == DocumentKind::kDocument) {
      links += static_cast<long>(read.links.size());
    }
  }
  return links > 0 ? Since(again) : 0;
}

// The floor of a refresh: every folder listed, every file in it looked at.
double Walk(const std::string& root, long* looked) {
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::string> folders = {root};
  std::vector<FolderEntry> entries;
  while (!folders.empty()) {
    const std::string at = folders.back();
    folders.pop_back();
    Disk().ListFolderEntries(at, &entries);
    for (const FolderEntry& entry : entries) {
      if (entry.kind == FolderEntry::kFolder) folders.push_back(at + "/" + entry.name);
      if (entry.kind == FolderEntry::kRegularFile) ++*looked;
    }
  }
  return Since(start);
}

// "N documents use it" from the summary at the end of a where-used answer; 0 when none.
long UsersIn(const std::string& answer) {
  const size_t line = answer.rfind("\n\n");
  return line == std::string::npos ? 0 : std::atol(answer.c_str() + line + 2);
}

// One where-used question asked of an index refreshed before the clock starts.
struct Question {
  double seconds = 0;
  long users = 0;
  size_t bytes = 0;
};

Question Ask(ProjectIndex& index, const std::string& file) {
  const auto start = std::chrono::steady_clock::now();
  std::ostringstream tree;
  Question question;
  question.users = PrintWhereUsed(Disk(), index, file, tree);
  question.seconds = Since(start);
  question.bytes = tree.str().size();
  return question;
}

}  // namespace

int main(int argc, char* argv[]) {
  const int documents = argc > 1 ? std::atoi(argv[1]) : 20000;
  if (documents < 100) {
    std::fprintf(stderr, "Usage: %s [DOCUMENTS (at least 100)]\n", argv[0]);
    return 3;
  }
  char folder[] = "/tmp/quorvel-index-XXXXXX";
  if (mkdtemp(folder) == nullptr) return 1;
  const std::string root = StorageName(std::string(folder) + "/project");
  const std::string index_path = std::string(folder) + "/index.sqlite";
  const std::string answer = std::string(folder) + "/answer.txt";
  auto start = std::chrono::steady_clock::now();
  const GeneratedProject project = GenerateProject(root, LargeProjectShape(documents));
  const std::vector<std::string> files = project.Files();
  std::printf("%d documents, %ld references, generated in %.2f s\n", documents, project.references,
              Since(start));

  // A part that the last sub-assembly uses: a question as most are.
  const std::string typical = project.parts[(project.subs.size() - 1) * 7 % project.parts.size()];
  const std::vector<std::string> where_used = {"--where-used", typical,   "--project",
                                               root,           "--index", index_path};
  // Each figure the best of three: the machine is shared. The generator's writes reach the
  // disk first, so that no figure pays for them.
  sync();
  size_t bytes_read = 0;
  double floor_bytes = 1e9, floor_read = 1e9, floor_walk = 1e9;
  WholeRun first, again;
  long first_users = 0, again_users = 0, looked = 0, peak = 0;
  for (int round = 0; round < 3; ++round) {
    double bytes = 0;
    bytes_read = 0;
    floor_read = std::min(floor_read, ReadEveryDocument(files, &bytes_read, &bytes));
    floor_bytes = std::min(floor_bytes, bytes);
    for (const char* suffix : {"", "-wal", "-shm"}) std::remove((index_path + suffix).c_str());
    sync();
    const WholeRun run = RunInFolder(QUORVEL_TREE_BINARY, folder, where_used, false, answer);
    if (round == 0 || run.seconds < first.seconds) first = run;
    peak = std::max(peak, run.peak_kib);
    first_users = UsersIn(ContentsOf(answer));
  }
  for (int round = 0; round < 3; ++round) {
    looked = 0;
    floor_walk = std::min(floor_walk, Walk(root, &looked));
    const WholeRun run = RunInFolder(QUORVEL_TREE_BINARY, folder, where_used, false, answer);
    if (round == 0 || run.seconds < again.seconds) again = run;
    peak = std::max(peak, run.peak_kib);
    again_users = UsersIn(ContentsOf(answer));
  }

  // A run renamed a twentieth of the documents: their files written again.
  const size_t changed = project.subs.size() / 8;
  for (size_t i = 0; i < changed; ++i) {
    std::ofstream(project.subs[i], std::ios::binary | std::ios::app) << "\n";
  }
  std::vector<std::string> notes;
  std::string why;
  start = std::chrono::steady_clock::now();
  ProjectIndex index;
  const bool refreshed = index.Open(Disk(), root, index_path, &notes, &why);
  const double after_run = Since(start);
  const Question one = Ask(index, typical);
  const Question wide = Ask(index, files[0]);
  const WholeRun widest = RunInFolder(
      QUORVEL_TREE_BINARY, folder,
      {"--where-used", files[0], "--project", root, "--index", index_path}, false, answer);

  peak = std::max(peak, widest.peak_kib);
  std::printf(
      "first index   %7.2f s   %4.1fx (reading every document once: %.2f s;"
      " its %.1f MiB alone: %.2f s)\n",
      first.seconds, first.seconds / floor_read, floor_read, bytes_read / 1048576.0, floor_bytes);
  std::printf(
      "refresh       %7.2f s   %4.1fx (a walk that looks at every file: %.2f s, %ld files)\n",
      again.seconds, again.seconds / floor_walk, floor_walk, looked);
  std::printf("after a run   %7.2f s          (%zu documents changed, %lld read again)\n",
              after_run, changed, static_cast<long long>(index.counts().read));
  std::printf("where-used    %7.4f s          (%ld documents use %s, %zu bytes of tree)\n",
              one.seconds, one.users, typical.substr(root.size() + 1).c_str(), one.bytes);
  std::printf(
      "where-used    %7.4f s          (%ld documents use %s, %zu bytes of tree;"
      " the whole command %.2f s)\n",
      wide.seconds, wide.users, files[0].substr(root.size() + 1).c_str(), wide.bytes,
      widest.seconds);
  std::printf("peak memory   %7.1f MiB        (the largest of the commands)\n",
              peak / 1024.0);
  if (!std::getenv("QUORVEL_KEEP_PROJECT")) std::filesystem::remove_all(folder);
  const bool ok = floor_read > 0 && first.exit_code == 0 && again.exit_code == 0 &&
                  widest.exit_code == 0 && refreshed && first_users > 0 &&
                  again_users == first_users && index.counts().documents == documents &&
                  index.counts().read == static_cast<int64_t>(changed) && one.users > 0 &&
                  wide.users > one.users;
  if (!ok) std::fprintf(stderr, "the index did not hold every document, or a part is unused\n");
  return ok ? 0 : 1;
}
