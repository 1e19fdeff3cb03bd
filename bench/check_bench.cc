// Times whole Quorvel-check commands: the check of generated control files of 100,000 and
// 200,000 records (or the sizes given as arguments) side by side, one with 9,000 identifiers
// that name no object among 20,000 records (each searched for a suggestion), and the proof
// after a run on a generated structure of 5,000 documents. Each command's count line is held
// against the findings planted, so that a fast command also did its work. With --small, every
// size is a hundredth or less: a quick run that shows the benchmark still works.
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

namespace {

// Lists in a ROOT value stay below the reader's field width.
const size_t kListWidth = 65000;

struct Run {
  int exit_code = -1;
  double seconds = 0;      // wall clock
  double cpu_seconds = 0;  // user and system: what the command itself spent
  long peak_kib = 0;
  std::string last_line;
  int suggestions = 0;  // lines with "did you mean"
};

Run RunCommand(const std::string& folder, const std::vector<std::string>& args) {
  Run run;
  const std::string report = folder + "/report.txt";
  std::fflush(stdout);  // or the child writes it again
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    if (chdir(folder.c_str()) != 0 || !std::freopen(report.c_str(), "w", stdout)) _exit(127);
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage;
  if (child < 0 || wait4(child, &status, 0, &usage) != child) return run;
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.cpu_seconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                    (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  run.peak_kib = usage.ru_maxrss;
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream in(report);
  for (std::string line; std::getline(in, line);) {
    run.last_line = line;
    if (line.find("did you mean") != std::string::npos) ++run.suggestions;
  }
  return run;
}

// Appends "{ID}" to a ROOT list while it has room; false when it has none.
bool List(std::string* list, const std::string& id) {
  if (list->size() + id.size() + 2 > kListWidth) return false;
  *list += "{" + id + "}";
  return true;
}

// A control file of `records` records: documents, changeable documents and instances, two
// instances to each document, listed under ROOT as far as its lists reach. Every 1,000th record
// has a key that nothing reads: records / 1,000 warnings and nothing else.
std::string GrowthControlFile(int records) {
  std::string parents, children, instances, body;
  for (int r = 0; r < records - 1; ++r) {
    const std::string n = std::to_string(r);
    switch (r % 4) {
      case 0:
        List(&parents, "D" + n);
        body += "@D" + n + "\n{PARTNUMBER}DOC-" + n + "\n{EXTERNAL_LOCATION}docs/doc-" + n +
                ".CATProduct\n";
        break;
      case 1:
        List(&children, "C" + n);
        body += "@C" + n + "\n{PARTNUMBER}PRT-" + n + "\n{EXTERNAL_LOCATION}parts/part-" + n +
                ".CATPart\n{NEW_PARTNUMBER}PRT-" + n + "-B\n{NEW_EXTERNAL_LOCATION}parts/part-" +
                n + "-b.CATPart\n";
        break;
      default:
        List(&instances, "I" + n);
        // The parent is a listed document: one of the first thousand.
        body += "@I" + n + "\n{PARENT_PARTNUMBER}DOC-" + std::to_string(r / 4 % 1000 * 4) +
                "\n{INSTANCENAME}Part." + n + "\n{NEW_INSTANCENAME}Renamed." + n + "\n";
    }
    if (r % 1000 == 998) body += "{NOTE}planted\n";
  }
  return "@ROOT\n{PARENT_OBJECTS}" + parents + "\n{CHILD_OBJECTS}" + children +
         "\n{INSTANCE_OBJECTS}" + instances + "\n" + body;
}

// `records` records and `unknown` (at most as many) listed identifiers that name none of them,
// each one slip away from one: `unknown` errors.
std::string SuggestionControlFile(int records, int unknown) {
  std::string lists[3], body;
  for (int i = 0; i < records; ++i) {
    const std::string n = std::to_string(100000 + i);
    body += "@I" + n + "\n{PARTNUMBER}P" + n + "\n";
    if (i < unknown) lists[i % 3] += "{J" + n + "}";
  }
  return "@ROOT\n{PARENT_OBJECTS}" + lists[0] + "\n{CHILD_OBJECTS}" + lists[1] +
         "\n{INSTANCE_OBJECTS}" + lists[2] + "\n" + body;
}

bool Write(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return static_cast<bool>(out);
}

std::string NewFolder() {
  char pattern[] = "/tmp/quorvel-check-bench-XXXXXX";
  return mkdtemp(pattern) ? pattern : "";
}

// Quorvel-check's count line: "0 errors, 1 warning".
std::string CountLine(int errors, int warnings) {
  return std::to_string(errors) + (errors == 1 ? " error, " : " errors, ") +
         std::to_string(warnings) + (warnings == 1 ? " warning" : " warnings");
}

// Prints the run and whether its count line is `expected`; true when it is.
bool Report(const char* what, const Run& run, const std::string& expected) {
  const bool right = run.last_line == expected;
  std::printf("%-42s %6.2f s (CPU %6.2f s) %6.1f MiB  %s%s\n", what, run.seconds, run.cpu_seconds,
              run.peak_kib / 1024.0, run.last_line.c_str(),
              right ? "" : ("  (expected " + expected + ")").c_str());
  return right;
}

}  // namespace

int main(int argc, char* argv[]) {
  const bool small = argc == 2 && std::string(argv[1]) == "--small";
  std::vector<int> sizes = {100000, 200000};
  if (small) {
    sizes = {1000, 2000};
  } else if (argc > 1) {
    sizes.clear();
    for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  }
  const int records = small ? 2000 : 20000, unknown = small ? 900 : 9000;
  const int documents = small ? 50 : 5000;
  int failures = 0;
  const std::string folder = NewFolder();
  if (folder.empty()) return 1;

  for (int records : sizes) {
    if (!Write(folder + "/rename.ztr", GrowthControlFile(records))) return 1;
    const Run run = RunCommand(folder, {QUORVEL_CHECK_BINARY, "rename.ztr"});
    const std::string label = std::to_string(records) + " records";
    failures += Report(label.c_str(), run, CountLine(0, records / 1000)) ? 0 : 1;
  }

  if (!Write(folder + "/rename.ztr", SuggestionControlFile(records, unknown))) return 1;
  const Run suggested = RunCommand(folder, {QUORVEL_CHECK_BINARY, "rename.ztr"});
  const std::string label =
      std::to_string(unknown) + " unknown among " + std::to_string(records) + " records";
  failures += Report(label.c_str(), suggested, CountLine(unknown, 0)) ? 0 : 1;
  std::printf("%42s %d of them with a suggestion\n", "", suggested.suggestions);

  std::filesystem::remove_all(folder);
  const std::string structure = NewFolder();
  if (structure.empty() || !GenerateStructure(documents, structure)) return 1;
  const Run before = RunCommand(structure, {QUORVEL_CHECK_BINARY, "--after", "rename.ztr"});
  const Run run = RunCommand(structure, {QUORVEL_BINARY, "rename.ztr"});
  const Run after = RunCommand(structure, {QUORVEL_CHECK_BINARY, "--after", "rename.ztr"});
  const std::string of = " (" + std::to_string(documents) + " documents)";
  std::printf("%-42s %6.2f s (CPU %6.2f s)  exit code %d\n", ("Quorvel" + of).c_str(), run.seconds,
              run.cpu_seconds, run.exit_code);
  // Before the run each part is not saved as its new file, and each assembly, saved in place,
  // holds none of its changes: one error for it, whose instances and references follow from it
  // (at 5,000 documents: 4,500 and 500).
  const int findings = Parts(documents) + (documents - Parts(documents));
  failures +=
      Report(("--after, before the run" + of).c_str(), before, CountLine(findings, 0)) ? 0 : 1;
  failures += Report(("--after, after the run" + of).c_str(), after, CountLine(0, 0)) ? 0 : 1;
  std::filesystem::remove_all(structure);
  return failures == 0 ? 0 : 1;
}
