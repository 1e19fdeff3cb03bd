// How each companion's main runs its command, on the disk: running out of memory ends the
// command as a failure it reports (exit 3 with the reason on standard error), never as an abort.
#ifndef FINDINGS_COMPANION_MAIN_H
#define FINDINGS_COMPANION_MAIN_H

#include <iostream>
#include <new>

#include "system/files.h"

template <typename Command>
int RunCompanionMain(Command command, int argc, char* argv[]) {
  try {
    return command(argc, argv, std::cout, std::cerr, Disk());
  } catch (const std::bad_alloc&) {
    std::cout.flush();
    std::cerr << (argc > 0 ? argv[0] : "") << ": out of memory" << std::endl;
    return 3;
  }
}

#endif  // FINDINGS_COMPANION_MAIN_H
