// Times the tool as users run it, a whole process, on generated control files of 10,000,
// 100,000 and 1,000,000 records (or the sizes given as arguments), side by side with a program
// that only reads the same file with fscanf and the tool's line patterns, with one that only
// reads the file into memory it keeps (what keeping the file's text costs at least), and with
// cat; then the tool again on a file of the same size whose ROOT lists thousands of records
// spread over it.
// Each figure is the best of three runs; peak memory is the tool's. Every run is checked for
// the work it was timed for (records read, documents loaded, instances looked up), and the
// benchmark fails when one is missing.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/control_file_generator.h"
#include "bench/whole_run.h"

namespace {

const int kRounds = 3;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

long CountStarting(const std::vector<std::string>& lines, const std::string& start) {
  long count = 0;
  for (const std::string& line : lines) count += line.compare(0, start.size(), start) == 0;
  return count;
}

int failures = 0;

// The best of kRounds runs by wall clock; the first that fails is returned at once.
WholeRun BestRun(const std::string& binary, const std::string& folder, const std::string& argument,
                 bool quiet = false, const std::string& output = "") {
  WholeRun best;
  for (int round = 0; round < kRounds; ++round) {
    const WholeRun run = RunInFolder(binary, folder, {argument}, quiet, output);
    if (run.exit_code != 0) return run;
    if (round == 0 || run.seconds < best.seconds) best = run;
  }
  return best;
}

void Fail(const std::string& what) {
  std::fprintf(stderr, "FAILED: %s\n", what.c_str());
  ++failures;
}

// The run ended at loading the file's last record: the reader read everything.
void CheckReadingRun(const WholeRun& run, const std::string& log) {
  const std::vector<std::string> lines = Lines(ContentsOf(log));
  if (run.exit_code != 0 || lines.size() != 2 ||
      lines[1] != std::string("Failed to load document: ") + kEndOfFileDocument) {
    Fail("Quorvel did not read the control file to its end (exit " + std::to_string(run.exit_code) +
         ", log " + log + ")");
  }
}

// Every listed document loaded, every instance's parent looked up, the last one missing.
void CheckPlanRun(const WholeRun& run, const std::string& log, const GeneratedControlFile& f) {
  const std::vector<std::string> lines = Lines(ContentsOf(log));
  const long loaded = CountStarting(lines, "Partnumber set to: PRT-");
  const long looked_up = CountStarting(lines, "Failed to change the instance name: Missing.");
  if (run.exit_code != 0 || loaded != f.documents + f.changeable_documents ||
      looked_up != f.instances - 1 || lines.empty() ||
      lines.back() !=
          std::string("Failed to find document name for partnumber: ") + kMissingParent) {
    Fail("Quorvel did not build and run the whole plan: " + std::to_string(loaded) +
         " documents loaded of " + std::to_string(f.documents + f.changeable_documents) + ", " +
         std::to_string(looked_up + 1) + " instances of " + std::to_string(f.instances) +
         " (exit " + std::to_string(run.exit_code) + ", log " + log + ")");
  }
}

std::string Figure(const WholeRun& run) {
  char text[64];
  std::snprintf(text, sizeof text, "%.3f s (cpu %.3f)", run.seconds, run.cpu_seconds);
  return text;
}

}  // namespace

int main(int argc, char* argv[]) {
  std::vector<long> sizes = {10000, 100000, 1000000};
  if (argc > 1) sizes.clear();
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atol(argv[i]));

  std::printf(
      "| records | file | Quorvel | fscanf loop | read into memory | cat | fscanf loop / Quorvel | "
      "Quorvel / cat | Quorvel peak memory | plan: listed records | plan: Quorvel |\n"
      "|---|---|---|---|---|---|---|---|---|---|---|\n");
  for (long records : sizes) {
    char pattern[] = "/tmp/quorvel-reader-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
      std::perror("mkdtemp");
      return 1;
    }
    const std::string folder = pattern;
    GeneratedControlFile reading, plan;
    if (!WriteReadingControlFile(folder + "/reading.ztr", records, &reading) ||
        !WritePlanControlFile(folder + "/plan.ztr", records, "asm.CATProduct", &plan)) {
      std::fprintf(stderr, "cannot write control files of %ld records into %s\n", records,
                   folder.c_str());
      return 1;
    }
    std::ofstream(folder + "/asm.CATProduct") << "STANDIN-DOCUMENT 1\nproduct\npartnumber ASM\n";

    const WholeRun tool = BestRun(QUORVEL_BINARY, folder, "reading.ztr");
    CheckReadingRun(tool, folder + "/reading.ztr.log");
    const WholeRun fscanf_loop =
        BestRun(FSCANF_LOOP_BINARY, folder, "reading.ztr", false, folder + "/fscanf.out");
    const std::string counted = std::to_string(reading.records) + " records, " +
                                std::to_string(reading.attributes) + " attributes\n";
    if (fscanf_loop.exit_code != 0 || ContentsOf(folder + "/fscanf.out") != counted) {
      Fail("the fscanf loop did not read every record");
    }
    const WholeRun into_memory =
        BestRun(READ_INTO_MEMORY_BINARY, folder, "reading.ztr", false, folder + "/read.out");
    if (into_memory.exit_code != 0 ||
        ContentsOf(folder + "/read.out") != std::to_string(reading.bytes) + " bytes\n") {
      Fail("reading into memory did not read every byte");
    }
    const WholeRun cat = BestRun("/bin/cat", folder, "reading.ztr", true);
    if (cat.exit_code != 0) Fail("cat failed");
    const WholeRun planned = BestRun(QUORVEL_BINARY, folder, "plan.ztr");
    CheckPlanRun(planned, folder + "/plan.ztr.log", plan);

    const double mib = 1024.0 * 1024.0;
    std::printf(
        "| %ld | %.1f MiB | %s | %s | %s | %s | %.1fx | %.1fx | %.1f MiB (%.2fx the file) "
        "| %d | %s |\n",
        records, reading.bytes / mib, Figure(tool).c_str(), Figure(fscanf_loop).c_str(),
        Figure(into_memory).c_str(), Figure(cat).c_str(), fscanf_loop.seconds / tool.seconds,
        tool.seconds / cat.seconds, tool.peak_kib / 1024.0,
        tool.peak_kib * 1024.0 / static_cast<double>(reading.bytes),
        plan.documents + plan.changeable_documents + plan.instances, Figure(planned).c_str());
    std::fflush(stdout);
    std::filesystem::remove_all(folder);
  }
  return failures == 0 ? 0 : 1;
}
