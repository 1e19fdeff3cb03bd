#include "check/after_check.h"

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
                 document.part_number != saved.changeable->NewPartNumber) {
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
  // must not have, and holds them against the parents' components on disk.
  void CheckInstances() const {
    std::vector<int> parent_of(listed_.instances.size());
    std::unordered_map<int, ExpectedNames> expected;  // by the parent's position
    for (size_t i = 0; i < parent_of.size(); ++i) {
      const ZTRDocumentInstance& record = InstanceRecord(i);
      parent_of[i] = ParentOnDisk(record);
      if (parent_of[i] < 0) continue;
      ExpectedNames& names = expected[parent_of[i]];
      names[Text(record.Instancename)] = {false, i};
      names[Text(record.NewInstancename)] = {true, i};
    }
    std::unordered_map<int, NameCounts> actual;
    for (const auto& entry : expected) {
      NameCounts& counts = actual[entry.first];
      for (const StructureInstance& instance : Document(entry.first).instances) {
        ++counts[Text(instance.name)];
      }
    }
    for (size_t i = 0; i < parent_of.size(); ++i) {
      if (parent_of[i] >= 0) {
        CheckInstance(i, parent_of[i], expected[parent_of[i]], actual[parent_of[i]]);
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

  // References of every document reached: none to the old file of a renamed document, none to
  // a file that cannot be opened.
  void CheckReferences() const {
    std::vector<Seen> seen(disk_->structure().documents.size());
    MarkListed(&seen);
    MarkReached(&seen);
    MarkRenamed(&seen);
    for (size_t d = 0; d < seen.size(); ++d) CheckReferencesOf(static_cast<int>(d), seen);
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

  // Reports the components of document `d` that refer to the old file of a renamed document,
  // and those that refer to no file that can be opened.
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
      if (renamed < 0) continue;
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
};

}  // namespace

void CheckAfter(FileSystem& files, const ZTRDocumentManager& plan, const CheckedPlan& listed,
                const ReadingMap& map, Report* report, std::vector<std::string>* old_files) {
  AfterChecker(files, plan, listed, map, report).Run(old_files);
}
