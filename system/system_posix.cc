#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "system/system.h"

bool OnWindows() { return false; }

void BinaryStandardOutput() {}

int64_t StreamPosition(FILE* stream) { return static_cast<int64_t>(ftello(stream)); }

bool SetStreamPosition(FILE* stream, int64_t position) {
  return fseeko(stream, static_cast<off_t>(position), SEEK_SET) == 0;
}

FILE* OpenForReading(const char* path) { return fopen(path, "rb"); }

bool WriteStandardOutput(const char* bytes, size_t size, int* error) {
  for (size_t done = 0; done < size;) {
    const ssize_t n = write(STDOUT_FILENO, bytes + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *error = n < 0 ? errno : EIO;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

namespace {

// How many descriptors below `limit` are open: listed in /proc/self/fd where there is one (the
// listing's own left out), otherwise asked of each number, up to the first 65,536.
int64_t OpenBelow(int64_t limit) {
  if (DIR* listing = opendir("/proc/self/fd")) {
    const int own = dirfd(listing);
    int64_t open = 0;
    while (const struct dirent* entry = readdir(listing)) {
      char* end = nullptr;
      const long fd = strtol(entry->d_name, &end, 10);
      if (end != entry->d_name && *end == '\0' && fd != own && fd < limit) ++open;
    }
    closedir(listing);
    return open;
  }
  int64_t open = 0;
  for (int64_t fd = 0; fd < limit && fd < 65536; ++fd) {
    if (fcntl(static_cast<int>(fd), F_GETFD) != -1) ++open;
  }
  return open;
}

}  // namespace

OpenFileRoom OpenFileRoomNow() {
  OpenFileRoom room;
  struct rlimit limit;
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return room;
  room.limit = static_cast<int64_t>(limit.rlim_cur);
  room.hard_limit = limit.rlim_max == RLIM_INFINITY ? -1 : static_cast<int64_t>(limit.rlim_max);
  room.left = room.limit - OpenBelow(room.limit);
  return room;
}

unsigned NewFilePermissions() {
  // The mask is read by setting it and setting it back: no thread of these programs makes a
  // file meanwhile.
  const mode_t mask = umask(0);
  umask(mask);
  return 0666u & ~static_cast<unsigned>(mask);
}

bool StandardOutputIsTerminal() { return isatty(STDOUT_FILENO) == 1; }
