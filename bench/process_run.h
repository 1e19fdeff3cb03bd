// Runs a program as a process of its own and measures it as users would: wall-clock time, the
// processor time it used, and its peak memory.
#ifndef BENCH_PROCESS_RUN_H
#define BENCH_PROCESS_RUN_H

#include <string>
#include <vector>

struct ProcessRun {
  int exit_code = -1;  // -1 when it did not exit normally
  double seconds = 0;
  double cpu_seconds = 0;  // user and system
  long peak_kib = 0;
};

// Runs `argv` in `folder` (the current one when empty), its standard output written to
// `output` (thrown away when empty), its standard input and error left as they are.
ProcessRun RunProcess(const std::vector<std::string>& argv, const std::string& folder = "",
                      const std::string& output = "");

// The best of `rounds` runs by wall-clock time; the first that fails is returned at once.
ProcessRun BestRun(int rounds, const std::vector<std::string>& argv, const std::string& folder = "",
                   const std::string& output = "");

#endif  // BENCH_PROCESS_RUN_H
