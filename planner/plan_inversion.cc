#include "planner/plan_inversion.h"

#include <map>
#include <set>
#include <sstream>

#include "check/plan_check.h"
#include "findings/reading_map.h"
#include "controlfile/ztr_object_manager.h"
#include "plan/ztr_document_manager.h"

namespace {

std::string Text(const CATUnicodeString& text) { return text.ConvertToChar(); }

}  // namespace

int InvertControlFile(const std::string& control_file, RenamePlan* undo,
                      std::vector<std::string>* left_on_disk, Report* report) {
  *undo = RenamePlan();
  ReadingMap map;
  ZTRObjectManager objects;
  if (!objects.ReadFile(control_file.c_str(), &map)) return 3;
  map.Check(report);
  std::ostringstream no_log;
  const ZTRDocumentManager plan(objects, &no_log);
  CheckedPlan listed;
  CheckPlan(objects, plan, map, &listed, report);
  if (report->ExitCode() == 2) return 2;

  // The documents as the first run left them, each identifier once.
  std::set<std::string> seen;
  std::vector<int> in_place;                    // saved in place by the way back
  std::map<std::string, int> parents, changed;  // part number -> first document, as the
                                                // tool finds an instance's parent
  for (int i = 1; i <= plan.DocumentCount(); ++i) {
    const std::string id =
        listed.documents[static_cast<size_t>(i - 1)].object->GetIdentifier().CastToCharPtr();
    if (!seen.insert(id).second) continue;
    const ZTRDocument& record = plan.DocumentAt(i);
    const std::string file = Text(record.ExternalLocation), number = Text(record.PartNumber);
    parents.emplace(number, static_cast<int>(undo->documents.size()));
    in_place.push_back(static_cast<int>(undo->documents.size()));
    undo->documents.push_back({id, file, number, file, number, {}});
  }
  for (int i = 1; i <= plan.ChangeableDocumentCount(); ++i) {
    const std::string id = listed.changeable_documents[static_cast<size_t>(i - 1)]
                               .object->GetIdentifier()
                               .CastToCharPtr();
    if (!seen.insert(id).second) continue;
    const ZTRChangeableDocument& record = plan.ChangeableDocumentAt(i);
    const int d = static_cast<int>(undo->documents.size());
    changed.emplace(Text(record.PartNumber), d);
    undo->documents.push_back({id,
                               Text(record.NewExternalLocation),
                               Text(record.NewPartNumber),
                               Text(record.ExternalLocation),
                               Text(record.PartNumber),
                               {}});
    const bool moved = SameFile(record.NewExternalLocation) != SameFile(record.ExternalLocation);
    if (moved) left_on_disk->push_back(Text(record.NewExternalLocation));
    if (moved || record.NewPartNumber != record.PartNumber) {
      undo->changes.push_back(d);  // children before their parents, as the first run saved them
    } else {
      in_place.push_back(d);
    }
  }
  undo->saved_with_changes = in_place;

  for (int i = 1; i <= plan.DocumentInstanceCount(); ++i) {
    const ZTRDocumentInstance& record = plan.DocumentInstanceAt(i);
    if (record.NewInstancename == record.Instancename) continue;
    const std::string id =
        listed.instances[static_cast<size_t>(i - 1)].object->GetIdentifier().CastToCharPtr();
    if (!seen.insert(id).second) continue;
    // Its parent as the first run found it: a document saved in place, or one it changed.
    const std::string parent_part_number = Text(record.ParentPartNumber);
    int parent = -1;
    if (const auto in_place = parents.find(parent_part_number); in_place != parents.end()) {
      parent = in_place->second;
    } else if (const auto changed_one = changed.find(parent_part_number);
               changed_one != changed.end()) {
      parent = changed_one->second;
    }
    if (parent < 0) continue;  // reported by the check already
    undo->instances.push_back(
        {id, parent, Text(record.NewInstancename), Text(record.Instancename)});
  }
  return 0;
}
