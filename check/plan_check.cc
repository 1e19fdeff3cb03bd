#include "check/plan_check.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "findings/suggestion.h"
#include "plan/text.h"
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
  PlanChecker(const ZTRObjectManager& objects, const ZTRDocumentManager& plan,
              const ReadingMap& map, Report* report)
      : objects_(objects), plan_(plan), map_(map), report_(report) {
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

  const ZTRObjectManager& objects_;
  const ZTRDocumentManager& plan_;
  const ReadingMap& map_;
  Report* report_;
  std::map<const ZTRObject*, size_t> index_;
  std::vector<std::string> identifiers_;
  std::unordered_map<std::string, size_t> first_;  // identifier -> its first record
  std::unique_ptr<Suggestion> suggestion_;         // over the identifiers, made when needed
  std::unordered_set<std::string> parents_;        // part numbers of the listed documents
  std::vector<bool> shadowed_;  // by record: an earlier object has the same identifier
  std::vector<std::string> document_files_, changeable_files_, new_files_;
};

}  // namespace

void CheckPlan(const ZTRObjectManager& objects, const ZTRDocumentManager& plan,
               const ReadingMap& map, CheckedPlan* listed, Report* report) {
  PlanChecker(objects, plan, map, report).Run(listed);
}
