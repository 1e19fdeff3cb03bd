#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "system/paths.h"
#include "system/process.h"

extern char** environ;

namespace {

class PosixChild : public ChildProcess {
 public:
  explicit PosixChild(pid_t pid) : pid_(pid) {}
  ~PosixChild() override {
    int ignored;
    if (!ended_) Wait(-1, &ignored);
  }

  bool Wait(int milliseconds, int* exit_code) override {
    if (!ended_) {
      int status = 0;
      // Polled in steps of 10 ms; a negative time waits for the end.
      for (int waited = 0;; waited += 10) {
        const pid_t done = waitpid(pid_, &status, milliseconds < 0 ? 0 : WNOHANG);
        if (done < 0 && errno == EINTR) continue;
        if (done < 0) {
          ended_ = true;
          exit_code_ = -1;
          break;
        }
        if (done == pid_) {
          ended_ = true;
          exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
          break;
        }
        if (waited >= milliseconds) return false;
        const timespec step{0, 10 * 1000 * 1000};
        nanosleep(&step, nullptr);
      }
    }
    *exit_code = exit_code_;
    return true;
  }

  void Stop() override {
    if (!ended_) kill(pid_, SIGTERM);
  }

 private:
  pid_t pid_;
  bool ended_ = false;
  int exit_code_ = -1;
};

volatile sig_atomic_t g_end_asked = 0;
const int kEndSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_before[3];

void NoteEnd(int) { g_end_asked = 1; }

}  // namespace

EndRequests::EndRequests() {
  g_end_asked = 0;
  struct sigaction note = {};
  note.sa_handler = NoteEnd;
  sigemptyset(&note.sa_mask);
  for (int i = 0; i < 3; ++i) sigaction(kEndSignals[i], &note, &g_before[i]);
}

EndRequests::~EndRequests() {
  for (int i = 0; i < 3; ++i) sigaction(kEndSignals[i], &g_before[i], nullptr);
}

bool EndAsked() { return g_end_asked != 0; }

std::string OwnExecutablePath() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path);
  if (n <= 0 || static_cast<size_t>(n) >= sizeof path) return std::string();
  return StorageName(std::string(path, static_cast<size_t>(n)));
}

std::string ExecutableFileName(const std::string& name) { return name; }

std::vector<std::string> ChangedEnvironment(const std::vector<std::string>& changes) {
  std::vector<std::string> variables;
  for (char** entry = environ; *entry != nullptr; ++entry) variables.emplace_back(*entry);
  for (const std::string& change : changes) {
    const std::string prefix = change.substr(0, change.find('=')) + "=";
    std::vector<std::string> kept;
    for (std::string& variable : variables) {
      if (variable.compare(0, prefix.size(), prefix) != 0) kept.push_back(variable);
    }
    variables.swap(kept);
    if (change.find('=') != std::string::npos) variables.push_back(change);
  }
  return variables;
}

ExecVectors::ExecVectors(const std::string& program, const std::vector<std::string>& arguments,
                         const std::vector<std::string>& environment)
    : arguments_{program}, variables_(ChangedEnvironment(environment)) {
  arguments_.insert(arguments_.end(), arguments.begin(), arguments.end());
  for (std::string& argument : arguments_) argv_.push_back(&argument[0]);
  argv_.push_back(nullptr);
  for (std::string& variable : variables_) envp_.push_back(&variable[0]);
  envp_.push_back(nullptr);
}

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::string& program,
                                                  const std::vector<std::string>& arguments,
                                                  const std::vector<std::string>& environment,
                                                  std::string* why) {
  const ExecVectors vectors(program, arguments, environment);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
  pid_t pid = 0;
  const int error =
      posix_spawn(&pid, program.c_str(), &actions, nullptr, vectors.argv(), vectors.envp());
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) {
    *why = "\"" + program + "\": " + std::strerror(error);
    return nullptr;
  }
  return std::make_unique<PosixChild>(pid);
}
