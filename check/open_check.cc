#include "check/open_check.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <vector>

#include "prediction/run_prediction.h"
#include "system/files.h"
#include "system/paths.h"

namespace {

const char kSessionName[] = "Quorvel_Check_Session";

std::string Text(const CATUnicodeString& text) {
  return std::string(text.ConvertToChar(), static_cast<size_t>(text.GetLengthInChar()));
}

const ListedObject& Listed(const CheckedPlan& listed, StageList list, int index) {
  const std::vector<ListedObject>& objects =
      list == StageList::kDocuments            ? listed.documents
      : list == StageList::kChangeableDocuments ? listed.changeable_documents
                                                : listed.instances;
  return objects[static_cast<size_t>(index - 1)];
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
               Report* report) {
  LeftoverCheck leftovers(map, report);
  for (int i = 1; i <= plan->DocumentCount(); ++i) {
    leftovers.Look(plan->DocumentAt(i).ExternalLocation, listed.documents[size_t(i - 1)]);
  }
  for (int i = 1; i <= plan->ChangeableDocumentCount(); ++i) {
    leftovers.Look(plan->ChangeableDocumentAt(i).ExternalLocation,
                   listed.changeable_documents[size_t(i - 1)]);
  }
  RunPrediction prediction;
  std::string why;
  if (!PredictRun(plan, kSessionName, &prediction, &why)) {
    report->Error(1, why);
    return;
  }
  for (const PredictedFinding& finding : prediction.findings) {
    const ListedObject& object = Listed(listed, finding.list, finding.index);
    const std::string message =
        (finding.list == StageList::kDocumentInstances ? "instance " : "document ") +
        Quoted(object.object->GetIdentifier().CastToCharPtr()) + ": " + finding.message;
    const int line = map.KeyLine(object.record, finding.key);
    if (finding.error) {
      report->Error(line, message);
    } else {
      report->Warning(line, message);
    }
  }
}
