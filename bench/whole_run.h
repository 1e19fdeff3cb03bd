// One whole run of a command (build/Quorvel, Quorvel-check...) in a folder, timed, with its
// peak memory.
#ifndef BENCH_WHOLE_RUN_H
#define BENCH_WHOLE_RUN_H

#include <string>
#include <vector>

struct WholeRun {
  int exit_code = -1;      // -1 when the run could not be started or did not exit
  int signal = 0;          // the signal that ended it, if one did (a crash)
  double seconds = 0;      // wall clock
  double cpu_seconds = 0;  // user and system time: what the run costs on a machine of its own
  long peak_kib = 0;
};

// Runs `binary` with `arguments` (by default rename.ztr) in `folder` and waits for it; its
// standard output and error go to /dev/null when `quiet`, its standard output to the file
// `output` when one is named.
WholeRun RunInFolder(const std::string& binary, const std::string& folder,
                     const std::vector<std::string>& arguments = {"rename.ztr"}, bool quiet = false,
                     const std::string& output = "");

// The bytes of the file at `path`; empty when it cannot be read.
std::string ContentsOf(const std::string& path);

// The last line of the text file at `path`; empty when it cannot be read.
std::string LastLineOf(const std::string& path);

#endif  // BENCH_WHOLE_RUN_H
