#include "check/open_check.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <vector>

#include "CATDocumentServices.h"
#include "CATSessionServices.h"
#include "product/root_product.h"

namespace {

const char kSessionName[] = "Quorvel_Check_Session";

std::string Text(const CATUnicodeString& text) {
  return std::string(text.ConvertToChar(), static_cast<size_t>(text.GetLengthInChar()));
}

std::string Name(const ListedObject& listed) {
  return Quoted(listed.object->GetIdentifier().CastToCharPtr());
}

// The instance names of the components of the root product of the document open as `name`;
// false when that document or its root product cannot be reached.
bool ComponentNames(const CATUnicodeString& name, std::set<std::string>* names) {
  CATDocument* document = nullptr;
  if (FAILED(CATDocumentServices::GetDocumentInSession(name, document))) return false;
  CATIProduct_var root = FindRootProduct(document);
  if (root == NULL_var) return false;
  CATListValCATBaseUnknown_var* children = root->GetChildren("CATIProduct");
  for (int i = 1; children != nullptr && i <= children->Size(); ++i) {
    CATIProduct_var child = (*children)[i];
    CATUnicodeString instance_name;
    if (child != NULL_var && SUCCEEDED(child->GetPrdInstanceName(instance_name))) {
      names->insert(Text(instance_name));
    }
  }
  delete children;
  return true;
}

void CheckDocument(const ZTRDocument& record, const ListedObject& listed, const ReadingMap& map,
                   Report* report) {
  if (record.ExternalLocation == CATUnicodeString()) return;  // reported without opening
  const int line = map.records()[listed.record].line;
  CATDocument* document = nullptr;
  if (FAILED(CATDocumentServices::OpenDocument(record.ExternalLocation, document, false))) {
    report->Error(line, "document " + Name(listed) + ": " + Quoted(Text(record.ExternalLocation)) +
                            " cannot be opened");
    return;
  }
  CATIProduct_var root = FindRootProduct(document);
  if (root == NULL_var) {
    report->Error(line, "document " + Name(listed) + ": " + Quoted(Text(record.ExternalLocation)) +
                            " has no root product");
    return;
  }
  const CATUnicodeString carried = root->GetPartNumber();
  if (carried != record.PartNumber) {
    report->Warning(map.KeyLine(listed.record, "PARTNUMBER"),
                    "document " + Name(listed) + ": the root product of " +
                        Quoted(Text(record.ExternalLocation)) + " carries the part number " +
                        Quoted(Text(carried)) + ", not " + Quoted(Text(record.PartNumber)));
  }
}

// Files ".quorvel-save-*" in the folders of the listed documents: left by saves that were cut
// short. Each folder is looked at once; what is found is said at the first document in it.
class LeftoverCheck {
 public:
  LeftoverCheck(const ReadingMap& map, Report* report) : map_(map), report_(report) {}

  void Look(const CATUnicodeString& location, const ListedObject& listed) {
    if (location == CATUnicodeString()) return;
    const std::filesystem::path folder = std::filesystem::path(Text(location)).parent_path();
    std::error_code error;
    const std::filesystem::path where = folder.empty() ? std::filesystem::path(".") : folder;
    const std::filesystem::path absolute = std::filesystem::absolute(where, error);
    if (!seen_.insert((error ? where : absolute).lexically_normal().generic_string()).second) {
      return;
    }
    std::vector<std::string> names;
    for (std::filesystem::directory_iterator entry(where, error), end; !error && entry != end;
         entry.increment(error)) {
      const std::string name = entry->path().filename().string();
      if (name.rfind(kLeftover, 0) == 0) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      report_->Warning(map_.KeyLine(listed.record, "EXTERNAL_LOCATION"),
                       Quoted((folder / name).generic_string()) +
                           " is left from a save that was cut short; it may be deleted");
    }
  }

 private:
  static constexpr char kLeftover[] = ".quorvel-save-";
  const ReadingMap& map_;
  Report* report_;
  std::set<std::string> seen_;
};

}  // namespace

void CheckOpen(const ZTRDocumentManager& plan, const CheckedPlan& listed, const ReadingMap& map,
               Report* report) {
  CATSession* session = nullptr;
  if (FAILED(Create_Session(kSessionName, session)) || session == nullptr) {
    report->Error(1, "no session could be created to open the documents");
    return;
  }
  for (int i = 1; i <= plan.DocumentCount(); ++i) {
    CheckDocument(plan.DocumentAt(i), listed.documents[static_cast<size_t>(i - 1)], map, report);
  }
  std::set<CATDocument*> moved;  // saved away from their files by earlier records
  for (int i = 1; i <= plan.ChangeableDocumentCount(); ++i) {
    const ZTRChangeableDocument& record = plan.ChangeableDocumentAt(i);
    const ListedObject& object = listed.changeable_documents[static_cast<size_t>(i - 1)];
    CheckDocument(record, object, map, report);
    if (SameFile(record.NewExternalLocation) == SameFile(record.ExternalLocation)) continue;
    CATDocument* own = nullptr;
    CATDocument* there = nullptr;
    CATDocumentServices::GetDocumentInSession(record.ExternalLocation, own);
    // The session knows a file by every path that reaches it, links included.
    if (record.NewExternalLocation != CATUnicodeString() &&
        SUCCEEDED(CATDocumentServices::GetDocumentInSession(record.NewExternalLocation, there)) &&
        there != nullptr && there != own && moved.count(there) == 0) {
      report->Error(map.KeyLine(object.record, "NEW_EXTERNAL_LOCATION"),
                    "document " + Name(object) + ": " + Quoted(Text(record.NewExternalLocation)) +
                        " is the file of another open document, " +
                        Quoted(Text(there->StorageName())) + "; saving over it fails");
    } else if (std::error_code error;
               std::filesystem::exists(Text(record.NewExternalLocation), error)) {
      report->Warning(map.KeyLine(object.record, "NEW_EXTERNAL_LOCATION"),
                      "document " + Name(object) + ": a file " +
                          Quoted(Text(record.NewExternalLocation)) +
                          " exists already and would be replaced");
    }
    if (own != nullptr) moved.insert(own);
  }
  LeftoverCheck leftovers(map, report);
  for (int i = 1; i <= plan.DocumentCount(); ++i) {
    leftovers.Look(plan.DocumentAt(i).ExternalLocation,
                   listed.documents[static_cast<size_t>(i - 1)]);
  }
  for (int i = 1; i <= plan.ChangeableDocumentCount(); ++i) {
    leftovers.Look(plan.ChangeableDocumentAt(i).ExternalLocation,
                   listed.changeable_documents[static_cast<size_t>(i - 1)]);
  }
  // Instance names as the documents have them, and as earlier records of the run rename them.
  std::map<std::string, std::set<std::string>> names;  // parent document -> instance names
  std::set<std::string> unreachable;                   // said already, when opened
  for (int i = 1; i <= plan.DocumentInstanceCount(); ++i) {
    const ZTRDocumentInstance& record = plan.DocumentInstanceAt(i);
    const CATUnicodeString parent = plan.FindDocumentName(record.ParentPartNumber);
    if (parent == CATUnicodeString() || record.Instancename == CATUnicodeString()) continue;
    const std::string key = SameFile(parent);
    auto found = names.find(key);
    if (found == names.end()) {
      std::set<std::string> components;
      if (unreachable.count(key) != 0 || !ComponentNames(parent, &components)) {
        unreachable.insert(key);
        continue;
      }
      found = names.emplace(key, std::move(components)).first;
    }
    std::set<std::string>& under = found->second;
    const ListedObject& object = listed.instances[static_cast<size_t>(i - 1)];
    if (under.count(Text(record.Instancename)) == 0) {
      report->Warning(map.KeyLine(object.record, "INSTANCENAME"),
                      "instance " + Name(object) + ": no component " +
                          Quoted(Text(record.Instancename)) + " under " + Quoted(Text(parent)));
      continue;
    }
    under.erase(Text(record.Instancename));
    under.insert(Text(record.NewInstancename));
  }
  Delete_Session(kSessionName, 0, 0);
}
