#include "check/open_check.h"

#include <algorithm>
#include <set>
#include <vector>

#include "findings/display_text.h"
#include "plan/text.h"
#include "system/paths.h"

namespace {

// Files ".quorvel-save-*" in the folders of the listed documents: left by saves that were cut
// short. Each folder is looked at once; what is found is said at the first document in it.
class LeftoverCheck {
 public:
  LeftoverCheck(FileSystem& files, const ReadingMap& map, Report* report)
      : files_(files), map_(map), report_(report) {}

  void Look(const CATUnicodeString& location, const ListedObject& listed) {
    if (location == CATUnicodeString()) return;
    const std::string folder = DirectoryOf(StorageName(Text(location)));
    if (!seen_.insert(StorageKey(folder)).second) return;
    std::vector<std::string> there, names;
    files_.ListFolder(folder, &there);
    for (const std::string& name : there) {
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
  FileSystem& files_;
  const ReadingMap& map_;
  Report* report_;
  std::set<std::string> seen_;
};

}  // namespace

void CheckOpen(PlanRuns* runs, ControlFileRun* run, Report* report) {
  const ZTRDocumentManager& plan = *run->plan;
  LeftoverCheck leftovers(runs->files(), run->map, report);
  for (int i = 1; i <= plan.DocumentCount(); ++i) {
    leftovers.Look(plan.DocumentAt(i).ExternalLocation, run->listed.documents[size_t(i - 1)]);
  }
  for (int i = 1; i <= plan.ChangeableDocumentCount(); ++i) {
    leftovers.Look(plan.ChangeableDocumentAt(i).ExternalLocation,
                   run->listed.changeable_documents[size_t(i - 1)]);
  }
  std::string why;
  if (!runs->Predict(run, &why)) {
    report->Error(1, why);
    return;
  }
  for (const PlacedFinding& finding : run->findings) {
    if (finding.error) {
      report->Error(finding.line, finding.message);
    } else {
      report->Warning(finding.line, finding.message);
    }
  }
}
