// How each companion's main runs its command, on the disk: running out of memory ends the
// command as a failure it reports (exit 3 with the reason on standard error), never as an abort,
// and so does standard output that could not be written in full (a full disk, a closed pipe):
// a report, table or control file cut short is never reported as written.
#ifndef FINDINGS_COMPANION_MAIN_H
#define FINDINGS_COMPANION_MAIN_H

#include <iostream>
#include <new>
#include <ostream>

#include "system/files.h"
#include "system/standard_output.h"

template <typename Command>
int RunCompanionMain(Command command, int argc, char* argv[]) {
  const char* invocation = argc > 0 ? argv[0] : "";
  StandardOutputBuffer buffer;
  std::ostream out(&buffer);
  int exit_code = 3;
  try {
    exit_code = command(argc, argv, out, std::cerr, Disk());
  } catch (const std::bad_alloc&) {
    out.flush();
    std::cerr << invocation << ": out of memory" << std::endl;
    return 3;
  }
  out.flush();
  if (!buffer.failure().empty()) {
    std::cerr << invocation << ": write error: " << buffer.failure() << std::endl;
    return 3;
  }
  return exit_code;
}

#endif  // FINDINGS_COMPANION_MAIN_H
