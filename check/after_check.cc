#include "check/after_check.h"

#include <algorithm>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "afterrun/after_run.h"
#include "findings/display_text.h"
#include "plan/text.h"
#include "system/paths.h"

namespace {

const char kSessionName[] = "Quorvel_Check_After_Session";

std::string At(int line) { return " (line " + std::to_string(line) + ")"; }

// Components alike in what is wrong with them: a finding names the first, and how many more
// there are.
struct Components {
  const StructureInstance* first = nullptr;
  int more = 0;

  void Add(const StructureInstance& instance) {
    if (first == nullptr) {
      first = &instance;
    } else {
      ++more;
    }
  }
  std::string Shown() const {
    return Quoted(Text(first->name)) +
           (more == 0 ? std::string() : " (and " + std::to_string(more) + " more)");
  }
};

// Every list below counts from 0: the records the run saves, in its order of lists (the
// documents in place, then the changeable ones), the instance records, and the documents on
// disk by their position in the walk.
class AfterChecker {
 public:
  AfterChecker(FileSystem& files, const ZTRDocumentManager& plan, const CheckedPlan& listed,
               const ReadingMap& map, Report* report)
      : files_(files), plan_(plan), listed_(listed), map_(map), report_(report) {}

  void Run(std::vector<std::string>* old_files) {
    AfterRun disk(files_, kSessionName);
    if (!disk.created()) {
      report_->Error(1, "no session could be created to open the documents");
      return;
    }
    disk_ = &disk;
    OpenSavedDocuments();
    MarkDocuments();
    ReplayInstances();
    FindLostSaves();
    CheckSavedDocuments();
    CheckInstances();
    CheckReferences();
    if (old_files != nullptr) {
      for (const std::string& file : disk.OldFilesLeft(Moves())) old_files->push_back(file);
    }
    disk_ = nullptr;
  }

 private:
  // A listed record that the run saves, with the file it is saved to.
  struct Saved {
    const ListedObject* object;
    const ZTRChangeableDocument* changeable;  // null for a document in place
    CATUnicodeString file;
    int position = -1;  // of the document that the file holds; -1 when it cannot be opened
  };

  // What the references of a document on disk are held against.
  struct Seen {
    int listed_as = -1;     // the first saved record whose file holds it
    int reached_from = -1;  // the first saved record from whose file it is reached
    int renamed_by = -1;    // the renamed record whose old file it is open from
  };

  // The names that a parent on disk must have (present) and must not have, each with the
  // instance record that decided it last.
  struct Expected {
    bool present;
    size_t record;
  };
  using ExpectedNames = std::unordered_map<std::string, Expected>;
  using NameCounts = std::unordered_map<std::string, int>;

  // The changes of a document saved in place that are on disk, and those that are not.
  struct SaveFacts {
    int applied = 0;
    bool part_number_lost = false;
    std::vector<size_t> instances_lost;  // instance records whose new name is missing
    std::vector<int> files_lost;         // renamed records whose old file it still refers to
    Components components_lost;          // its components that refer to those old files
    bool Lost() const { return applied == 0 && (!instances_lost.empty() || !files_lost.empty()); }
  };

  int Line(const ListedObject& object) const { return map_.records()[object.record].line; }
  int KeyLine(const ListedObject& object, const char* key) const {
    return map_.KeyLine(object.record, key);
  }
  static std::string Name(const ListedObject& object) {
    const CATString& identifier = object.object->GetIdentifier();
    return Quoted(
        std::string(identifier.CastToCharPtr(), static_cast<size_t>(identifier.GetLengthInChar())));
  }
  const StructureDocument& Document(int position) const {
    return disk_->structure().documents[static_cast<size_t>(position)];
  }
  // The file of the document at `position` on disk, in full.
  std::string Shown(int position) const {
    return QuotedFile(Text(Document(position).storage_name));
  }
  const ZTRDocumentInstance& InstanceRecord(size_t i) const {
    return plan_.DocumentInstanceAt(static_cast<int>(i) + 1);
  }
  // The saved record at `place` of the plan.
  const Saved& SavedAt(ZTRDocumentManager::DocumentPlace place) const {
    const int first = place.list == StageList::kDocuments ? 0 : plan_.DocumentCount();
    return saved_[static_cast<size_t>(first + place.index - 1)];
  }

  // Lists the saved records and opens the file of each, with everything reached from them.
  void OpenSavedDocuments() {
    for (int i = 1; i <= plan_.DocumentCount(); ++i) {
      saved_.push_back({&listed_.documents[static_cast<size_t>(i - 1)], nullptr,
                        plan_.DocumentAt(i).ExternalLocation});
    }
    for (int i = 1; i <= plan_.ChangeableDocumentCount(); ++i) {
      const ZTRChangeableDocument& record = plan_.ChangeableDocumentAt(i);
      saved_.push_back({&listed_.changeable_documents[static_cast<size_t>(i - 1)], &record,
                        record.NewExternalLocation});
    }
    std::vector<std::string> files;
    for (const Saved& saved : saved_) files.push_back(Text(saved.file));
    const std::vector<int> positions = disk_->Open(files);
    for (size_t i = 0; i < saved_.size(); ++i) {
      saved_[i].position = positions[i];
      // A record without a file is reported without opening anything.
      if (positions[i] < 0 && !files[i].empty()) ReportUnopened(saved_[i]);
    }
  }

  void ReportUnopened(const Saved& saved) {
    const ListedObject& object = *saved.object;
    if (saved.changeable != nullptr && !disk_->Exists(Text(saved.file))) {
      report_->Error(KeyLine(object, "NEW_EXTERNAL_LOCATION"),
                     "document " + Name(object) + " was not saved as " +
                         QuotedFile(Text(saved.file)) + ": there is no such file");
      return;
    }
    report_->Error(
        saved.changeable != nullptr ? KeyLine(object, "NEW_EXTERNAL_LOCATION") : Line(object),
        "document " + Name(object) + ": " + QuotedFile(Text(saved.file)) + " cannot be opened");
  }

  void CheckSavedDocuments() const {
    for (const Saved& saved : saved_) {
      if (saved.position < 0) continue;
      const StructureDocument& document = Document(saved.position);
      const ListedObject& object = *saved.object;
      if (!document.has_product) {
        report_->Error(Line(object), "document " + Name(object) + ": " +
                                         QuotedFile(Text(saved.file)) + " has no root product");
      } else if (saved.changeable != nullptr &&
                 document.part_number != saved.changeable->NewPartNumber &&
                 !IsLost(saved.position)) {
        report_->Error(KeyLine(object, "NEW_PARTNUMBER"),
                       "document " + Name(object) + ": " + QuotedFile(Text(saved.file)) +
                           " carries the part number " + Quoted(Text(document.part_number)) +
                           ", not its new " + Quoted(Text(saved.changeable->NewPartNumber)));
      }
    }
  }

  // The position on disk of the document in which the run renames `record`'s instance, as the
  // run finds it; -1 when it is not checked (parents that are not listed, cannot be opened or
  // have no product are reported already).
  int ParentOnDisk(const ZTRDocumentInstance& record) const {
    const ZTRDocumentManager::DocumentPlace place =
        plan_.FindParentDocument(record.ParentPartNumber);
    if (place.index == 0 || record.Instancename.GetLengthInChar() == 0) return -1;
    const int position = SavedAt(place).position;
    return position >= 0 && Document(position).has_product ? position : -1;
  }

  // Replays the instance records, as the run applies them, onto the names each parent must and
  // must not have, and counts the names of the parents' components on disk.
  void ReplayInstances() {
    parent_of_.resize(listed_.instances.size());
    for (size_t i = 0; i < parent_of_.size(); ++i) {
      const ZTRDocumentInstance& record = InstanceRecord(i);
      parent_of_[i] = ParentOnDisk(record);
      if (parent_of_[i] < 0) continue;
      ExpectedNames& names = expected_[parent_of_[i]];
      names[Text(record.Instancename)] = {false, i};
      names[Text(record.NewInstancename)] = {true, i};
    }
    for (const auto& entry : expected_) {
      NameCounts& counts = actual_[entry.first];
      for (const StructureInstance& instance : Document(entry.first).instances) {
        ++counts[Text(instance.name)];
      }
    }
  }

  // Holds each document that is saved in place against its changes: one that holds none of
  // them was not saved, and what follows from that is said once, at its record's line.
  void FindLostSaves() {
    for (size_t s = 0; s < saved_.size(); ++s) {
      const Saved& saved = saved_[s];
      if (saved.position < 0 || !Document(saved.position).has_product || !InPlace(saved) ||
          lost_.count(saved.position) != 0) {
        continue;
      }
      const SaveFacts facts = FactsOfSave(saved);
      if (facts.Lost()) {
        lost_.insert(saved.position);
        ReportLostSave(saved, facts);
      }
    }
  }

  static bool InPlace(const Saved& saved) {
    return saved.changeable == nullptr ||
           FileKey(Text(saved.changeable->ExternalLocation)) == FileKey(Text(saved.file));
  }
  // True for a renamed record whose document was saved under a new file.
  static bool Moved(const Saved& saved) { return saved.changeable != nullptr && !InPlace(saved); }
  bool IsLost(int position) const { return lost_.count(position) != 0; }

  // Which of the changes the run was to save in place in `saved` are on disk, and which not.
  SaveFacts FactsOfSave(const Saved& saved) const {
    SaveFacts facts;
    const StructureDocument& document = Document(saved.position);
    const ZTRChangeableDocument* record = saved.changeable;
    if (record != nullptr && record->NewPartNumber != record->PartNumber) {
      if (document.part_number == record->NewPartNumber) {
        ++facts.applied;
      } else {
        facts.part_number_lost = true;
      }
    }
    const auto names = expected_.find(saved.position);
    if (names != expected_.end()) {
      const NameCounts& has = actual_.at(saved.position);
      for (const auto& [name, expected] : names->second) {
        const ZTRDocumentInstance& instance = InstanceRecord(expected.record);
        if (!expected.present || instance.NewInstancename == instance.Instancename) continue;
        if (has.count(name) != 0) {
          ++facts.applied;
        } else {
          facts.instances_lost.push_back(expected.record);
        }
      }
      std::sort(facts.instances_lost.begin(), facts.instances_lost.end());
    }
    for (const StructureInstance& instance : document.instances) {
      if (instance.document < 0) continue;
      const Seen& child = seen_[static_cast<size_t>(instance.document)];
      if (child.listed_as >= 0 && Moved(saved_[static_cast<size_t>(child.listed_as)])) {
        ++facts.applied;
      } else if (child.renamed_by >= 0 &&
                 saved_[static_cast<size_t>(child.renamed_by)].position >= 0) {
        // Its new file is there: the reference to the old one is this document's own.
        facts.components_lost.Add(instance);
        if (std::find(facts.files_lost.begin(), facts.files_lost.end(), child.renamed_by) ==
            facts.files_lost.end()) {
          facts.files_lost.push_back(child.renamed_by);
        }
      }
    }
    return facts;
  }

  // One error at the line of a document whose save is not on disk, naming the changes lost
  // with it: its new part number, the new names of the instances it holds, the new files it
  // was to refer to.
  void ReportLostSave(const Saved& saved, const SaveFacts& facts) const {
    std::vector<std::string> lost;
    if (facts.part_number_lost) {
      lost.push_back("its new part number " + Quoted(Text(saved.changeable->NewPartNumber)));
    }
    if (!facts.instances_lost.empty()) {
      std::vector<const ListedObject*> objects;
      for (const size_t i : facts.instances_lost) objects.push_back(&listed_.instances[i]);
      lost.push_back("the new name" + std::string(objects.size() == 1 ? "" : "s") + " of instance" +
                     (objects.size() == 1 ? " " : "s ") + Listed(objects));
    }
    if (!facts.files_lost.empty()) {
      std::vector<const ListedObject*> objects;
      for (const int r : facts.files_lost) objects.push_back(saved_[static_cast<size_t>(r)].object);
      lost.push_back("the new file" + std::string(objects.size() == 1 ? "" : "s") + " of " +
                     Listed(objects) + " for its component" +
                     (facts.components_lost.more == 0 ? " " : "s ") +
                     facts.components_lost.Shown());
    }
    std::string message = "document " + Name(*saved.object) + " was not saved to " +
                          QuotedFile(Text(saved.file)) +
                          ": none of its changes are there; lost with it: ";
    for (size_t i = 0; i < lost.size(); ++i) message += (i == 0 ? "" : "; ") + lost[i];
    report_->Error(Line(*saved.object), message);
  }

  // Names the first few of `objects`, each with its line, and how many more there are.
  std::string Listed(const std::vector<const ListedObject*>& objects) const {
    const size_t shown = objects.size() > 4 ? 3 : objects.size();
    std::string text;
    for (size_t i = 0; i < shown; ++i) {
      text += (i == 0 ? "" : ", ") + Name(*objects[i]) + At(Line(*objects[i]));
    }
    if (shown < objects.size()) text += " and " + std::to_string(objects.size() - shown) + " more";
    return text;
  }

  // Holds the instance records against the parents' components on disk; those in a parent
  // that was not saved are said with it.
  void CheckInstances() {
    for (size_t i = 0; i < parent_of_.size(); ++i) {
      if (parent_of_[i] >= 0 && !IsLost(parent_of_[i])) {
        CheckInstance(i, parent_of_[i], expected_[parent_of_[i]], actual_[parent_of_[i]]);
      }
    }
  }

  // Reports instance record `i` when its old name is still under its parent or its new one is
  // missing, and this record decided that name last.
  void CheckInstance(size_t i, int parent, ExpectedNames& names, NameCounts& has) const {
    const ZTRDocumentInstance& record = InstanceRecord(i);
    const ListedObject& object = listed_.instances[i];
    const std::string old_name = Text(record.Instancename), new_name = Text(record.NewInstancename);
    const Expected& old_expected = names[old_name];
    const Expected& new_expected = names[new_name];
    const bool old_still = old_expected.record == i && !old_expected.present && has[old_name] > 0;
    const bool new_missing = new_expected.record == i && new_expected.present && has[new_name] == 0;
    if (!old_still && !new_missing) return;
    const std::string under = Shown(parent);
    if (old_still && new_missing) {
      report_->Error(KeyLine(object, "INSTANCENAME"),
                     "instance " + Name(object) + ": " + Quoted(old_name) + " under " + under +
                         " was not renamed to " + Quoted(new_name));
    } else if (old_still) {
      report_->Error(
          KeyLine(object, "INSTANCENAME"),
          "instance " + Name(object) + ": " + under + " still has a component " + Quoted(old_name));
    } else if (new_missing) {
      report_->Error(
          KeyLine(object, "NEW_INSTANCENAME"),
          "instance " + Name(object) + ": no component " + Quoted(new_name) + " under " + under);
    }
  }

  // What the references of every document reached are held against.
  void MarkDocuments() {
    seen_.assign(disk_->structure().documents.size(), Seen());
    MarkListed(&seen_);
    MarkReached(&seen_);
    MarkRenamed(&seen_);
  }

  // References of every document reached: none to the old file of a renamed document, none to
  // a file that cannot be opened. An old file is left as it was on purpose: what it refers to
  // is not looked at.
  void CheckReferences() const {
    for (size_t d = 0; d < seen_.size(); ++d) {
      if (seen_[d].renamed_by >= 0 && seen_[d].listed_as < 0) continue;
      CheckReferencesOf(static_cast<int>(d), seen_);
    }
  }

  void MarkListed(std::vector<Seen>* seen) const {
    for (size_t i = 0; i < saved_.size(); ++i) {
      if (saved_[i].position < 0) continue;
      int& listed_as = (*seen)[static_cast<size_t>(saved_[i].position)].listed_as;
      if (listed_as < 0) listed_as = static_cast<int>(i);
    }
  }

  void MarkReached(std::vector<Seen>* seen) const {
    for (size_t i = 0; i < saved_.size(); ++i) {
      if (saved_[i].position < 0 ||
          (*seen)[static_cast<size_t>(saved_[i].position)].reached_from >= 0) {
        continue;
      }
      std::vector<int> pending{saved_[i].position};
      (*seen)[static_cast<size_t>(saved_[i].position)].reached_from = static_cast<int>(i);
      while (!pending.empty()) {
        const int document = pending.back();
        pending.pop_back();
        for (const StructureInstance& instance : Document(document).instances) {
          if (instance.document < 0) continue;
          int& reached_from = (*seen)[static_cast<size_t>(instance.document)].reached_from;
          if (reached_from >= 0) continue;
          reached_from = static_cast<int>(i);
          pending.push_back(instance.document);
        }
      }
    }
  }

  // The documents open from the old file of a renamed document, by the record that renamed it.
  void MarkRenamed(std::vector<Seen>* seen) const {
    for (size_t i = 0; i < saved_.size(); ++i) {
      const ZTRChangeableDocument* record = saved_[i].changeable;
      if (record == nullptr || record->ExternalLocation == CATUnicodeString() ||
          FileKey(Text(record->ExternalLocation)) == FileKey(Text(record->NewExternalLocation))) {
        continue;
      }
      const int old_document = disk_->OpenFrom(Text(record->ExternalLocation));
      if (old_document < 0 || old_document == saved_[i].position) continue;
      int& renamed_by = (*seen)[static_cast<size_t>(old_document)].renamed_by;
      if (renamed_by < 0) renamed_by = static_cast<int>(i);
    }
  }

  // Reports the components of document `d` that refer to the old file of a renamed document
  // (unless `d` was not saved, which is said already), and those that refer to no file that
  // can be opened.
  void CheckReferencesOf(int d, const std::vector<Seen>& seen) const {
    std::vector<std::pair<int, Components>> stale;  // by renamed record, as first met
    std::unordered_map<int, size_t> stale_index;    // renamed record -> entry in `stale`
    Components unresolved;
    for (const StructureInstance& instance : Document(d).instances) {
      if (instance.document < 0) {
        unresolved.Add(instance);
        continue;
      }
      const int renamed = seen[static_cast<size_t>(instance.document)].renamed_by;
      if (renamed < 0 || IsLost(d)) continue;
      const auto [entry, added] = stale_index.emplace(renamed, stale.size());
      if (added) stale.push_back({renamed, Components()});
      stale[entry->second].second.Add(instance);
    }
    const Seen& here = seen[static_cast<size_t>(d)];
    for (const auto& [renamed, components] : stale) {
      ReportStale(d, here.listed_as, saved_[static_cast<size_t>(renamed)], components);
    }
    if (unresolved.first != nullptr && here.reached_from >= 0) {
      ReportUnresolved(d, saved_[static_cast<size_t>(here.reached_from)], unresolved);
    }
  }

  void ReportStale(int document, int listed_as, const Saved& renamed,
                   const Components& components) const {
    const ListedObject& renamed_object = *renamed.object;
    const std::string old_file = QuotedFile(Text(renamed.changeable->ExternalLocation));
    const std::string component = " component " + components.Shown();
    if (listed_as >= 0) {
      const ListedObject& object = *saved_[static_cast<size_t>(listed_as)].object;
      report_->Error(Line(object), "document " + Name(object) + ": its" + component +
                                       " still refers to " + old_file + ", the old file of " +
                                       Name(renamed_object) + At(Line(renamed_object)));
      return;
    }
    report_->Error(Line(renamed_object),
                   "document " + Name(renamed_object) + ": " + Shown(document) +
                       ", which no record saves, still refers to its old file " + old_file +
                       " with its" + component + "; PARENT_OBJECTS does not list it");
  }

  void ReportUnresolved(int document, const Saved& reached_from,
                        const Components& components) const {
    const ListedObject& object = *reached_from.object;
    const bool root = reached_from.position == document;
    report_->Error(Line(object), "document " + Name(object) + ": " +
                                     (root ? std::string("its") : Shown(document) + ":") +
                                     " component " + components.Shown() +
                                     " refers to no file that can be opened");
  }

  // The documents saved under new files, as the old files left behind are found.
  std::vector<AfterRun::Move> Moves() const {
    std::vector<AfterRun::Move> moves;
    for (const Saved& saved : saved_) {
      if (saved.changeable == nullptr) continue;
      moves.push_back({Text(saved.changeable->ExternalLocation), Text(saved.file)});
    }
    return moves;
  }

  FileSystem& files_;
  const ZTRDocumentManager& plan_;
  const CheckedPlan& listed_;
  const ReadingMap& map_;
  Report* report_;
  AfterRun* disk_ = nullptr;  // while Run reads it
  std::vector<Saved> saved_;
  std::vector<Seen> seen_;      // by position on disk
  std::vector<int> parent_of_;  // of each instance record: its parent's position, or -1
  std::unordered_map<int, ExpectedNames> expected_;  // by the parent's position
  std::unordered_map<int, NameCounts> actual_;       // by the parent's position
  std::set<int> lost_;  // positions of documents saved in place that hold none of their changes
};

}  // namespace

void CheckAfter(FileSystem& files, const ZTRDocumentManager& plan, const CheckedPlan& listed,
                const ReadingMap& map, Report* report, std::vector<std::string>* old_files) {
  AfterChecker(files, plan, listed, map, report).Run(old_files);
}
