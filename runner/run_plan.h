// Quorvel-run [--undo JOURNAL] control_file...: runs a plan in one or several control files with
// the tool itself and tells the truth about it. Before anything is touched it refuses a plan
// that Quorvel-check --open finds wrong, a log the tool could not write, a control file cut
// short and a disk without room; it then keeps the way back, runs the tool on each control file
// in order, proves each run as Quorvel-check --after does and prints one summary with the
// command that goes back.
#ifndef RUNNER_RUN_PLAN_H
#define RUNNER_RUN_PLAN_H

#include <ostream>
#include <string>
#include <vector>

#include "system/files.h"

struct RunnerSettings {
  std::string tool;                      // the Quorvel executable
  std::vector<std::string> environment;  // changes to the tool's environment, "NAME=VALUE"
  bool progress = false;                 // show progress on the output, updated in place
};

// Writes the summary (or help, version) to `out` and returns the exit code: 0 every run proven,
// 1 a run went wrong (the way back printed), 2 refused before anything was touched, 3 a wrong
// command line (with a usage line on `err`). With --undo: 0 everything put back, 1 something
// left as it is (named), 2 no way back there.
int RunCampaignCommand(int argc, char* argv[], std::ostream& out, std::ostream& err,
                       FileSystem& files, const RunnerSettings& settings);

// The settings of the installed command: the tool beside this program's own executable,
// progress on a terminal.
RunnerSettings InstalledSettings();

#endif  // RUNNER_RUN_PLAN_H
