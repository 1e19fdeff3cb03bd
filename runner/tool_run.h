// One control file run by the tool itself, the Quorvel executable, as a child process, and
// what its log tells of the run: the tool's exit code says nothing of failed saves, its log
// does. While it runs, its log is read again every tenth of a second to show progress.
#ifndef RUNNER_TOOL_RUN_H
#define RUNNER_TOOL_RUN_H

#include <ostream>
#include <string>
#include <vector>

#include "runner/before_run.h"
#include "system/files.h"

struct ToolRun {
  int exit_code = -1;                 // the tool's; -1 when it did not end by itself
  std::string not_started;            // why the tool could not be started; empty when it was
  int loaded = 0;                     // documents loaded
  int saved = 0;                      // documents saved
  int save_attempts = 0;              // saves made or failed
  int renamed = 0;                    // instances renamed
  std::vector<std::string> failures;  // the log's lines of what failed, as they read
  bool finished = false;              // the log ends with the saving stage's closing line
};

// Reads the tool's log text into `run`'s counts.
void ReadToolLog(const std::string& text, ToolRun* run);

// Runs `tool` on `planned`'s control file with this process's environment changed by
// `environment`, then reads its log through `files`. With `progress`, the documents loaded and
// saved of the run's total are shown on it while the tool runs, on one line updated in place
// and cleared at the end. Asked to end (EndAsked), it stops the tool and waits for its end.
void RunTool(FileSystem& files, const std::string& tool,
             const std::vector<std::string>& environment, const PlannedRun& planned,
             std::ostream* progress, ToolRun* run);

#endif  // RUNNER_TOOL_RUN_H
