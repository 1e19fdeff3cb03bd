#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <iostream>

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

FILE* OpenForReading(const char* path) { return std::fopen(path, "rb"); }
