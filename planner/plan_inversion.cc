#include "planner/plan_inversion.h"

#include <algorithm>
#include <map>
#include <set>
#include <sstream>

#include "CATDocumentServices.h"
#include "CATIProduct.h"
#include "CATLISTV_CATBaseUnknown.h"
#include "CATSessionServices.h"
#include "check/plan_check.h"
#include "controlfile/ztr_object_manager.h"
#include "findings/display_text.h"
#include "findings/listed_objects.h"
#include "findings/reading_map.h"
#include "plan/ztr_document_manager.h"
#include "product/root_product.h"
#include "system/paths.h"

namespace {

const char kSessionName[] = "Quorvel-plan invert";

std::string Text(const CATUnicodeString& text) { return text.ConvertToChar(); }

// What the disk holds after the first run, read in a session of its own: a document's part
// number and the instance names of its root product's components.
class DiskState {
 public:
  DiskState() { created_ = SUCCEEDED(Create_Session(kSessionName, session_)) && session_; }
  ~DiskState() {
    if (created_) Delete_Session(kSessionName, 0, 0);
  }
  bool created() const { return created_; }

  // False when `file` holds no document with a root product.
  bool Read(const std::string& file, std::string* part_number, std::set<std::string>* names) {
    CATDocument* document = nullptr;
    if (file.empty() || FAILED(CATDocumentServices::OpenDocument(file.c_str(), document, false))) {
      return false;
    }
    CATIProduct_var root = FindRootProduct(document);
    if (root == NULL_var) return false;
    *part_number = Text(root->GetPartNumber());
    CATListValCATBaseUnknown_var* children = root->GetChildren("CATIProduct");
    for (int i = 1; children != nullptr && i <= children->Size(); ++i) {
      CATIProduct_var child = (*children)[i];
      CATUnicodeString name;
      if (child != NULL_var && SUCCEEDED(child->GetPrdInstanceName(name))) {
        names->insert(Text(name));
      }
    }
    delete children;
    return true;
  }

 private:
  CATSession* session_ = nullptr;
  bool created_ = false;
};

// Leaves out of `undo` what the first run did not do, as the disk shows it: a document not
// saved under its new file, a part number not changed, an instance not renamed. Each is said
// as a warning at its record's line.
void LeaveOutWhatDidNotHappen(const std::map<int, int>& lines, RenamePlan* undo,
                              std::vector<std::string>* left_on_disk, Report* report) {
  DiskState disk;
  if (!disk.created()) return;
  std::set<int> kept_changes;
  std::set<std::string> not_written;
  for (const int d : undo->changes) {
    PlanDocument& document = undo->documents[static_cast<size_t>(d)];
    std::string part_number;
    std::set<std::string> names;
    std::string why;
    if (!disk.Read(document.file, &part_number, &names)) {
      why = QuotedFile(document.file) + " holds no document: the run did not save it there";
      not_written.insert(document.file);
    } else if (part_number != document.part_number) {
      why = QuotedFile(document.file) + " carries the part number " + Quoted(part_number) +
            ", not " + Quoted(document.part_number) + ": the run did not change it";
    }
    if (why.empty()) {
      kept_changes.insert(d);
      continue;
    }
    report->Warning(lines.at(d),
                    "document " + Quoted(document.id) + " is left out of the way back: " + why);
    // As the first run left it: where and what it was.
    document.file = document.new_file;
    document.part_number = document.new_part_number;
  }
  std::vector<int> changes;
  for (const int d : undo->changes) {
    if (kept_changes.count(d) != 0) {
      changes.push_back(d);
    } else {
      undo->saved_with_changes.push_back(d);
    }
  }
  undo->changes = changes;
  left_on_disk->erase(
      std::remove_if(left_on_disk->begin(), left_on_disk->end(),
                     [&](const std::string& file) { return not_written.count(file) != 0; }),
      left_on_disk->end());

  std::map<int, std::set<std::string>> names_of;  // parent document -> names on disk
  std::vector<PlanInstance> instances;
  for (const PlanInstance& instance : undo->instances) {
    auto names = names_of.find(instance.parent);
    if (names == names_of.end()) {
      std::string part_number;
      std::set<std::string> on_disk;
      disk.Read(undo->documents[static_cast<size_t>(instance.parent)].file, &part_number, &on_disk);
      names = names_of.emplace(instance.parent, std::move(on_disk)).first;
    }
    if (names->second.count(instance.name) != 0) {
      instances.push_back(instance);
      continue;
    }
    report->Warning(lines.at(-1 - static_cast<int>(&instance - undo->instances.data())),
                    "instance " + Quoted(instance.id) + " is left out of the way back: " +
                        QuotedFile(undo->documents[static_cast<size_t>(instance.parent)].file) +
                        " has no component " + Quoted(instance.name) +
                        ": the run did not rename it");
  }
  undo->instances = instances;
}

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
  if (AsksForCopy(objects)) {
    report->Error(1,
                  "the control file makes copies, which are undone by removing their new "
                  "files (the NEW_EXTERNAL_LOCATION values); the originals were not changed");
    return 2;
  }

  // The documents as the first run left them, each identifier once.
  std::set<std::string> seen;
  // The line of each changed document's record (by its position in the plan) and of each
  // renamed instance's (by -1 - its position).
  std::map<int, int> lines;
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
    lines[d] = map.KeyLine(listed.changeable_documents[static_cast<size_t>(i - 1)].record,
                           "NEW_EXTERNAL_LOCATION");
    changed.emplace(Text(record.PartNumber), d);
    undo->documents.push_back({id,
                               Text(record.NewExternalLocation),
                               Text(record.NewPartNumber),
                               Text(record.ExternalLocation),
                               Text(record.PartNumber),
                               {}});
    const bool moved =
        FileKey(Text(record.NewExternalLocation)) != FileKey(Text(record.ExternalLocation));
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
    lines[-1 - static_cast<int>(undo->instances.size())] =
        map.KeyLine(listed.instances[static_cast<size_t>(i - 1)].record, "NEW_INSTANCENAME");
    undo->instances.push_back(
        {id, parent, Text(record.NewInstancename), Text(record.Instancename)});
  }
  LeaveOutWhatDidNotHappen(lines, undo, left_on_disk, report);
  return 0;
}
