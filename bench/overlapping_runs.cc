// Runs two Quorvel processes at once on overlapping control files, round after round: on a
// copy of examples/bracket, one renaming Bolt.1 and the other Bolt.2 of one assembly, and on a
// generated structure, both renaming all of it. Whichever order the runs take, every save a log
// tells of must be on disk: the file it names holds each instance name that the run set in that
// document. Prints how the rounds went; fails on any save told of that is not on disk, on a
// run that crashed or failed, and on a hold left behind.
//   overlapping_runs [ROUNDS [DOCUMENTS]]   (100 rounds, a structure of 100 documents)
#include <fcntl.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bench/structure_generator.h"
#include "bench/whole_run.h"

namespace {

namespace fs = std::filesystem;

// Starts Quorvel on `control_file` in `folder`, its console discarded; the process number.
pid_t Start(const std::string& folder, const std::string& control_file) {
  const pid_t child = fork();
  if (child == 0) {
    const int null = open("/dev/null", O_WRONLY);
    if (chdir(folder.c_str()) != 0 || null < 0 || dup2(null, 1) < 0 || dup2(null, 2) < 0) {
      _exit(127);
    }
    execl(QUORVEL_BINARY, QUORVEL_BINARY, control_file.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  return child;
}

// True when the process exited with 0.
bool Succeeded(pid_t child) {
  int status = 0;
  return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

// What the log of a run in `folder` tells: the saves, and for each whether it is on disk.
struct Told {
  int saves = 0;
  std::vector<std::string> not_on_disk;
};

Told Check(const std::string& folder, const std::string& log) {
  Told told;
  std::map<std::string, std::vector<std::string>> names;  // set in each document
  std::string current;
  std::ifstream in(folder + "/" + log);
  const std::string find = "Find document in session: ", set = "InstanceName set to: ";
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(find, 0) == 0) current = line.substr(find.size());
    if (line.rfind(set, 0) == 0) names[current].push_back(line.substr(set.size()));
    const size_t as = line.find(" saved as ");
    if (line.rfind("Document ", 0) != 0 || as == std::string::npos) continue;
    ++told.saves;
    const std::string document = line.substr(9, as - 9), target = line.substr(as + 10);
    const std::string there = ContentsOf(folder + "/" + target);
    for (const std::string& name : names[document]) {
      if (there.find("\ncomponent " + name + "\n") == std::string::npos) {
        told.not_on_disk.push_back(log + ": " + line + " (no " + name + ")");
      }
    }
    if (there.empty()) told.not_on_disk.push_back(log + ": " + line + " (no file)");
  }
  return told;
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// A control file that renames Bolt.N of the example's assembly.
std::string BoltRename(int n) {
  const std::string i = std::to_string(n);
  return "@ROOT\n{PARENT_OBJECTS}{ASM}\n{INSTANCE_OBJECTS}{BOLT" + i +
         "}\n\n@ASM\n{PARTNUMBER}BRACKET-ASM-001\n{EXTERNAL_LOCATION}bracket-asm.CATProduct\n\n"
         "@BOLT" +
         i + "\n{PARENT_PARTNUMBER}BRACKET-ASM-001\n{INSTANCENAME}Bolt." + i +
         "\n{NEW_INSTANCENAME}M8x25." + i + "\n";
}

struct Tally {
  int rounds = 0, both_saved = 0, one_saved = 0, failures = 0;
};

// One round in `folder`, made ready by `prepare`: the two control files run at once.
void Round(const std::string& folder, const std::string& first, const std::string& second,
           Tally* tally) {
  const pid_t a = Start(folder, first), b = Start(folder, second);
  const bool a_ok = Succeeded(a), b_ok = Succeeded(b);
  if (!a_ok || !b_ok) {
    std::fprintf(stderr, "FAILED: a run did not exit with 0 in %s\n", folder.c_str());
    ++tally->failures;
  }
  int saved = 0;
  for (const std::string& control_file : {first, second}) {
    const Told told = Check(folder, control_file + ".log");
    saved += told.saves > 0;
    for (const std::string& lie : told.not_on_disk) {
      std::fprintf(stderr, "FAILED: a save told of is not on disk: %s\n", lie.c_str());
      ++tally->failures;
    }
  }
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.path().filename().string().rfind(".quorvel-hold-", 0) == 0) {
      std::fprintf(stderr, "FAILED: a hold left behind: %s\n", entry.path().c_str());
      ++tally->failures;
    }
  }
  ++tally->rounds;
  tally->both_saved += saved == 2;
  tally->one_saved += saved == 1;
}

void Print(const char* what, const Tally& tally) {
  std::printf("%-36s %4d rounds: both runs saved in %d, one in %d; %d failures\n", what,
              tally.rounds, tally.both_saved, tally.one_saved, tally.failures);
}

}  // namespace

int main(int argc, char* argv[]) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 100;
  const int documents = argc > 2 ? std::atoi(argv[2]) : 100;
  char pattern[] = "/tmp/quorvel-overlap-XXXXXX";
  if (rounds < 1 || documents < 3 || documents > LargestStructure() ||
      mkdtemp(pattern) == nullptr) {
    std::fprintf(stderr, "usage: overlapping_runs [ROUNDS [DOCUMENTS (3 to %d)]]\n",
                 LargestStructure());
    return 2;
  }
  const std::string scratch = pattern;
  const fs::path example = fs::path(QUORVEL_SOURCE_DIR) / "examples" / "bracket";
  Tally bracket, structure;
  for (int round = 0; round < rounds; ++round) {
    const std::string folder = scratch + "/bracket-" + std::to_string(round);
    fs::copy(example, folder, fs::copy_options::recursive);
    WriteText(folder + "/bolt1.ztr", BoltRename(1));
    WriteText(folder + "/bolt2.ztr", BoltRename(2));
    Round(folder, "bolt1.ztr", "bolt2.ztr", &bracket);
    fs::remove_all(folder);
  }
  for (int round = 0; round < rounds; ++round) {
    const std::string folder = scratch + "/structure-" + std::to_string(round);
    fs::create_directory(folder);
    if (!GenerateStructure(documents, folder)) {
      std::fprintf(stderr, "cannot generate a structure of %d documents\n", documents);
      return 1;
    }
    fs::copy_file(folder + "/rename.ztr", folder + "/again.ztr");
    Round(folder, "rename.ztr", "again.ztr", &structure);
    fs::remove_all(folder);
  }
  fs::remove_all(scratch);
  Print("bracket, Bolt.1 and Bolt.2 at once:", bracket);
  Print(("structure of " + std::to_string(documents) + " documents, twice:").c_str(), structure);
  return bracket.failures + structure.failures == 0 ? 0 : 1;
}
