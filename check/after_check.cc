#include "check/after_check.h"

#include <filesystem>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "CATDocumentServices.h"
#include "CATSessionServices.h"
#include "findings/display_text.h"
#include "structure/product_structure.h"
#include "system/files.h"
#include "system/paths.h"

namespace {

const char kSessionName[] = "Quorvel_Check_After_Session";

std::string Text(const CATUnicodeString& text) {
  return std::string(text.ConvertToChar(), static_cast<size_t>(text.GetLengthInChar()));
}

class AfterChecker {
 public:
  AfterChecker(const ZTRDocumentManager& plan, const CheckedPlan& listed, const ReadingMap& map,
               Report* report)
      : plan_(plan), listed_(listed), map_(map), report_(report) {}

  void Run() {
    CATSession* session = nullptr;
    if (FAILED(Create_Session(kSessionName, session)) || session == nullptr) {
      report_->Error(1, "no session could be created to open the documents");
      return;
    }
    OpenListedDocuments();
    for (const StructureDocument& document : structure_.documents) {
      by_name_.emplace(Text(document.storage_name), by_name_.size());
    }
    CheckListedDocuments();
    CheckInstances();
    CheckReferences();
    Delete_Session(kSessionName, 0, 0);
  }

  void ListOldFiles(std::vector<std::string>* old_files) const {
    std::set<std::string> reached, listed;
    for (const StructureDocument& document : structure_.documents) {
      reached.insert(StorageKey(Text(document.storage_name)));
    }
    for (const Saved& saved : saved_) {
      if (saved.changeable == nullptr) continue;
      const std::string old_file = StorageName(Text(saved.changeable->ExternalLocation));
      FileFacts facts;
      if (old_file.empty() || Disk().SameFile(old_file, Text(saved.file)) ||
          !Disk().CurrentFacts(old_file, &facts) || reached.count(StorageKey(old_file)) != 0 ||
          !listed.insert(StorageKey(old_file)).second) {
        continue;
      }
      old_files->push_back(old_file);
    }
  }

 private:
  // The listed records that the run saves, in its order of lists: the documents in place, then
  // the changeable ones, each with the file it is saved to.
  struct Saved {
    const ListedObject* object;
    const ZTRChangeableDocument* changeable;  // null for a document in place
    CATUnicodeString part_number;             // as the control file gives it
    CATUnicodeString file;
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
  static std::string At(int line) { return " (line " + std::to_string(line) + ")"; }

  // The file of the document at `position` of the walk, in full.
  std::string Shown(int position) const {
    return QuotedFile(Text(structure_.documents[static_cast<size_t>(position)].storage_name));
  }

  // Opens the file each listed record is saved to, and walks everything reached from them.
  void OpenListedDocuments() {
    for (int i = 1; i <= plan_.DocumentCount(); ++i) {
      saved_.push_back({&listed_.documents[static_cast<size_t>(i - 1)], nullptr,
                        plan_.DocumentAt(i).PartNumber, plan_.DocumentAt(i).ExternalLocation});
    }
    for (int i = 1; i <= plan_.ChangeableDocumentCount(); ++i) {
      const ZTRChangeableDocument& record = plan_.ChangeableDocumentAt(i);
      saved_.push_back({&listed_.changeable_documents[static_cast<size_t>(i - 1)], &record,
                        record.PartNumber, record.NewExternalLocation});
    }
    std::vector<CATDocument*> roots;
    for (const Saved& saved : saved_) {
      CATDocument* document = nullptr;
      // A record without a file is reported without opening anything.
      if (saved.file != CATUnicodeString() &&
          FAILED(CATDocumentServices::OpenDocument(saved.file, document, false))) {
        ReportUnopened(saved);
      }
      roots.push_back(document);
    }
    WalkProductStructures(roots, &structure_, &positions_);
  }

  void ReportUnopened(const Saved& saved) {
    const ListedObject& object = *saved.object;
    std::error_code error;
    if (saved.changeable != nullptr && !std::filesystem::exists(Text(saved.file), error)) {
      report_->Error(KeyLine(object, "NEW_EXTERNAL_LOCATION"),
                     "document " + Name(object) + " was not saved as " +
                         QuotedFile(Text(saved.file)) + ": there is no such file");
      return;
    }
    report_->Error(
        saved.changeable != nullptr ? KeyLine(object, "NEW_EXTERNAL_LOCATION") : Line(object),
        "document " + Name(object) + ": " + QuotedFile(Text(saved.file)) + " cannot be opened");
  }

  void CheckListedDocuments() {
    for (size_t i = 0; i < saved_.size(); ++i) {
      if (positions_[i] < 0) continue;
      const StructureDocument& document = structure_.documents[static_cast<size_t>(positions_[i])];
      const Saved& saved = saved_[i];
      if (!document.has_product) {
        report_->Error(Line(*saved.object), "document " + Name(*saved.object) + ": " +
                                                QuotedFile(Text(saved.file)) +
                                                " has no root product");
      } else if (saved.changeable != nullptr &&
                 document.part_number != saved.changeable->NewPartNumber) {
        report_->Error(KeyLine(*saved.object, "NEW_PARTNUMBER"),
                       "document " + Name(*saved.object) + ": " + QuotedFile(Text(saved.file)) +
                           " carries the part number " + Quoted(Text(document.part_number)) +
                           ", not its new " + Quoted(Text(saved.changeable->NewPartNumber)));
      }
    }
  }

  // Replays the instance records, as the run applies them, onto the names each parent must and
  // must not have, and holds them against the parents' components on disk.
  void CheckInstances() {
    // Parent part number -> the position of the document that the run renames instances in:
    // the first in-place document with it, failing that the first changeable one.
    std::unordered_map<std::string, int> parents;
    for (size_t i = 0; i < saved_.size(); ++i) {
      parents.emplace(Text(saved_[i].part_number), positions_[i]);
    }
    struct Expected {
      bool present;
      size_t record;  // the instance record that decided it last
    };
    std::unordered_map<int, std::unordered_map<std::string, Expected>> expected;
    std::vector<int> parent_of(listed_.instances.size(), -1);
    for (size_t i = 0; i < listed_.instances.size(); ++i) {
      const ZTRDocumentInstance& record = plan_.DocumentInstanceAt(static_cast<int>(i) + 1);
      const auto parent = parents.find(Text(record.ParentPartNumber));
      // Parents that are not listed, cannot be opened or have no product are reported already.
      if (parent == parents.end() || parent->second < 0 ||
          record.Instancename.GetLengthInChar() == 0 ||
          !structure_.documents[static_cast<size_t>(parent->second)].has_product) {
        continue;
      }
      parent_of[i] = parent->second;
      std::unordered_map<std::string, Expected>& names = expected[parent->second];
      names[Text(record.Instancename)] = {false, i};
      names[Text(record.NewInstancename)] = {true, i};
    }
    std::unordered_map<int, std::unordered_map<std::string, int>> actual;  // name -> count
    for (const auto& entry : expected) {
      for (const StructureInstance& instance :
           structure_.documents[static_cast<size_t>(entry.first)].instances) {
        ++actual[entry.first][Text(instance.name)];
      }
    }
    for (size_t i = 0; i < listed_.instances.size(); ++i) {
      if (parent_of[i] < 0) continue;
      const ZTRDocumentInstance& record = plan_.DocumentInstanceAt(static_cast<int>(i) + 1);
      const ListedObject& object = listed_.instances[i];
      const std::string old_name = Text(record.Instancename),
                        new_name = Text(record.NewInstancename);
      std::unordered_map<std::string, Expected>& names = expected[parent_of[i]];
      std::unordered_map<std::string, int>& has = actual[parent_of[i]];
      const Expected& old_expected = names[old_name];
      const Expected& new_expected = names[new_name];
      const bool old_still = old_expected.record == i && !old_expected.present && has[old_name] > 0;
      const bool new_missing =
          new_expected.record == i && new_expected.present && has[new_name] == 0;
      if (!old_still && !new_missing) continue;
      const std::string under = Shown(parent_of[i]);
      if (old_still && new_missing) {
        report_->Error(KeyLine(object, "INSTANCENAME"),
                       "instance " + Name(object) + ": " + Quoted(old_name) + " under " + under +
                           " was not renamed to " + Quoted(new_name));
      } else if (old_still) {
        report_->Error(KeyLine(object, "INSTANCENAME"), "instance " + Name(object) + ": " + under +
                                                            " still has a component " +
                                                            Quoted(old_name));
      } else if (new_missing) {
        report_->Error(
            KeyLine(object, "NEW_INSTANCENAME"),
            "instance " + Name(object) + ": no component " + Quoted(new_name) + " under " + under);
      }
    }
  }

  // References of every document reached: none to the old file of a renamed document, none to
  // a file that cannot be opened.
  void CheckReferences() {
    const size_t count = structure_.documents.size();
    // The first listed record saved to each document, and the first record from whose file
    // each document is reached.
    std::vector<int> listed_as(count, -1), reached_from(count, -1);
    for (size_t i = 0; i < saved_.size(); ++i) {
      if (positions_[i] >= 0 && listed_as[static_cast<size_t>(positions_[i])] < 0) {
        listed_as[static_cast<size_t>(positions_[i])] = static_cast<int>(i);
      }
    }
    for (size_t i = 0; i < saved_.size(); ++i) {
      if (positions_[i] < 0 || reached_from[static_cast<size_t>(positions_[i])] >= 0) continue;
      std::vector<int> pending{positions_[i]};
      reached_from[static_cast<size_t>(positions_[i])] = static_cast<int>(i);
      while (!pending.empty()) {
        const int document = pending.back();
        pending.pop_back();
        for (const StructureInstance& instance :
             structure_.documents[static_cast<size_t>(document)].instances) {
          if (instance.document < 0 || reached_from[static_cast<size_t>(instance.document)] >= 0) {
            continue;
          }
          reached_from[static_cast<size_t>(instance.document)] = static_cast<int>(i);
          pending.push_back(instance.document);
        }
      }
    }
    // The documents open from the old file of a renamed document, by the record that renamed it.
    std::vector<int> renamed_by(count, -1);
    for (size_t i = 0; i < saved_.size(); ++i) {
      const ZTRChangeableDocument* record = saved_[i].changeable;
      if (record == nullptr || record->ExternalLocation == CATUnicodeString() ||
          FileKey(Text(record->ExternalLocation)) == FileKey(Text(record->NewExternalLocation))) {
        continue;
      }
      CATDocument* old_document = nullptr;
      if (FAILED(
              CATDocumentServices::GetDocumentInSession(record->ExternalLocation, old_document)) ||
          old_document == nullptr) {
        continue;  // nothing refers to the old file
      }
      const auto found = by_name_.find(Text(old_document->StorageName()));
      if (found != by_name_.end() && renamed_by[found->second] < 0 &&
          (positions_[i] < 0 || found->second != static_cast<size_t>(positions_[i]))) {
        renamed_by[found->second] = static_cast<int>(i);
      }
    }
    for (size_t d = 0; d < count; ++d) {
      // Each finding names the first component, and how many more there are like it.
      struct Stale {
        int renamed;
        const StructureInstance* first;
        int more;
      };
      std::vector<Stale> stale;
      std::unordered_map<int, size_t> stale_index;  // renamed record -> entry in `stale`
      const StructureInstance* unresolved = nullptr;
      int more_unresolved = 0;
      for (const StructureInstance& instance : structure_.documents[d].instances) {
        if (instance.document < 0) {
          if (unresolved == nullptr) {
            unresolved = &instance;
          } else {
            ++more_unresolved;
          }
          continue;
        }
        const int renamed = renamed_by[static_cast<size_t>(instance.document)];
        if (renamed < 0) continue;
        const auto [entry, added] = stale_index.emplace(renamed, stale.size());
        if (added) {
          stale.push_back({renamed, &instance, 0});
        } else {
          ++stale[entry->second].more;
        }
      }
      for (const Stale& entry : stale) {
        ReportStale(d, listed_as[d], static_cast<size_t>(entry.renamed), *entry.first, entry.more);
      }
      if (unresolved != nullptr && reached_from[d] >= 0) {
        const ListedObject& object = *saved_[static_cast<size_t>(reached_from[d])].object;
        const bool root = positions_[static_cast<size_t>(reached_from[d])] == static_cast<int>(d);
        report_->Error(Line(object),
                       "document " + Name(object) + ": " +
                           (root ? std::string("its") : Shown(static_cast<int>(d)) + ":") +
                           " component " + Quoted(Text(unresolved->name)) + More(more_unresolved) +
                           " refers to no file that can be opened");
      }
    }
  }

  static std::string More(int more) {
    return more == 0 ? std::string() : " (and " + std::to_string(more) + " more)";
  }

  void ReportStale(size_t document, int listed_as, size_t renamed,
                   const StructureInstance& instance, int more) {
    const ListedObject& renamed_object = *saved_[renamed].object;
    const std::string old_file = QuotedFile(Text(saved_[renamed].changeable->ExternalLocation));
    const std::string component = " component " + Quoted(Text(instance.name)) + More(more);
    if (listed_as >= 0) {
      const ListedObject& object = *saved_[static_cast<size_t>(listed_as)].object;
      report_->Error(Line(object), "document " + Name(object) + ": its" + component +
                                       " still refers to " + old_file + ", the old file of " +
                                       Name(renamed_object) + At(Line(renamed_object)));
      return;
    }
    report_->Error(Line(renamed_object),
                   "document " + Name(renamed_object) + ": " + Shown(static_cast<int>(document)) +
                       ", which no record saves, still refers to its old file " + old_file +
                       " with its" + component + "; PARENT_OBJECTS does not list it");
  }

  const ZTRDocumentManager& plan_;
  const CheckedPlan& listed_;
  const ReadingMap& map_;
  Report* report_;
  std::vector<Saved> saved_;
  ProductStructure structure_;
  std::vector<int> positions_;                       // of each saved_ record's document
  std::unordered_map<std::string, size_t> by_name_;  // storage name -> position
};

}  // namespace

void CheckAfter(const ZTRDocumentManager& plan, const CheckedPlan& listed, const ReadingMap& map,
                Report* report, std::vector<std::string>* old_files) {
  AfterChecker checker(plan, listed, map, report);
  checker.Run();
  if (old_files != nullptr) checker.ListOldFiles(old_files);
}
