#include "check/open_check.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <vector>

#include "prediction/placed_findings.h"
#include "prediction/run_prediction.h"
#include "system/files.h"
#include "system/paths.h"

namespace {

const char kSessionName[] = "Quorvel_Check_Session";

std::string Text(const CATUnicodeString& text) {
  return std::string(text.ConvertToChar(), static_cast<size_t>(text.GetLengthInChar()));
}

// Files ".quorvel-save-*" in the folders of the listed documents: left by saves that were cut
// short. Each folder is looked at once; what is found is said at the first document in it.
class LeftoverCheck {
 public:
  LeftoverCheck(const ReadingMap& map, Report* report) : map_(map), report_(report) {}

  void Look(const CATUnicodeString& location, const ListedObject& listed) {
    if (location == CATUnicodeString()) return;
    const std::string folder = DirectoryOf(StorageName(Text(location)));
    if (!seen_.insert(StorageKey(folder)).second) return;
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
      const std::string name = entry->path().filename().string();
      if (name.rfind(kLeftover, 0) == 0) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      report_->Warning(map_.KeyLine(listed.record, "EXTERNAL_LOCATION"),
                       Quoted(folder + (folder.back() == '/' ? "" : "/") + name) +
                           " is left from a save that was cut short; it may be deleted");
    }
  }

 private:
  static constexpr char kLeftover[] = ".quorvel-save-";
  const ReadingMap& map_;
  Report* report_;
  std::set<std::string> seen_;
};

}  // namespace

void CheckOpen(ZTRDocumentManager* plan, const CheckedPlan& listed, const ReadingMap& map,
               Report* report, RunPrediction* predicted) {
  LeftoverCheck leftovers(map, report);
  for (int i = 1; i <= plan->DocumentCount(); ++i) {
    leftovers.Look(plan->DocumentAt(i).ExternalLocation, listed.documents[size_t(i - 1)]);
  }
  for (int i = 1; i <= plan->ChangeableDocumentCount(); ++i) {
    leftovers.Look(plan->ChangeableDocumentAt(i).ExternalLocation,
                   listed.changeable_documents[size_t(i - 1)]);
  }
  std::string why;
  if (!PredictRun(plan, kSessionName, predicted, &why)) {
    report->Error(1, why);
    return;
  }
  for (const PlacedFinding& finding : PlaceFindings(*predicted, listed, map)) {
    if (finding.error) {
      report->Error(finding.line, finding.message);
    } else {
      report->Warning(finding.line, finding.message);
    }
  }
}
