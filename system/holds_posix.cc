#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <sstream>

#include "system/holds_system.h"
#include "system/paths.h"

namespace {

// What /proc tells of process `process`: its state letter and when it started (in clock ticks
// since the machine started); false where there is no /proc or no such process.
bool ProcessStatus(int64_t process, char* state, int64_t* started) {
  const std::string path = "/proc/" + std::to_string(process) + "/stat";
  FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) return false;
  char buffer[1024];
  const size_t n = std::fread(buffer, 1, sizeof buffer - 1, file);
  std::fclose(file);
  const std::string text(buffer, n);
  // "PID (NAME) STATE ...": the name may hold blanks and parentheses; the start is field 22.
  const size_t close = text.rfind(')');
  if (close == std::string::npos) return false;
  std::istringstream fields(text.substr(close + 1));
  std::string field;
  for (int i = 3; i <= 22 && fields >> field; ++i) {
    if (i == 3) *state = field.empty() ? '?' : field[0];
    if (i == 22) *started = std::atoll(field.c_str());
  }
  return true;
}

std::string UserName() {
  const struct passwd* user = getpwuid(geteuid());
  if (user != nullptr && user->pw_name != nullptr) return user->pw_name;
  return "uid " + std::to_string(geteuid());
}

std::string MachineName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
  return name;
}

}  // namespace

const Holder& ThisProcess() {
  static Holder me;
  // Made anew in a process forked since: its number differs.
  if (me.process != static_cast<int64_t>(getpid())) {
    me.user = UserName();
    me.machine = MachineName();
    me.process = static_cast<int64_t>(getpid());
    char state = '?';
    me.started = 0;
    ProcessStatus(me.process, &state, &me.started);
  }
  return me;
}

bool ProcessRuns(int64_t process, int64_t started) {
  if (process <= 0 || static_cast<int64_t>(static_cast<pid_t>(process)) != process) return false;
  if (kill(static_cast<pid_t>(process), 0) != 0 && errno != EPERM) return false;
  char state = '?';
  int64_t now_started = 0;
  if (!ProcessStatus(process, &state, &now_started)) return true;  // no /proc: it answers
  // A process killed and not yet reaped by its parent holds nothing any more.
  if (state == 'Z' || state == 'X') return false;
  return started == 0 || now_started == started;
}

std::string ResolvedPath(const std::string& path) {
  if (char* resolved = realpath(path.c_str(), nullptr)) {
    std::string whole = resolved;
    free(resolved);
    return whole;
  }
  // A file not there yet: its folder resolved, its name as it is.
  const std::string folder = DirectoryOf(path);
  const std::string name = path.substr(path.rfind('/') + 1);
  if (char* resolved = realpath(folder.c_str(), nullptr)) {
    std::string whole = resolved;
    free(resolved);
    return whole + (whole == "/" ? "" : "/") + name;
  }
  return path;
}

int CreateHoldFile(const std::string& path, const std::string& text, std::string* why) {
  const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (file < 0 && (errno == EMFILE || errno == ENFILE || errno == ENOMEM)) {
    *why = std::strerror(errno);
    return -2;
  }
  if (file < 0) return errno == EEXIST ? 0 : -1;
  // Readable by all, whatever the umask, so that other users see who holds the file.
  const bool ok = fchmod(file, 0644) == 0 &&
                  write(file, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  close(file);
  if (!ok) {
    unlink(path.c_str());
    return -1;
  }
  return 1;
}

int ReadHoldFile(const std::string& path, size_t limit, std::string* text, int64_t* age) {
  text->clear();
  const int file = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (file < 0) return errno == ENOENT ? 0 : -1;
  struct stat status;
  if (fstat(file, &status) != 0 || !S_ISREG(status.st_mode)) {
    close(file);
    return -1;
  }
  *age = static_cast<int64_t>(std::time(nullptr)) - static_cast<int64_t>(status.st_mtime);
  text->resize(limit);
  size_t done = 0;
  while (done < limit) {
    const ssize_t n = read(file, &(*text)[done], limit - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  close(file);
  text->resize(done);
  return 1;
}

bool MoveHoldFile(const std::string& from, const std::string& to) {
  return rename(from.c_str(), to.c_str()) == 0;
}

bool RestoreHoldFile(const std::string& from, const std::string& to) {
  // A new name for the file, never one that replaces what is there.
  return link(from.c_str(), to.c_str()) == 0;
}

void RemoveHoldFile(const std::string& path) { unlink(path.c_str()); }
