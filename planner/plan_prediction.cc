#include "planner/plan_prediction.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "ZTRConfigTopicManager.h"
#include "controlfile/ztr_object_manager.h"
#include "findings/display_text.h"
#include "findings/listed_objects.h"
#include "findings/reading_map.h"
#include "plan/ztr_document_manager.h"
#include "prediction/placed_findings.h"
#include "system/files.h"
#include "system/paths.h"

namespace {

const char kSessionName[] = "Quorvel-plan write";

// A file of the system's temporary folder that holds `text` while it lives: the reader reads
// control files from files.
class TemporaryControlFile {
 public:
  explicit TemporaryControlFile(const std::string& text) {
    std::error_code error;
    std::random_device seed;
    path_ = (std::filesystem::temp_directory_path(error) /
             ("quorvel-plan-" + std::to_string(std::mt19937_64(seed())()) + ".ztr"))
                .string();
    std::ofstream(path_, std::ios::binary) << text;
  }
  ~TemporaryControlFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace

size_t PredictControlFiles(const RenamePlan& plan, const std::vector<std::string>& texts,
                           const std::vector<std::string>& names, std::ostream& err) {
  const NothingWritten nothing_written;
  // The stages' console lines stay off; their log goes to memory.
  const int trace_level = g_ZTRConfig.GetTraceLevel();
  g_ZTRConfig.SetTraceLevel(0);
  size_t errors = 0;
  std::string why;
  for (const int d : plan.changes) {
    if (!MakeFolders(DirectoryOf(StorageName(plan.documents[size_t(d)].new_file)), &why)) break;
  }
  for (size_t i = 0; i < texts.size(); ++i) {
    const TemporaryControlFile file(texts[i]);
    ReadingMap map;
    ZTRObjectManager objects;
    if (!objects.ReadFile(file.path().c_str(), &map)) {
      err << DisplayText(names[i]) << ": error: cannot be read back from "
          << QuotedFile(file.path()) << std::endl;
      ++errors;
      continue;
    }
    std::ostringstream no_log;
    ZTRDocumentManager run(objects, &no_log);
    RunPrediction prediction;
    if (!PredictRun(&run, kSessionName, &prediction, &why)) {
      err << DisplayText(names[i]) << ": error: " << why << std::endl;
      ++errors;
      continue;
    }
    for (const PlacedFinding& finding : PlaceFindings(prediction, ListPlanObjects(objects), map)) {
      if (!finding.error) continue;
      err << DisplayText(names[i]) << ":" << finding.line << ": error: " << finding.message << "\n";
      ++errors;
    }
  }
  g_ZTRConfig.SetTraceLevel(trace_level);
  err << std::flush;
  return errors;
}
