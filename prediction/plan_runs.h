// A plan in one or several control files, predicted as the tool runs them one after the other:
// each is read, then run by the tool's own stages in a session that writes nothing, all on one
// overlay of the file system, so that each run finds what the runs before it would have
// written. Quorvel-check --open, Quorvel-tree --plan and Quorvel-plan write predict through it.
#ifndef PREDICTION_PLAN_RUNS_H
#define PREDICTION_PLAN_RUNS_H

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "controlfile/ztr_object_manager.h"
#include "findings/listed_objects.h"
#include "findings/reading_map.h"
#include "plan/ztr_document_manager.h"
#include "prediction/placed_findings.h"
#include "prediction/run_prediction.h"
#include "system/memory_overlay.h"

// One control file of the plan: its records by line, the plan built from it and, once
// predicted, what its run would do.
struct ControlFileRun {
  std::string name;  // as the command line named it
  ReadingMap map;
  ZTRObjectManager objects;
  CheckedPlan listed;
  std::ostringstream log;  // the stages' log lines stay in memory
  std::unique_ptr<ZTRDocumentManager> plan;
  RunPrediction prediction;
  std::vector<PlacedFinding> findings;  // the prediction's, at the control file's lines
};

class PlanRuns {
 public:
  // Runs on `files`, to which nothing is written, in sessions named `session_name`.
  PlanRuns(FileSystem& files, const char* session_name)
      : overlay_(files), session_name_(session_name) {}

  // The files as the runs predicted so far would leave them.
  FileSystem& files() { return overlay_; }

  // Reads the control file at `path` as the next run; null, with the reason, when it cannot be
  // read.
  ControlFileRun* Read(const std::string& path, std::string* why);
  // The control file's text `text`, named `name`, as the next run.
  ControlFileRun* ReadText(const std::string& name, const std::string& text);

  // Runs `run` as the tool would after the runs predicted before it, its console lines off.
  // False, with the reason, when no session of the platform can be created.
  bool Predict(ControlFileRun* run, std::string* why);

  const std::vector<std::unique_ptr<ControlFileRun>>& runs() const { return runs_; }

 private:
  ControlFileRun* Add(std::unique_ptr<ControlFileRun> run);

  MemoryOverlay overlay_;
  const char* session_name_;
  std::vector<std::unique_ptr<ControlFileRun>> runs_;
};

#endif  // PREDICTION_PLAN_RUNS_H
