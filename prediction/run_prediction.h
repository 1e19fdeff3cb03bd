// What a run of a plan would do, found by running the tool's own stages on it in a session
// that writes nothing: what the run would write is kept in memory, where later reads of the
// same file system find it. Both companions that predict a
// run (Quorvel-check --open, Quorvel-tree --plan) take their verdicts from here, so they
// agree with each other and with the run.
#ifndef PREDICTION_RUN_PREDICTION_H
#define PREDICTION_RUN_PREDICTION_H

#include <string>
#include <vector>

#include "plan/ztr_document_manager.h"
#include "system/files.h"

struct PredictedFinding {
  StageList list;  // the record concerned: its list and position from 1
  int index;
  const char* key;  // the control-file key whose line it concerns
  bool error;       // the run fails this record, stops early or destroys a file it needs
  std::string message;
};

// A save the run makes, in order.
struct PredictedSave {
  StageList list;
  int index;
  std::string from;    // the storage name of the document before the save
  std::string target;  // the storage name it is saved to
};

struct RunPrediction {
  std::vector<PredictedFinding> findings;  // in the order the run meets them
  std::vector<PredictedSave> saves;
  bool stops = false;  // a stage stops early
};

// Runs loading and the processing sequence on `plan` as a run does, in a session of its own
// named `session_name` on `files`, after a first look at every listed document in another.
// `files` keeps what the run would write in memory (a MemoryOverlay), where later reads find it.
// False, with the reason in `why`, when no session can be created or files would be written.
bool PredictRun(ZTRDocumentManager* plan, FileSystem& files, const char* session_name,
                RunPrediction* prediction, std::string* why);

#endif  // PREDICTION_RUN_PREDICTION_H
