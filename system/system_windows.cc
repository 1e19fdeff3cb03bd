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
