// Programs run as child processes of this one, for the commands that run the tool itself:
// started with this process's environment (changed as asked), its working folder and its
// standard error, and waited for a little at a time so that the caller can show progress
// meanwhile. process_posix.cc and process_windows.cc implement it for each system.
#ifndef SYSTEM_PROCESS_H
#define SYSTEM_PROCESS_H

#include <memory>
#include <string>
#include <vector>

// The storage name of this program's own executable file; empty when the system cannot tell.
std::string OwnExecutablePath();

// The file name of the program named `name` on this system ("Quorvel", "Quorvel.exe").
std::string ExecutableFileName(const std::string& name);

// This process's environment, "NAME=VALUE" each, changed by `changes`: "NAME=VALUE" sets a
// variable, a bare "NAME" removes one (names compared as the system compares them).
std::vector<std::string> ChangedEnvironment(const std::vector<std::string>& changes);

#ifndef _WIN32
// A program's argument vector (its own path first) and environment (this process's, changed as
// ChangedEnvironment changes it) as posix_spawn and execve take them; the strings live as long
// as it does. Made before a fork, so that the child calls only async-signal-safe functions.
class ExecVectors {
 public:
  ExecVectors(const std::string& program, const std::vector<std::string>& arguments,
              const std::vector<std::string>& environment);
  ExecVectors(const ExecVectors&) = delete;
  ExecVectors& operator=(const ExecVectors&) = delete;
  char* const* argv() const { return argv_.data(); }
  char* const* envp() const { return envp_.data(); }

 private:
  std::vector<std::string> arguments_, variables_;
  std::vector<char*> argv_, envp_;
};
#endif

class ChildProcess {
 public:
  // Starts `program` (a path to an executable) with `arguments` after its own name. Its
  // standard input is empty; its standard output goes to this process's standard error, so
  // that what this process prints stays its own; its standard error is this process's. Its
  // environment is this process's, changed by `environment`: "NAME=VALUE" sets a variable, a
  // bare "NAME" removes one. Null, with the system's reason, when it cannot be started.
  static std::unique_ptr<ChildProcess> Start(const std::string& program,
                                             const std::vector<std::string>& arguments,
                                             const std::vector<std::string>& environment,
                                             std::string* why);
  // Waits for a child still running: it is never left behind unwaited, nor killed.
  virtual ~ChildProcess() = default;

  // Waits at most `milliseconds` for the child to end. True when it has ended: `exit_code` is
  // then its exit code, or -1 when it did not exit by itself (killed by a signal).
  virtual bool Wait(int milliseconds, int* exit_code) = 0;
  // Asks the child to end now (on POSIX SIGTERM; on Windows it is ended); Wait tells when it
  // has.
  virtual void Stop() = 0;
};

// While one lives, a request to end this process (Ctrl+C, SIGTERM, SIGHUP; on Windows Ctrl+C
// and Ctrl+Break) is noted rather than obeyed, so that a program that runs others can stop
// them, keep what it must and end in order. Made anew, it forgets earlier requests.
class EndRequests {
 public:
  EndRequests();
  ~EndRequests();
  EndRequests(const EndRequests&) = delete;
  EndRequests& operator=(const EndRequests&) = delete;
};

// True when this process was asked to end while an EndRequests lived.
bool EndAsked();

#endif  // SYSTEM_PROCESS_H
