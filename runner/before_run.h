// What is settled before a run touches anything: every control file read and its stages run in
// a session that writes nothing, all as one plan (Quorvel-check --open on all of them), every
// log one the tool can write, no control file cut short of what it lists, and room on every
// volume for what the run and its way back will write. Any of these refuses the run.
#ifndef RUNNER_BEFORE_RUN_H
#define RUNNER_BEFORE_RUN_H

#include <ostream>
#include <string>
#include <vector>

#include "system/files.h"

// One control file of the plan.
struct PlannedRun {
  std::string control_file;          // as the command line named it
  std::string log;                   // the tool's log beside it, spelled alike
  int documents = 0;                 // documents the run loads and saves
  std::vector<std::string> targets;  // the files it saves to, as storage names, each once
};

struct BeforeRun {
  std::vector<PlannedRun> runs;
  std::vector<std::string> targets;   // every file the plan saves to, each once, in order
  std::vector<std::string> refusals;  // why the run may not begin; none when it may
};

// Checks the plan of `control_files` on `files`, nothing written; the way back is to be kept in
// `journal_folder`. The check's findings are printed on `out` as Quorvel-check prints them.
void CheckBeforeRun(FileSystem& files, const std::vector<std::string>& control_files,
                    const std::string& journal_folder, std::ostream& out, BeforeRun* result);

#endif  // RUNNER_BEFORE_RUN_H
