#include "planner/plan_inversion.h"

#include <algorithm>
#include <map>
#include <set>
#include <sstream>

#include "afterrun/after_run.h"
#include "check/plan_check.h"
#include "controlfile/ztr_object_manager.h"
#include "findings/display_text.h"
#include "findings/listed_objects.h"
#include "findings/reading_map.h"
#include "plan/text.h"
#include "plan/ztr_document_manager.h"
#include "system/paths.h"

namespace {

const char kSessionName[] = "Quorvel-plan invert";

std::string Identifier(const ListedObject& object) {
  return object.object->GetIdentifier().CastToCharPtr();
}

// The way back, made from the plan of the control file and then held against the disk: what
// the first run did not do is left out of it, with a warning at its record's line.
class WayBack {
 public:
  WayBack(FileSystem& files, const ZTRDocumentManager& plan, const CheckedPlan& listed,
          const ReadingMap& map, RenamePlan* undo, std::vector<std::string>* left_on_disk)
      : files_(files),
        plan_(plan),
        listed_(listed),
        map_(map),
        undo_(undo),
        left_on_disk_(left_on_disk) {}

  // The documents as the first run left them, each identifier once, and the instances it
  // renamed.
  void Build() {
    AddDocuments();
    AddChangeableDocuments();
    AddInstances();
  }

  // Leaves out what the first run did not do, as the disk shows it: a document not saved under
  // its new file, a part number not changed, an instance not renamed.
  void LeaveOutWhatDidNotHappen(Report* report) {
    AfterRun disk(files_, kSessionName);
    if (disk.created()) {
      LeaveOutUnsavedDocuments(&disk, report);
      LeaveOutUnrenamedInstances(disk, report);
    }
    for (const Instance& instance : instances_) undo_->instances.push_back(instance.renamed);
  }

 private:
  // An instance renamed back, with the line of its record's NEW_INSTANCENAME.
  struct Instance {
    PlanInstance renamed;
    int line;
  };

  // Adds a document unless its identifier came before; its position in undo_->documents.
  int AddDocument(const std::string& id, const PlanDocument& document, int line) {
    const auto [known, added] = by_id_.emplace(id, static_cast<int>(undo_->documents.size()));
    if (added) {
      undo_->documents.push_back(document);
      lines_.push_back(line);
    }
    return added ? known->second : -1;
  }

  void AddDocuments() {
    for (int i = 1; i <= plan_.DocumentCount(); ++i) {
      const ZTRDocument& record = plan_.DocumentAt(i);
      const std::string file = Text(record.ExternalLocation), number = Text(record.PartNumber);
      const std::string id = Identifier(listed_.documents[static_cast<size_t>(i - 1)]);
      const int d = AddDocument(id, {id, file, number, file, number, {}}, 0);
      if (d >= 0) undo_->saved_with_changes.push_back(d);
      documents_.push_back(by_id_[id]);
    }
  }

  void AddChangeableDocuments() {
    for (int i = 1; i <= plan_.ChangeableDocumentCount(); ++i) {
      const ZTRChangeableDocument& record = plan_.ChangeableDocumentAt(i);
      const ListedObject& object = listed_.changeable_documents[static_cast<size_t>(i - 1)];
      const std::string id = Identifier(object);
      const std::string new_file = Text(record.NewExternalLocation);
      const int d = AddDocument(id,
                                {id,
                                 new_file,
                                 Text(record.NewPartNumber),
                                 Text(record.ExternalLocation),
                                 Text(record.PartNumber),
                                 {}},
                                map_.KeyLine(object.record, "NEW_EXTERNAL_LOCATION"));
      changeable_documents_.push_back(by_id_[id]);
      if (d < 0) continue;
      const bool moved = FileKey(new_file) != FileKey(Text(record.ExternalLocation));
      if (moved) left_on_disk_->push_back(new_file);
      if (moved || record.NewPartNumber != record.PartNumber) {
        undo_->changes.push_back(d);  // children before their parents, as the first run saved them
      } else {
        undo_->saved_with_changes.push_back(d);
      }
    }
  }

  void AddInstances() {
    for (int i = 1; i <= plan_.DocumentInstanceCount(); ++i) {
      const ZTRDocumentInstance& record = plan_.DocumentInstanceAt(i);
      if (record.NewInstancename == record.Instancename) continue;
      const ListedObject& object = listed_.instances[static_cast<size_t>(i - 1)];
      const std::string id = Identifier(object);
      if (!by_id_.emplace(id, -1).second) continue;
      // Its parent as the first run found it; none is reported by the check already.
      const ZTRDocumentManager::DocumentPlace parent =
          plan_.FindParentDocument(record.ParentPartNumber);
      if (parent.index == 0) continue;
      const std::vector<int>& list =
          parent.list == StageList::kDocuments ? documents_ : changeable_documents_;
      instances_.push_back({{id, list[static_cast<size_t>(parent.index - 1)],
                             Text(record.NewInstancename), Text(record.Instancename)},
                            map_.KeyLine(object.record, "NEW_INSTANCENAME")});
    }
  }

  // The document on disk at `position`, null when none with a product is there.
  static const StructureDocument* Product(const AfterRun& disk, int position) {
    if (position < 0) return nullptr;
    const StructureDocument& document = disk.structure().documents[static_cast<size_t>(position)];
    return document.has_product ? &document : nullptr;
  }

  // Why `found` (null: nothing) shows that the first run did not save `document` under its
  // file with its part number; empty when it did.
  static std::string WhyNotSaved(const StructureDocument* found, const PlanDocument& document) {
    if (found == nullptr) {
      return QuotedFile(document.file) + " holds no document: the run did not save it there";
    }
    if (Text(found->part_number) != document.part_number) {
      return QuotedFile(document.file) + " carries the part number " +
             Quoted(Text(found->part_number)) + ", not " + Quoted(document.part_number) +
             ": the run did not change it";
    }
    return std::string();
  }

  // Changes that did not happen become documents saved in place, as the first run left them:
  // where and what they were.
  void LeaveOutUnsavedDocuments(AfterRun* disk, Report* report) {
    std::vector<std::string> files;
    for (const PlanDocument& document : undo_->documents) files.push_back(document.file);
    on_disk_ = disk->Open(files);
    std::vector<int> changes, left_out;
    std::set<std::string> not_written;  // by file key
    for (const int d : undo_->changes) {
      PlanDocument& document = undo_->documents[static_cast<size_t>(d)];
      const StructureDocument* found = Product(*disk, on_disk_[static_cast<size_t>(d)]);
      const std::string why = WhyNotSaved(found, document);
      if (why.empty()) {
        changes.push_back(d);
        continue;
      }
      report->Warning(lines_[static_cast<size_t>(d)],
                      "document " + Quoted(document.id) + " is left out of the way back: " + why);
      if (found == nullptr) not_written.insert(FileKey(document.file));
      document.file = document.new_file;
      document.part_number = document.new_part_number;
      left_out.push_back(d);
    }
    undo_->changes = changes;
    undo_->saved_with_changes.insert(undo_->saved_with_changes.end(), left_out.begin(),
                                     left_out.end());
    ForgetUnwritten(not_written);
    Reopen(disk, left_out);
  }

  // Takes out of the files the first run left the ones it did not write (by file key).
  void ForgetUnwritten(const std::set<std::string>& not_written) {
    left_on_disk_->erase(std::remove_if(left_on_disk_->begin(), left_on_disk_->end(),
                                        [&](const std::string& file) {
                                          return not_written.count(FileKey(file)) != 0;
                                        }),
                         left_on_disk_->end());
  }

  // Opens the files of `documents` as they are now, and takes their positions on disk.
  void Reopen(AfterRun* disk, const std::vector<int>& documents) {
    if (documents.empty()) return;
    std::vector<std::string> files;
    for (const int d : documents) files.push_back(undo_->documents[static_cast<size_t>(d)].file);
    const std::vector<int> positions = disk->Open(files);
    for (size_t i = 0; i < documents.size(); ++i) {
      on_disk_[static_cast<size_t>(documents[i])] = positions[i];
    }
  }

  // The names of the components of `parent`'s product on disk.
  std::set<std::string> ComponentNames(const AfterRun& disk, int parent) const {
    std::set<std::string> names;
    const StructureDocument* document = Product(disk, on_disk_[static_cast<size_t>(parent)]);
    if (document == nullptr) return names;
    for (const StructureInstance& instance : document->instances) names.insert(Text(instance.name));
    return names;
  }

  void LeaveOutUnrenamedInstances(const AfterRun& disk, Report* report) {
    std::map<int, std::set<std::string>> names_of;  // parent document -> names on disk
    std::vector<Instance> instances;
    for (const Instance& instance : instances_) {
      const PlanInstance& renamed = instance.renamed;
      auto names = names_of.find(renamed.parent);
      if (names == names_of.end()) {
        names = names_of.emplace(renamed.parent, ComponentNames(disk, renamed.parent)).first;
      }
      if (names->second.count(renamed.name) != 0) {
        instances.push_back(instance);
        continue;
      }
      report->Warning(instance.line,
                      "instance " + Quoted(renamed.id) + " is left out of the way back: " +
                          QuotedFile(undo_->documents[static_cast<size_t>(renamed.parent)].file) +
                          " has no component " + Quoted(renamed.name) +
                          ": the run did not rename it");
    }
    instances_ = instances;
  }

  FileSystem& files_;
  const ZTRDocumentManager& plan_;
  const CheckedPlan& listed_;
  const ReadingMap& map_;
  RenamePlan* undo_;
  std::vector<std::string>* left_on_disk_;
  std::map<std::string, int> by_id_;  // identifier -> its document, -1 for an instance
  // The document of each record of the plan's two lists, from 0: its own or that of the first
  // record with its identifier.
  std::vector<int> documents_, changeable_documents_;
  std::vector<int> lines_;    // of each document: its NEW_EXTERNAL_LOCATION line, 0 in place
  std::vector<int> on_disk_;  // of each document: the position of its file's document on disk
  std::vector<Instance> instances_;
};

}  // namespace

int InvertControlFile(FileSystem& files, const std::string& control_file, RenamePlan* undo,
                      std::vector<std::string>* left_on_disk, Report* report) {
  *undo = RenamePlan();
  ReadingMap map;
  ZTRObjectManager objects;
  if (!objects.ReadFile(control_file.c_str(), &map)) return 3;
  map.Check(report);
  std::ostringstream no_log;
  const ZTRDocumentManager plan(objects, &no_log);
  CheckedPlan listed;
  CheckPlan(files, objects, plan, map, &listed, report);
  if (report->ExitCode() == 2) return 2;
  if (AsksForCopy(objects)) {
    report->Error(1,
                  "the control file makes copies, which are undone by removing their new "
                  "files (the NEW_EXTERNAL_LOCATION values); the originals were not changed");
    return 2;
  }
  WayBack way_back(files, plan, listed, map, undo, left_on_disk);
  way_back.Build();
  way_back.LeaveOutWhatDidNotHappen(report);
  return 0;
}
