#include "check/plan_check.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "findings/suggestion.h"
#include "plan/text.h"
#include "prediction/run_prediction.h"
#include "system/files.h"
#include "system/paths.h"

namespace {

using Keys = std::vector<std::string>;
// The keys the plan reads, by what an object is listed as.
const Keys kRootKeys = {"PARENT_OBJECTS", "CHILD_OBJECTS", "INSTANCE_OBJECTS"};
const Keys kDocumentKeys = {"PARTNUMBER", "EXTERNAL_LOCATION"};
const Keys kChangeableKeys = {"PARTNUMBER", "EXTERNAL_LOCATION", "NEW_PARTNUMBER",
                              "NEW_EXTERNAL_LOCATION"};
const Keys kInstanceKeys = {"PARENT_PARTNUMBER", "INSTANCENAME", "NEW_INSTANCENAME"};

std::string Text(const CATString& text) {
  return std::string(text.CastToCharPtr(), static_cast<size_t>(text.GetLengthInChar()));
}

std::string Upper(const std::string& text) {
  CATString upper(text.c_str());
  upper.ToUpper();
  return upper.CastToCharPtr();
}

class PlanChecker {
 public:
  PlanChecker(FileSystem& files, const ZTRObjectManager& objects, const ZTRDocumentManager& plan,
              const ReadingMap& map, Report* report, std::vector<RunConflict>* conflicts)
      : files_(files),
        objects_(objects),
        plan_(plan),
        map_(map),
        report_(report),
        conflicts_(conflicts) {
    for (int i = 1; i <= objects.Size(); ++i) {
      index_[objects.GetObject(i)] = static_cast<size_t>(i - 1);
      identifiers_.push_back(Text(objects.GetObject(i)->GetIdentifier()));
      first_.emplace(identifiers_.back(), static_cast<size_t>(i - 1));
    }
    for (int i = 1; i <= plan.DocumentCount(); ++i) {
      parents_.insert(Text(plan.DocumentAt(i).PartNumber));
    }
    for (int i = 1; i <= plan.ChangeableDocumentCount(); ++i) {
      parents_.insert(Text(plan.ChangeableDocumentAt(i).PartNumber));
    }
  }

  void Run(CheckedPlan* listed) {
    CheckIdentifiers();
    const ZTRObject* root = objects_.FindObject("ROOT");
    if (root == nullptr) {
      ReportNoRoot();
      return;
    }
    ListObjects(*root, listed);
    FindFiles();
    CheckKeys(*root, *listed);
    CheckDocuments(*listed);
    CheckInstances(*listed);
    CheckPartNumbers(*listed);
    CheckPartNumberChecks(*listed);
    CheckSavedInPlaceAndRenamed(*listed);
    CheckSavesToOneFile(*listed);
  }

 private:
  int Line(const ListedObject& listed) const { return map_.records()[listed.record].line; }
  int KeyLine(const ListedObject& listed, const char* key) const {
    return map_.KeyLine(listed.record, key);
  }
  std::string Name(const ListedObject& listed) const {
    return Quoted(Text(listed.object->GetIdentifier()));
  }
  static std::string At(int line) { return " (line " + std::to_string(line) + ")"; }

  void CheckIdentifiers() {
    shadowed_.assign(identifiers_.size(), false);
    for (size_t i = 0; i < identifiers_.size(); ++i) {
      const size_t first = first_.at(identifiers_[i]);
      if (first == i) continue;
      shadowed_[i] = true;
      report_->Warning(map_.records()[i].line, "identifier " + Quoted(identifiers_[i]) +
                                                   " is used again (first at line " +
                                                   std::to_string(map_.records()[first].line) +
                                                   "); only the first object is ever found");
    }
  }

  void ReportNoRoot() {
    for (size_t i = 0; i < identifiers_.size(); ++i) {
      if (Upper(identifiers_[i]) == "ROOT") {
        report_->Warning(map_.records()[i].line,
                         "no ROOT object: " + Quoted(identifiers_[i]) +
                             " is not it, identifiers are case-sensitive; nothing is renamed");
        return;
      }
    }
    report_->Warning(1, "no ROOT object; nothing is renamed");
  }

  // The plan's lists as the builder takes them; an identifier that names no object is an error.
  void ListObjects(const ZTRObject& root, CheckedPlan* listed) {
    *listed = ListPlanObjects(objects_);
    const size_t root_record = index_.at(&root);
    for (const std::string& key : kRootKeys) {
      const CATListValCATString items = root.GetAttributeList(key.c_str());
      for (int i = 1; i <= items.Size(); ++i) {
        const std::string wanted = Text(items[i]);
        if (first_.count(wanted) != 0) continue;
        if (!suggestion_) suggestion_ = std::make_unique<Suggestion>(identifiers_);
        const std::string close = suggestion_->Closest(wanted);
        report_->Error(map_.KeyLine(root_record, key),
                       key + " lists " + Quoted(wanted) + ", which names no object" +
                           (close.empty() ? "" : "; did you mean " + Quoted(close) + "?"));
      }
    }
  }

  // Keys that nothing reads, for each object by what it is listed as; an object listed as
  // nothing may hold any key that the plan reads of some object.
  void CheckKeys(const ZTRObject& root, const CheckedPlan& listed) {
    std::map<size_t, std::set<std::string>> read;
    auto add = [&read](size_t record, const Keys& keys) {
      read[record].insert(keys.begin(), keys.end());
    };
    std::set<std::string> all;
    for (const Keys* keys : {&kRootKeys, &kChangeableKeys, &kInstanceKeys}) {
      all.insert(keys->begin(), keys->end());
    }
    add(index_.at(&root), kRootKeys);
    add(index_.at(&root), {kCopyKey});  // read by the companions, not by the tool
    for (const ListedObject& o : listed.documents) add(o.record, kDocumentKeys);
    for (const ListedObject& o : listed.changeable_documents) add(o.record, kChangeableKeys);
    for (const ListedObject& o : listed.instances) add(o.record, kInstanceKeys);
    for (size_t r = 0; r < identifiers_.size(); ++r) {
      if (shadowed_[r]) continue;  // never found at all
      const auto listed_as = read.find(r);
      const std::set<std::string>& known = listed_as != read.end() ? listed_as->second : all;
      for (const ReadingMap::Attribute& attribute : map_.records()[r].attributes) {
        if (known.count(attribute.key) != 0) continue;
        if (all.count(attribute.key) != 0) {
          report_->Warning(attribute.line, "key " + Quoted(attribute.key) + " is not read for " +
                                               Quoted(identifiers_[r]) +
                                               ", given what it is listed as");
          continue;
        }
        const std::string close =
            Suggestion(std::vector<std::string>(known.begin(), known.end())).Closest(attribute.key);
        report_->Warning(attribute.line,
                         "key " + Quoted(attribute.key) + " is never read" +
                             (close.empty() ? "" : "; did you mean " + Quoted(close) + "?"));
      }
    }
  }

  void CheckDocuments(const CheckedPlan& listed) {
    for (size_t i = 0; i < listed.documents.size(); ++i) {
      if (plan_.DocumentAt(static_cast<int>(i) + 1).ExternalLocation == CATUnicodeString()) {
        report_->Error(Line(listed.documents[i]),
                       "document " + Name(listed.documents[i]) + " has no EXTERNAL_LOCATION");
      }
    }
    for (size_t i = 0; i < listed.changeable_documents.size(); ++i) {
      const ZTRChangeableDocument& record = plan_.ChangeableDocumentAt(static_cast<int>(i) + 1);
      const ListedObject& object = listed.changeable_documents[i];
      if (record.ExternalLocation == CATUnicodeString()) {
        report_->Error(Line(object), "document " + Name(object) + " has no EXTERNAL_LOCATION");
      }
      if (record.NewPartNumber == record.PartNumber && new_files_[i] == changeable_files_[i]) {
        report_->Warning(Line(object), "changeable document " + Name(object) +
                                           " gets neither a new part number nor a new file path");
      }
    }
  }

  void CheckInstances(const CheckedPlan& listed) {
    std::map<std::pair<std::string, std::string>, int> renamed, given;
    for (size_t i = 0; i < listed.instances.size(); ++i) {
      const ZTRDocumentInstance& record = plan_.DocumentInstanceAt(static_cast<int>(i) + 1);
      const ListedObject& object = listed.instances[i];
      const std::string parent = Text(record.ParentPartNumber);
      if (parent.empty()) {
        report_->Error(Line(object), "instance " + Name(object) + " has no PARENT_PARTNUMBER");
      } else if (parents_.count(parent) == 0) {
        report_->Error(KeyLine(object, "PARENT_PARTNUMBER"),
                       "instance " + Name(object) + ": no listed document carries the parent " +
                           "part number " + Quoted(parent));
      }
      if (record.Instancename == CATUnicodeString()) {
        report_->Error(Line(object), "instance " + Name(object) + " has no INSTANCENAME");
        continue;
      }
      const auto same =
          renamed.emplace(std::make_pair(parent, Text(record.Instancename)), Line(object));
      if (!same.second) {
        report_->Warning(Line(object), "instance " + Quoted(Text(record.Instancename)) + " under " +
                                           Quoted(parent) +
                                           " is renamed already by the record at line " +
                                           std::to_string(same.first->second));
      }
      const auto taken =
          given.emplace(std::make_pair(parent, Text(record.NewInstancename)), Line(object));
      if (!taken.second) {
        report_->Warning(KeyLine(object, "NEW_INSTANCENAME"),
                         "new instance name " + Quoted(Text(record.NewInstancename)) + " under " +
                             Quoted(parent) + " is given already by the record at line " +
                             std::to_string(taken.first->second));
      }
    }
  }

  // The file of each listed document, and of each changeable document's new path, worked out
  // once: the checks below compare them often.
  void FindFiles() {
    for (int i = 1; i <= plan_.DocumentCount(); ++i) {
      document_files_.push_back(FileKey(Text(plan_.DocumentAt(i).ExternalLocation)));
    }
    for (int i = 1; i <= plan_.ChangeableDocumentCount(); ++i) {
      changeable_files_.push_back(FileKey(Text(plan_.ChangeableDocumentAt(i).ExternalLocation)));
      new_files_.push_back(FileKey(Text(plan_.ChangeableDocumentAt(i).NewExternalLocation)));
    }
  }

  // A new part number that another listed document carries too.
  void CheckPartNumbers(const CheckedPlan& listed) {
    // Part number -> the listed documents (file, object) that carry it, in list order.
    std::map<std::string, std::vector<std::pair<std::string, const ListedObject*>>> carriers;
    for (int i = 1; i <= plan_.DocumentCount(); ++i) {
      const size_t k = static_cast<size_t>(i - 1);
      carriers[Text(plan_.DocumentAt(i).PartNumber)].emplace_back(document_files_[k],
                                                                  &listed.documents[k]);
    }
    for (int i = 1; i <= plan_.ChangeableDocumentCount(); ++i) {
      const size_t k = static_cast<size_t>(i - 1);
      carriers[Text(plan_.ChangeableDocumentAt(i).PartNumber)].emplace_back(
          changeable_files_[k], &listed.changeable_documents[k]);
    }
    for (size_t i = 0; i < listed.changeable_documents.size(); ++i) {
      const ZTRChangeableDocument& record = plan_.ChangeableDocumentAt(static_cast<int>(i) + 1);
      if (record.NewPartNumber == record.PartNumber) continue;
      const std::string number = Text(record.NewPartNumber);
      const auto holders = carriers.find(number);
      if (holders == carriers.end()) continue;
      for (const auto& holder : holders->second) {
        if (holder.first == changeable_files_[i]) continue;
        report_->Warning(KeyLine(listed.changeable_documents[i], "NEW_PARTNUMBER"),
                         "new part number " + Quoted(number) + " is the part number of " +
                             Name(*holder.second) + At(Line(*holder.second)) + " as well");
        break;
      }
    }
  }

  // Replays what loading and the part-number stage do to the part number of each file: a
  // changeable document whose file an earlier record gave another part number fails its check.
  void CheckPartNumberChecks(const CheckedPlan& listed) {
    std::unordered_map<std::string, std::string> carried;  // file -> its part number by then
    for (int i = 1; i <= plan_.DocumentCount(); ++i) {
      carried[document_files_[size_t(i - 1)]] = Text(plan_.DocumentAt(i).PartNumber);
    }
    for (int i = 1; i <= plan_.ChangeableDocumentCount(); ++i) {
      carried[changeable_files_[size_t(i - 1)]] = Text(plan_.ChangeableDocumentAt(i).PartNumber);
    }
    std::unordered_map<std::string, const ListedObject*> changed_by;
    for (size_t i = 0; i < listed.changeable_documents.size(); ++i) {
      const ZTRChangeableDocument& record = plan_.ChangeableDocumentAt(static_cast<int>(i) + 1);
      const ListedObject& object = listed.changeable_documents[i];
      const std::string& file = changeable_files_[i];
      if (file.empty()) continue;
      if (carried[file] != Text(record.PartNumber)) {
        const auto earlier = changed_by.find(file);
        Conflict(
            Line(object),
            "changeable document " + Name(object) + " names the document of " +
                (earlier != changed_by.end() ? Name(*earlier->second) + At(Line(*earlier->second))
                                             : std::string("another record")) +
                "; its part number check would fail: the document then carries " +
                Quoted(carried[file]) + ", not " + Quoted(Text(record.PartNumber)),
            {{StageList::kChangeableDocuments, static_cast<int>(i) + 1, "PARTNUMBER"}});
        continue;
      }
      carried[file] = Text(record.NewPartNumber);
      changed_by[file] = &object;
    }
  }

  // A changeable document saved under a new file is no longer open under its old one, where
  // the document listed under PARENT_OBJECTS with that file is looked for to be saved.
  void CheckSavedInPlaceAndRenamed(const CheckedPlan& listed) {
    std::unordered_map<std::string, size_t> in_place;  // file -> its first parent record
    for (size_t i = 0; i < listed.documents.size(); ++i) in_place.emplace(document_files_[i], i);
    for (size_t i = 0; i < listed.changeable_documents.size(); ++i) {
      const ZTRChangeableDocument& record = plan_.ChangeableDocumentAt(static_cast<int>(i) + 1);
      const auto parent = in_place.find(changeable_files_[i]);
      if (changeable_files_[i].empty() || parent == in_place.end() ||
          files_.SameFile(Text(record.ExternalLocation), Text(record.NewExternalLocation))) {
        continue;
      }
      const ListedObject& object = listed.changeable_documents[i];
      const ListedObject& as = listed.documents[parent->second];
      Conflict(
          Line(object),
          "document " + Name(object) + " is listed under PARENT_OBJECTS too" +
              (as.object == object.object ? std::string()
                                          : ", as " + Name(as) + At(Line(as)) + ",") +
              " and gets a new file path: once saved as " +
              QuotedFile(Text(record.NewExternalLocation)) +
              ", it is not found under its old one to be saved again, and saving stops there",
          {{StageList::kChangeableDocuments, static_cast<int>(i) + 1, "NEW_EXTERNAL_LOCATION"},
           {StageList::kDocuments, static_cast<int>(parent->second) + 1, "EXTERNAL_LOCATION"}});
    }
  }

  // A save of the saving stage: the record, the file it writes and where the run meets it.
  struct Save {
    RunConflict::Place place;
    const std::string* to;            // the storage key of the file written
    const CATUnicodeString* written;  // that file as the record names it
    const ZTRDocument* record;
    const ListedObject* object;
  };

  // The saves in the saving stage's order: changeable documents under their new files first,
  // then the parents in place.
  std::vector<Save> SavingOrder(const CheckedPlan& listed) const {
    std::vector<Save> saves;
    for (size_t i = 0; i < listed.changeable_documents.size(); ++i) {
      const int index = static_cast<int>(i) + 1;
      const ZTRChangeableDocument& record = plan_.ChangeableDocumentAt(index);
      saves.push_back({{StageList::kChangeableDocuments, index, "NEW_EXTERNAL_LOCATION"},
                       &new_files_[i],
                       &record.NewExternalLocation,
                       &record,
                       &listed.changeable_documents[i]});
    }
    for (size_t i = 0; i < listed.documents.size(); ++i) {
      const int index = static_cast<int>(i) + 1;
      const ZTRDocument& record = plan_.DocumentAt(index);
      saves.push_back({{StageList::kDocuments, index, "EXTERNAL_LOCATION"},
                       &document_files_[i],
                       &record.ExternalLocation,
                       &record,
                       &listed.documents[i]});
    }
    return saves;
  }

  // Two documents that the saving stage writes to one file: the later replaces the earlier.
  void CheckSavesToOneFile(const CheckedPlan& listed) {
    const std::vector<Save> saves = SavingOrder(listed);
    std::unordered_map<std::string, const Save*> writers;  // file -> the first save to it
    for (const Save& save : saves) {
      if (save.to->empty()) continue;
      const auto first = writers.emplace(*save.to, &save);
      const Save& other = *first.first->second;
      // A document saved twice to one file is one document.
      if (first.second || files_.SameFile(Text(other.record->ExternalLocation),
                                          Text(save.record->ExternalLocation))) {
        continue;
      }
      Conflict(Line(*save.object),
               "document " + Name(*save.object) + " would be saved to " +
                   QuotedFile(Text(*save.written)) + ", as " + Name(*other.object) +
                   At(Line(*other.object)) + " would",
               {save.place, other.place});
    }
  }

  void Conflict(int line, const std::string& message, std::vector<RunConflict::Place> places) {
    conflicts_->push_back({line, message, std::move(places)});
  }

  FileSystem& files_;
  const ZTRObjectManager& objects_;
  const ZTRDocumentManager& plan_;
  const ReadingMap& map_;
  Report* report_;
  std::vector<RunConflict>* conflicts_;
  std::map<const ZTRObject*, size_t> index_;
  std::vector<std::string> identifiers_;
  std::unordered_map<std::string, size_t> first_;  // identifier -> its first record
  std::unique_ptr<Suggestion> suggestion_;         // over the identifiers, made when needed
  std::unordered_set<std::string> parents_;        // part numbers of the listed documents
  std::vector<bool> shadowed_;  // by record: an earlier object has the same identifier
  std::vector<std::string> document_files_, changeable_files_, new_files_;
};

}  // namespace

void CheckPlan(FileSystem& files, const ZTRObjectManager& objects, const ZTRDocumentManager& plan,
               const ReadingMap& map, CheckedPlan* listed, Report* report) {
  std::vector<RunConflict> conflicts;
  CheckPlan(files, objects, plan, map, listed, report, &conflicts);
  ReportConflicts(conflicts, nullptr, report);
}

void CheckPlan(FileSystem& files, const ZTRObjectManager& objects, const ZTRDocumentManager& plan,
               const ReadingMap& map, CheckedPlan* listed, Report* report,
               std::vector<RunConflict>* conflicts) {
  conflicts->clear();
  PlanChecker(files, objects, plan, map, report, conflicts).Run(listed);
}

void ReportConflicts(const std::vector<RunConflict>& conflicts, const RunPrediction* predicted,
                     Report* report) {
  // The places of the predicted run's errors. A parent's EXTERNAL_LOCATION is where loading
  // fails as well as where saving does: it counts once the run got as far as saving.
  std::set<std::tuple<StageList, int, std::string>> met;
  bool saving = false;
  if (predicted != nullptr) {
    saving = !predicted->saves.empty();
    for (const PredictedFinding& finding : predicted->findings) {
      if (finding.error) met.emplace(finding.list, finding.index, finding.key);
      saving = saving || std::string(finding.key) == "NEW_EXTERNAL_LOCATION";
    }
  }
  for (const RunConflict& conflict : conflicts) {
    const bool said = std::any_of(
        conflict.places.begin(), conflict.places.end(), [&](const RunConflict::Place& place) {
          return (saving || std::string(place.key) != "EXTERNAL_LOCATION") &&
                 met.count({place.list, place.index, place.key}) != 0;
        });
    if (!said) report->Error(conflict.line, conflict.message);
  }
}
