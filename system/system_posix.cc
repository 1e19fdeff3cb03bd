#include <stdio.h>

#include "system/system.h"

bool OnWindows() { return false; }

void BinaryStandardOutput() {}

int64_t StreamPosition(FILE* stream) { return static_cast<int64_t>(ftello(stream)); }

bool SetStreamPosition(FILE* stream, int64_t position) {
  return fseeko(stream, static_cast<off_t>(position), SEEK_SET) == 0;
}

FILE* OpenForReading(const char* path) { return fopen(path, "rb"); }
