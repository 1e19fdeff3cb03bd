#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <iostream>

#include "system/names_windows.h"
#include "system/system.h"

bool OnWindows() { return true; }

void BinaryStandardOutput() {
  std::cout.flush();
  std::fflush(stdout);
  _setmode(_fileno(stdout), _O_BINARY);
}

int64_t StreamPosition(FILE* stream) { return _ftelli64(stream); }

bool SetStreamPosition(FILE* stream, int64_t position) {
  return _fseeki64(stream, position, SEEK_SET) == 0;
}

FILE* OpenForReading(const char* path) {
  // The long-path form reaches files past MAX_PATH; a device (CON, a pipe) is left as named.
  return _wfopen(LongPath(path).c_str(), L"rb");
}

bool WriteStandardOutput(const char* bytes, size_t size, int* error) {
  for (size_t done = 0; done < size;) {
    const unsigned chunk = static_cast<unsigned>(std::min<size_t>(size - done, 1u << 30));
    const int n = _write(_fileno(stdout), bytes + done, chunk);
    if (n <= 0) {
      *error = n < 0 ? errno : EIO;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// A process may have about 16 million handles open: no run comes near it. (The C runtime's
// 512 streams concern fopen alone, which reads one control file at a time.)
OpenFileRoom OpenFileRoomNow() { return OpenFileRoom(); }

unsigned NewFilePermissions() { return 0666; }

bool StandardOutputIsTerminal() { return _isatty(_fileno(stdout)) != 0; }
