#include "check/open_check.h"

#include <filesystem>
#include <map>
#include <set>

#include "CATDocumentServices.h"
#include "CATSessionServices.h"
#include "session/root_product.h"

namespace {

const char kSessionName[] = "Quorvel_Check_Session";

std::string Text(const CATUnicodeString& text) { return text.ConvertToChar(); }

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
  for (int i = 1; i <= plan.ChangeableDocumentCount(); ++i) {
    const ZTRChangeableDocument& record = plan.ChangeableDocumentAt(i);
    const ListedObject& object = listed.changeable_documents[static_cast<size_t>(i - 1)];
    CheckDocument(record, object, map, report);
    std::error_code error;
    if (SameFile(record.NewExternalLocation) != SameFile(record.ExternalLocation) &&
        std::filesystem::exists(Text(record.NewExternalLocation), error)) {
      report->Warning(map.KeyLine(object.record, "NEW_EXTERNAL_LOCATION"),
                      "document " + Name(object) + ": a file " +
                          Quoted(Text(record.NewExternalLocation)) +
                          " exists already and would be replaced");
    }
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
