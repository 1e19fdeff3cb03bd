#include "tree/preview.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "ZTRConfigTopicManager.h"
#include "controlfile/ztr_object_manager.h"
#include "findings/display_text.h"
#include "findings/listed_objects.h"
#include "findings/reading_map.h"
#include "findings/report.h"
#include "plan/text.h"
#include "plan/ztr_document_manager.h"
#include "prediction/placed_findings.h"
#include "prediction/plan_runs.h"
#include "projectindex/project_scope.h"
#include "system/paths.h"

namespace {

const char kSessionName[] = "Quorvel-tree preview";

// Which document of the structure before the runs each record of a control file names, as the
// runs before it leave the files; -1: none.
struct RunPlaces {
  std::vector<int> document_before, changeable_before;
};

class PreviewBuilder {
 public:
  PreviewBuilder(FileSystem& files, Preview* preview, ProjectIndex* project)
      : runs_(files, kSessionName), files_(runs_.files()), preview_(*preview), project_(project) {}

  // Reads the control file `file` as the next of the plan; false, with the reason, when it
  // cannot be read.
  bool Read(const std::string& file, std::string* why) {
    if (runs_.Read(file, why) == nullptr) {
      *why = "cannot read " + QuotedFile(file) + ": " + *why;
      return false;
    }
    places_.emplace_back();
    return true;
  }

  bool Build(const std::string& root, std::string* why) {
    ProductStructure before, after;
    if (!ReadProductStructure(files_, root, &before, why)) {
      *why = "cannot read " + QuotedFile(root) + ": " + *why;
      return false;
    }
    for (size_t d = 0; d < before.documents.size(); ++d) {
      FileId file;
      if (files_.FindFileId(Text(before.documents[d].storage_name), &file)) {
        before_by_file_.emplace(file, static_cast<int>(d));
      }
    }
    // The control files one after the other, each seeing what the ones before would write.
    for (size_t r = 0; r < runs_.runs().size(); ++r) {
      ControlFileRun& run = *runs_.runs()[r];
      RunPlaces& places = places_[r];
      const ZTRDocumentManager& plan = *run.plan;
      // Which document of this structure each record names, as the runs before leave the files.
      for (int i = 1; i <= plan.DocumentCount(); ++i) {
        places.document_before.push_back(BeforeDocument(Text(plan.DocumentAt(i).ExternalLocation)));
      }
      for (int i = 1; i <= plan.ChangeableDocumentCount(); ++i) {
        places.changeable_before.push_back(
            BeforeDocument(Text(plan.ChangeableDocumentAt(i).ExternalLocation)));
      }
      FindUntouchedRecords(r);
      FindUsersOutside(r, before);
      if (!runs_.Predict(&run, why)) return false;
      for (const PlacedFinding& finding : run.findings) {
        preview_.findings.push_back({r, finding.line, finding.error, finding.message});
      }
      FollowSaves(r, run.prediction.saves);
    }
    // The structure as the files the run would have written make it, from the root's file, or
    // from the new file the run saves the root document to.
    const auto root_saved = last_save_.find(0);
    const std::string after_root =
        root_saved == last_save_.end() ? root : saves_[root_saved->second].target;
    if (!ReadProductStructure(files_, after_root, &after, why)) {
      *why = "cannot read " + QuotedFile(after_root) + " after the run: " + *why;
      return false;
    }
    BuildStructure(before, after);
    std::stable_sort(preview_.findings.begin(), preview_.findings.end(),
                     [](const PreviewFinding& a, const PreviewFinding& b) {
                       return a.file != b.file ? a.file < b.file : a.line < b.line;
                     });
    return true;
  }

 private:
  void Warn(size_t run, int line, const std::string& message) {
    preview_.findings.push_back({run, line, false, message});
  }
  static std::string File(const std::string& storage_name) { return QuotedFile(storage_name); }
  // The line of a record's `key`, or of the record itself, in the control file of `run`.
  int Line(size_t run, StageList list, int index, const char* key = nullptr) const {
    const ControlFileRun& in = *runs_.runs()[run];
    const ListedObject* object = in.listed.At(list, index);
    if (object == nullptr) return 0;
    return key != nullptr ? in.map.KeyLine(object->record, key)
                          : in.map.records()[object->record].line;
  }
  std::string Name(size_t run, StageList list, int index) const {
    const ListedObject* object = runs_.runs()[run]->listed.At(list, index);
    return Quoted(object == nullptr ? "" : object->object->GetIdentifier().CastToCharPtr());
  }
  // The line of the file a save writes, in the control file of its run.
  int SaveLine(size_t save) const {
    const PredictedSave& made = saves_[save];
    return Line(save_run_[save], made.list, made.index,
                made.list == StageList::kDocuments ? "EXTERNAL_LOCATION" : "NEW_EXTERNAL_LOCATION");
  }

  // The document of the walk before the run that `path` reaches, also where a run before wrote
  // it; -1 when none.
  int BeforeDocument(const std::string& path) {
    FileId file;
    if (path.empty() || !files_.FindFileId(StorageName(path), &file)) return -1;
    const auto written = written_by_.find(file);
    if (written != written_by_.end()) return origin_[written->second];
    const auto found = before_by_file_.find(file);
    return found == before_by_file_.end() ? -1 : found->second;
  }

  // Records whose document, or whose instance's parent, is not in this structure.
  void FindUntouchedRecords(size_t run) {
    const ZTRDocumentManager& plan = *runs_.runs()[run]->plan;
    const struct {
      StageList list;
      const char* key;
      const std::vector<int>& before;
    } lists[] = {
        {StageList::kDocuments, "PARENT_OBJECTS", places_[run].document_before},
        {StageList::kChangeableDocuments, "CHILD_OBJECTS", places_[run].changeable_before}};
    for (const auto& list : lists) {
      for (size_t i = 0; i < list.before.size(); ++i) {
        const int index = static_cast<int>(i) + 1;
        const CATUnicodeString& location = list.list == StageList::kDocuments
                                               ? plan.DocumentAt(index).ExternalLocation
                                               : plan.ChangeableDocumentAt(index).ExternalLocation;
        // A record without a file is where the run fails, said by the prediction.
        if (list.before[i] >= 0 || location == CATUnicodeString()) continue;
        Warn(run, Line(run, list.list, index),
             std::string(list.key) + " lists " + Name(run, list.list, index) + ", whose file " +
                 File(StorageName(Text(location))) + " is not part of this structure");
      }
    }
    std::map<std::string, bool> here;  // parent part number -> its document is in the structure
    for (int i = 1; i <= plan.DocumentInstanceCount(); ++i) {
      const CATUnicodeString& part_number = plan.DocumentInstanceAt(i).ParentPartNumber;
      auto parent = here.find(Text(part_number));
      if (parent == here.end()) {
        // A part number that no document of the plan has is where the run stops, said by the
        // prediction.
        const CATUnicodeString location = plan.FindDocumentName(part_number);
        parent = here.emplace(Text(part_number),
                              location == CATUnicodeString() || BeforeDocument(Text(location)) >= 0)
                     .first;
      }
      if (parent->second) continue;
      Warn(run, Line(run, StageList::kDocumentInstances, i),
           "INSTANCE_OBJECTS lists " + Name(run, StageList::kDocumentInstances, i) +
               ", whose parent " + Quoted(Text(part_number)) + " is not part of this structure");
    }
  }

  // The documents of the project, neither in this structure nor in the plan, that use a
  // document that the run of `run` saves under a new file or gives a new part number.
  void FindUsersOutside(size_t run, const ProductStructure& before) {
    if (project_ == nullptr) return;
    const ControlFileRun& in = *runs_.runs()[run];
    if (structure_keys_.empty()) {
      std::vector<std::string> files;
      for (const StructureDocument& document : before.documents) {
        files.push_back(Text(document.storage_name));
      }
      structure_keys_ = KeysOfFiles(*project_, files);
    }
    for (const OutsideUser& user :
         UsersOutsidePlan(*project_, *in.plan, AsksForCopy(in.objects), structure_keys_)) {
      Warn(run, Line(run, StageList::kChangeableDocuments, user.record, user.key),
           OutsideUserMessage(Name(run, StageList::kChangeableDocuments, user.record), user));
    }
  }

  // For each save, the document of the walk before the run that it writes: the document its
  // record names, or, where an earlier save wrote the file it is saved from, that save's. Also
  // the save that last wrote each file, by the file it is now, and each document's last save.
  void FollowSaves(size_t run, const std::vector<PredictedSave>& saves) {
    for (const PredictedSave& save : saves) {
      const size_t k = saves_.size();
      saves_.push_back(save);
      save_run_.push_back(run);
      FileId from, target;
      const auto earlier =
          files_.FindFileId(save.from, &from) ? written_by_.find(from) : written_by_.end();
      const int origin = earlier != written_by_.end() ? origin_[earlier->second]
                         : save.list == StageList::kDocuments
                             ? places_[run].document_before[static_cast<size_t>(save.index - 1)]
                             : places_[run].changeable_before[static_cast<size_t>(save.index - 1)];
      origin_.push_back(origin);
      if (files_.FindFileId(save.target, &target)) written_by_[target] = k;
      if (origin >= 0) last_save_[origin] = k;
    }
  }

  // The shown structure is the walk after the run. A file the run writes gets its old values
  // from the document written there; a file it leaves that holds a document the run saves
  // elsewhere is an old file, and each instance still referring to it is said.
  void BuildStructure(const ProductStructure& before, const ProductStructure& after) {
    ShownStructure& shown = preview_.structure;
    shown = UnchangedStructure(after);
    const size_t count = shown.nodes.size();
    std::vector<long> old_file_of(count, -1);  // the save that wrote its document elsewhere
    std::vector<bool> written(count, false);
    for (size_t c = 0; c < count; ++c) {
      ShownNode& node = shown.nodes[c];
      FileId file;
      const bool found = files_.FindFileId(node.file, &file);
      const auto write = found ? written_by_.find(file) : written_by_.end();
      if (write == written_by_.end()) {
        const auto saved = last_save_.find(found ? BeforeDocument(node.file) : -1);
        // A copy leaves its originals, and the links to them, on purpose.
        if (saved != last_save_.end() &&
            !AsksForCopy(runs_.runs()[save_run_[saved->second]]->objects)) {
          old_file_of[c] = static_cast<long>(saved->second);
        }
        continue;
      }
      written[c] = true;
      const int d = origin_[write->second];
      if (d < 0) {
        node.foreign = true;
        Warn(save_run_[write->second], SaveLine(write->second),
             "the run saves a document from outside this structure over " + File(node.file));
        continue;
      }
      const StructureDocument& old = before.documents[static_cast<size_t>(d)];
      if (!files_.SameFile(Text(old.storage_name), node.file))
        node.old_file = Text(old.storage_name);
      node.old_part_number = Text(old.part_number);
      for (size_t j = 0; j < node.instances.size() && j < old.instances.size(); ++j) {
        node.instances[j].old_name = Text(old.instances[j].name);
      }
    }
    std::set<std::pair<size_t, int>> said;
    for (size_t n = 0; n < count; ++n) {
      for (ShownInstance& instance : shown.nodes[n].instances) {
        if (instance.node < 0 || old_file_of[static_cast<size_t>(instance.node)] < 0) continue;
        const size_t save = static_cast<size_t>(old_file_of[static_cast<size_t>(instance.node)]);
        instance.stale_new_file = saves_[save].target;
        if (!said.insert({n, instance.node}).second) continue;
        const std::string parent = File(shown.nodes[n].file);
        Warn(save_run_[save], SaveLine(save),
             parent + " still refers to " +
                 File(shown.nodes[static_cast<size_t>(instance.node)].file) +
                 " after the run, which saves that document as " + File(saves_[save].target) +
                 (written[n] ? ": " + parent + " is saved before it"
                             : " but does not save " + parent));
      }
    }
  }

  PlanRuns runs_;
  FileSystem& files_;              // as the runs predicted so far leave them
  std::vector<RunPlaces> places_;  // per run
  Preview& preview_;
  std::map<FileId, int> before_by_file_;  // the files of the walk before the run
  std::vector<PredictedSave> saves_;      // of every run, in order
  std::vector<size_t> save_run_;          // per save
  std::vector<int> origin_;               // per save
  std::map<FileId, size_t> written_by_;   // the save that last wrote a file
  std::map<int, size_t> last_save_;       // by document of the walk before the run
  ProjectIndex* project_;                 // null without a project folder
  std::set<std::string> structure_keys_;  // the index's keys of the walk before the run
};

}  // namespace

bool ComputePreview(FileSystem& files, const std::string& root,
                    const std::vector<std::string>& control_files, Preview* preview,
                    std::string* why, ProjectIndex* project) {
  *preview = Preview();
  PreviewBuilder builder(files, preview, project);
  for (const std::string& file : control_files) {
    if (!builder.Read(file, why)) return false;
  }
  // The stages' console lines stay off.
  const int trace_level = g_ZTRConfig.GetTraceLevel();
  g_ZTRConfig.SetTraceLevel(0);
  const bool built = builder.Build(root, why);
  g_ZTRConfig.SetTraceLevel(trace_level);
  return built;
}
