#include <errno.h>
#include <stdio.h>
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

bool StandardOutputIsTerminal() { return isatty(STDOUT_FILENO) == 1; }
