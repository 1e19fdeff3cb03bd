#include "planner/plan_inversion.h"

#include <algorithm>
#include <cstddef>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

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
          const ReadingMap& map, RenamePlan* undo, WayBackFiles* way_back)
      : files_(files),
        plan_(plan),
        listed_(listed),
        map_(map),
        undo_(undo),
        way_back_(way_back),
        left_on_disk_(&way_back->left_on_disk) {}

  // The documents as the first run left them, each identifier once, and the instances it
  // renamed.
  void Build() {
    AddDocuments();
    AddChangeableDocuments();
    AddInstances();
  }

  // Leaves out what the first run did not do, as the disk shows it: a document not saved under
  // its new file, a part number not changed, an instance not renamed. What it did that nothing
  // uses (a new file that no document saved refers to) is removed rather than saved back, and
  // a document saved in place is saved again only when it refers to a document that the way
  // back saves or holds an instance that it renames.
  void LeaveOutWhatDidNotHappen(Report* report) {
    AfterRun disk(files_, kSessionName);
    if (disk.created()) {
      LeaveOutUnsavedDocuments(&disk, report);
      LeaveOutUnrenamedInstances(disk, report);
      RemoveUnusedNewFiles(disk);
      LeaveOutUnchangedInPlace(disk);
    }
    for (const Instance& instance : instances_) undo_->instances.push_back(instance.renamed);
  }

  // A copy's way back: the new files that hold the copies, each checked as a run's save.
  void ListCopies(Report* report) {
    AddChangeableDocuments();
    AfterRun disk(files_, kSessionName);
    std::vector<std::string> files;
    for (const int d : undo_->changes) {
      files.push_back(undo_->documents[static_cast<size_t>(d)].file);
    }
    const std::vector<int> positions = disk.Open(files);
    for (size_t i = 0; i < undo_->changes.size(); ++i) {
      const int d = undo_->changes[i];
      const PlanDocument& document = undo_->documents[static_cast<size_t>(d)];
      if (FileKey(document.file) == FileKey(document.new_file)) continue;
      const std::string why = WhyNotSaved(Product(disk, positions[i]), document);
      if (why.empty()) {
        way_back_->to_remove.push_back(document.file);
      } else {
        report->Warning(lines_[static_cast<size_t>(d)],
                        "document " + Quoted(document.id) + " is left out of the way back: " + why);
      }
    }
    *undo_ = RenamePlan();
    left_on_disk_->clear();
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

  // Where each document on disk is referred to from: the positions of the documents whose
  // components are instances of it.
  static std::vector<std::vector<int>> Users(const AfterRun& disk) {
    const std::vector<StructureDocument>& documents = disk.structure().documents;
    std::vector<std::vector<int>> users(documents.size());
    for (size_t d = 0; d < documents.size(); ++d) {
      for (const StructureInstance& instance : documents[d].instances) {
        if (instance.document >= 0 && instance.document != static_cast<int>(d)) {
          users[static_cast<size_t>(instance.document)].push_back(static_cast<int>(d));
        }
      }
    }
    return users;
  }

  // The documents that the way back would save from a new file back to an old one that is
  // still there as it was (no document of the plan was saved to it), and that no document on
  // disk uses but others such: their new files are removed instead, with the instances the
  // run renamed in them.
  void RemoveUnusedNewFiles(const AfterRun& disk) {
    std::set<std::string> written;  // the new files of the first run, by file key
    for (const int d : undo_->changes) {
      written.insert(FileKey(undo_->documents[static_cast<size_t>(d)].file));
    }
    std::map<int, int> unused;  // position on disk -> document
    for (const int d : undo_->changes) {
      const PlanDocument& document = undo_->documents[static_cast<size_t>(d)];
      const int position = on_disk_[static_cast<size_t>(d)];
      if (position >= 0 && FileKey(document.file) != FileKey(document.new_file) &&
          written.count(FileKey(document.new_file)) == 0 && disk.Exists(document.new_file)) {
        unused.emplace(position, d);
      }
    }
    const std::vector<std::vector<int>> users = Users(disk);
    for (bool changed = true; changed;) {
      changed = false;
      for (auto it = unused.begin(); it != unused.end();) {
        const std::vector<int>& by = users[static_cast<size_t>(it->first)];
        if (std::any_of(by.begin(), by.end(), [&](int user) { return unused.count(user) == 0; })) {
          it = unused.erase(it);
          changed = true;
        } else {
          ++it;
        }
      }
    }
    std::set<int> removed;
    for (const auto& entry : unused) removed.insert(entry.second);
    std::vector<int> changes;
    for (const int d : undo_->changes) {
      if (removed.count(d) == 0) {
        changes.push_back(d);
        continue;
      }
      const std::string& file = undo_->documents[static_cast<size_t>(d)].file;
      way_back_->to_remove.push_back(file);
      left_on_disk_->erase(
          std::remove_if(left_on_disk_->begin(), left_on_disk_->end(),
                         [&](const std::string& left) { return FileKey(left) == FileKey(file); }),
          left_on_disk_->end());
    }
    undo_->changes = changes;
    instances_.erase(std::remove_if(instances_.begin(), instances_.end(),
                                    [&](const Instance& instance) {
                                      return removed.count(instance.renamed.parent) != 0;
                                    }),
                     instances_.end());
  }

  // Keeps of the documents saved in place those that refer, on disk, to a document that the
  // way back saves, or hold an instance that it renames: the others the first run did not
  // change in effect (or its save of them failed), and saving them would change nothing.
  void LeaveOutUnchangedInPlace(const AfterRun& disk) {
    std::set<int> changed, parents;  // positions on disk; documents
    for (const int d : undo_->changes) changed.insert(on_disk_[static_cast<size_t>(d)]);
    for (const Instance& instance : instances_) parents.insert(instance.renamed.parent);
    std::vector<int> kept;
    for (const int d : undo_->saved_with_changes) {
      const StructureDocument* found = Product(disk, on_disk_[static_cast<size_t>(d)]);
      const bool refers =
          found != nullptr && std::any_of(found->instances.begin(), found->instances.end(),
                                          [&](const StructureInstance& instance) {
                                            return changed.count(instance.document) != 0;
                                          });
      if (found == nullptr || refers || parents.count(d) != 0) kept.push_back(d);
    }
    undo_->saved_with_changes = kept;
  }

  FileSystem& files_;
  const ZTRDocumentManager& plan_;
  const CheckedPlan& listed_;
  const ReadingMap& map_;
  RenamePlan* undo_;
  WayBackFiles* way_back_;
  std::vector<std::string>* left_on_disk_;  // way_back_'s
  std::map<std::string, int> by_id_;        // identifier -> its document, -1 for an instance
  // The document of each record of the plan's two lists, from 0: its own or that of the first
  // record with its identifier.
  std::vector<int> documents_, changeable_documents_;
  std::vector<int> lines_;    // of each document: its NEW_EXTERNAL_LOCATION line, 0 in place
  std::vector<int> on_disk_;  // of each document: the position of its file's document on disk
  std::vector<Instance> instances_;
};

// The folders that hold nothing but the files of `way_back` and such folders, innermost first;
// never the working folder, the control file's, or a folder above them.
std::vector<std::string> FoldersLeftEmpty(FileSystem& files, const WayBackFiles& way_back,
                                          const std::string& control_file) {
  std::set<std::string> stop, gone;  // by storage key
  for (std::string folder : {StorageName("."), DirectoryOf(StorageName(control_file))}) {
    for (std::string above; stop.insert(StorageKey(folder)).second && folder != above;) {
      above = folder;
      folder = DirectoryOf(folder);
    }
  }
  std::set<std::string> listed;
  std::vector<std::string> folders;  // each with the folders above it, up to a stop
  for (const auto* list : {&way_back.to_remove, &way_back.left_on_disk}) {
    for (const std::string& file : *list) {
      gone.insert(StorageKey(StorageName(file)));
      for (std::string folder = DirectoryOf(StorageName(file));
           stop.count(StorageKey(folder)) == 0 && listed.insert(StorageKey(folder)).second;
           folder = DirectoryOf(folder)) {
        folders.push_back(folder);
      }
    }
  }
  // A folder's name is longer than the names of the folders above it: innermost first.
  std::stable_sort(folders.begin(), folders.end(),
                   [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
  std::vector<std::string> empty;
  for (const std::string& folder : folders) {
    std::vector<std::string> names;
    if (!files.ListFolder(folder, &names)) continue;
    if (std::all_of(names.begin(), names.end(), [&](const std::string& name) {
          return gone.count(StorageKey(ReferenceStorageName(name, folder))) != 0;
        })) {
      empty.push_back(folder);
      gone.insert(StorageKey(folder));
    }
  }
  return empty;
}

void PrintFiles(const std::vector<std::string>& files, std::ostream& err) {
  for (const std::string& file : files) err << "  " << QuotedFile(file) << "\n";
}

}  // namespace

int InvertControlFile(FileSystem& files, const std::string& control_file, RenamePlan* undo,
                      WayBackFiles* way_back, Report* report) {
  *undo = RenamePlan();
  *way_back = WayBackFiles();
  ReadingMap map;
  ZTRObjectManager objects;
  if (!objects.ReadFile(control_file.c_str(), &map)) return 3;
  map.Check(report);
  std::ostringstream no_log;
  const ZTRDocumentManager plan(objects, &no_log);
  CheckedPlan listed;
  CheckPlan(files, objects, plan, map, &listed, report);
  if (report->ExitCode() == 2) return 2;
  WayBack inversion(files, plan, listed, map, undo, way_back);
  if (AsksForCopy(objects)) {
    way_back->copy = true;
    inversion.ListCopies(report);
  } else {
    inversion.Build();
    inversion.LeaveOutWhatDidNotHappen(report);
  }
  way_back->folders_left_empty = FoldersLeftEmpty(files, *way_back, control_file);
  return 0;
}

void PrintWayBackFiles(const WayBackFiles& way_back, const std::string& control_file,
                       const std::string& undo_file, std::ostream& err) {
  const std::string run = "the run of " + QuotedFile(control_file);
  if (way_back.copy) {
    err << "Quorvel-plan: note: " << QuotedFile(control_file)
        << " makes copies and leaves the originals as they were: "
        << (way_back.to_remove.empty()
                ? "no copy is on disk, there is nothing to undo\n"
                : "no control file is written, the way back is to remove the copies' files:\n");
  } else if (!way_back.to_remove.empty()) {
    err << "Quorvel-plan: note: no document that was saved refers to these files that " << run
        << " wrote under new paths, and their old files are as they were: the way back for "
           "them is to remove them:\n";
  }
  PrintFiles(way_back.to_remove, err);
  const std::vector<std::string>& left = way_back.left_on_disk;
  if (!left.empty()) {
    const size_t shown = left.size() > 12 ? 10 : left.size();
    err << "Quorvel-plan: note: the way back saves the documents under their old files again; "
           "the files that "
        << run << " wrote under new paths stay on disk:\n";
    PrintFiles(
        std::vector<std::string>(left.begin(), left.begin() + static_cast<std::ptrdiff_t>(shown)),
        err);
    if (shown < left.size()) {
      err << "  and " << left.size() - shown << " more, the NEW_EXTERNAL_LOCATION values of "
          << QuotedFile(control_file) << "\n";
    }
    if (!undo_file.empty()) {
      err << "Once the way back has run, Quorvel-check --after --old-files "
          << QuotedFile(undo_file) << " lists them for removal.\n";
    }
  }
  if (!way_back.folders_left_empty.empty()) {
    err << "Quorvel-plan: note: once these files are removed, these folders hold nothing:\n";
    PrintFiles(way_back.folders_left_empty, err);
  }
  err << std::flush;
}
