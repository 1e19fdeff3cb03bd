// One whole run of build/Quorvel on rename.ztr in a folder, timed, with its peak memory.
#ifndef BENCH_WHOLE_RUN_H
#define BENCH_WHOLE_RUN_H

#include <string>

struct WholeRun {
  int exit_code = -1;      // -1 when the run could not be started or did not exit
  double seconds = 0;      // wall clock
  double cpu_seconds = 0;  // user and system time: what the run costs on a machine of its own
  long peak_kib = 0;
};

// Runs `binary rename.ztr` in `folder` and waits for it.
WholeRun RunInFolder(const std::string& binary, const std::string& folder);

// The last line of the text file at `path`; empty when it cannot be read.
std::string LastLineOf(const std::string& path);

#endif  // BENCH_WHOLE_RUN_H
