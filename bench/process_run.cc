#include "bench/process_run.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

ProcessRun RunProcess(const std::vector<std::string>& argv, const std::string& folder,
                      const std::string& output) {
  ProcessRun run;
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(127);
    const int out = output.empty() ? open("/dev/null", O_WRONLY)
                                   : open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || dup2(out, STDOUT_FILENO) < 0) _exit(127);
    execv(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage;
  if (child < 0 || wait4(child, &status, 0, &usage) != child) return run;
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.cpu_seconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
                    usage.ru_stime.tv_usec / 1e6;
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.peak_kib = usage.ru_maxrss;
  return run;
}

ProcessRun BestRun(int rounds, const std::vector<std::string>& argv, const std::string& folder,
                   const std::string& output) {
  ProcessRun best;
  for (int round = 0; round < rounds; ++round) {
    const ProcessRun run = RunProcess(argv, folder, output);
    if (run.exit_code != 0) return run;
    if (round == 0 || run.seconds < best.seconds) best = run;
  }
  return best;
}
