#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "standin_process.h"
#include "system/process.h"

void StandinSetEnv(const char* name, const char* value) {
  if (value != nullptr) {
    setenv(name, value, 1);
  } else {
    unsetenv(name);
  }
}

int StandinRunProcess(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& directory, const std::vector<std::string>& environment,
                      const std::string& out_file, const std::string& err_file) {
  const ExecVectors vectors(program, arguments, environment);

  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    const int in = open("/dev/null", O_RDONLY);
    const int out =
        open(out_file.empty() ? "/dev/null" : out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    const int err =
        open(err_file.empty() ? "/dev/null" : err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
        chdir(directory.c_str()) != 0) {
      _exit(127);
    }
    execve(program.c_str(), vectors.argv(), vectors.envp());
    _exit(127);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
