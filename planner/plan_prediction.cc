#include "planner/plan_prediction.h"

#include "findings/display_text.h"
#include "prediction/plan_runs.h"
#include "system/paths.h"

namespace {

const char kSessionName[] = "Quorvel-plan write";

}  // namespace

size_t PredictControlFiles(FileSystem& files, const RenamePlan& plan,
                           const std::vector<std::string>& texts,
                           const std::vector<std::string>& names, std::ostream& err) {
  PlanRuns runs(files, kSessionName);
  size_t errors = 0;
  std::string why;
  // The folders write makes for the new files, made in memory.
  for (const int d : plan.changes) {
    if (!runs.files().MakeFolders(DirectoryOf(StorageName(plan.documents[size_t(d)].new_file)),
                                  &why)) {
      break;
    }
  }
  for (size_t i = 0; i < texts.size(); ++i) {
    ControlFileRun* run = runs.ReadText(names[i], texts[i]);
    if (!runs.Predict(run, &why)) {
      err << DisplayText(names[i]) << ": error: " << why << std::endl;
      ++errors;
      continue;
    }
    for (const PlacedFinding& finding : run->findings) {
      if (!finding.error) continue;
      err << DisplayText(names[i]) << ":" << finding.line << ": error: " << finding.message << "\n";
      ++errors;
    }
  }
  err << std::flush;
  return errors;
}
