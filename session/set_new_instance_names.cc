// New instance names: each instance found among the children of its parent document's root
// product, by its current name, and renamed.
#include "CATDocumentServices.h"
#include "output/output.h"
#include "plan/ztr_document_manager.h"
#include "product/root_product.h"

namespace {

// Searches the root product's children for the first one named `instance_name`. Returns 0 with
// `*match` holding the child's interface (null when none is named so), or 3 or 4 when a
// child cannot be read.
int FindChild(const CATIProduct_var& root, const CATUnicodeString& instance_name,
              CATIProduct** match) {
  *match = nullptr;
  CATListValCATBaseUnknown_var* children = root->GetChildren("CATIProduct");
  if (children == nullptr) return 0;
  int result = 0;
  for (int i = 1; i <= children->Size(); ++i) {
    const CATBaseUnknown_var& entry = (*children)[i];
    CATIProduct* child = nullptr;
    if (entry == NULL_var ||
        FAILED(entry->QueryInterface(IID_CATIProduct, reinterpret_cast<void**>(&child))) ||
        child == nullptr) {
      result = 3;
      break;
    }
    CATUnicodeString name;
    if (FAILED(child->GetPrdInstanceName(name))) {
      child->Release();
      result = 4;
      break;
    }
    if (name == instance_name) {
      *match = child;
      break;
    }
    child->Release();
  }
  delete children;
  return result;
}

// Renames the matched child, whose reference it releases. Returns 0, or 5 when the child
// cannot be reached as an instance of the root product.
int RenameChild(const CATIProduct_var& root, CATIProduct* child,
                const CATUnicodeString& new_instance_name, std::ostream* log, bool* renamed) {
  CATIProduct_var holder = root->GetReferenceProduct();
  CATIProduct_var target = child->FindInstance(holder);
  holder = CATIProduct_var();
  if (target == NULL_var) {
    child->Release();
    return 5;
  }
  const HRESULT set = target->SetPrdInstanceName(new_instance_name);
  child->Release();
  if (set == 0) {
    *renamed = true;
    LogLine(log, "InstanceName set to: ", new_instance_name.ConvertToChar());
    ConsoleLine("InstanceName set to: ", new_instance_name.ConvertToChar());
  } else {
    LogLine(log, "Failed to change the instance name: ", new_instance_name.ConvertToChar());
    ConsoleLine("********* Failed to change the instance name: ",
                new_instance_name.ConvertToChar());
  }
  return 0;
}

int SetNewInstanceName(const ZTRDocumentManager& plan, int index, std::ostream* log) {
  const ZTRDocumentInstance& record = plan.DocumentInstanceAt(index);
  const auto tell = [&](bool stopped, const EventText& why) {
    plan.Tell("new instance names", StageList::kDocumentInstances, index, stopped, why);
  };
  const CATUnicodeString parent_part_number = record.ParentPartNumber;
  const CATUnicodeString instance_name = record.Instancename;
  const CATUnicodeString new_instance_name = record.NewInstancename;
  bool renamed = false;
  const CATUnicodeString name = plan.FindDocumentName(parent_part_number);
  if (name == CATUnicodeString()) {
    LogLine(log,
            "Failed to find document name for partnumber: ", parent_part_number.ConvertToChar());
    ConsoleLine("********* Failed to find document name for partnumber: ",
                parent_part_number.ConvertToChar());
    tell(true,
         "no document of the plan has the parent part number " + EventValue(parent_part_number));
    return 6;
  }
  CATDocument* document = nullptr;
  if (FAILED(CATDocumentServices::GetDocumentInSession(name, document)) || document == nullptr) {
    LogLine(log, "Failed to find document in session: ", name.ConvertToChar());
    ConsoleLine("********* Failed to get document: ", name.ConvertToChar());
    tell(true, "the parent document " + EventFile(name) + " is not open in the session");
    return 1;
  }
  LogLine(log, "Find document in session: ", name.ConvertToChar());
  CATIProduct_var root = FindRootProduct(document);
  if (root == NULL_var) {
    tell(true, "the parent document " + EventFile(name) + " has no root product");
    return 2;
  }
  CATIProduct* child = nullptr;
  if (const int result = FindChild(root, instance_name, &child)) {
    tell(true, "a component of " + EventFile(name) + " cannot be read");
    return result;
  }
  const bool found = child != nullptr;
  if (found) {
    if (const int result = RenameChild(root, child, new_instance_name, log, &renamed)) {
      tell(true, "the component " + EventValue(instance_name) + " of " + EventFile(name) +
                     " cannot be reached as an instance");
      return result;
    }
  }
  root = CATIProduct_var();
  if (!renamed) {
    LogLine(log, "Failed to change the instance name: ", instance_name.ConvertToChar());
    ConsoleLine("********* Failed to change the instance name: ", instance_name.ConvertToChar());
    tell(false, found ? "the component " + EventValue(instance_name) + " of " + EventFile(name) +
                            " cannot be named " + EventValue(new_instance_name) +
                            ": the name is empty or another component of it has that name"
                      : EventFile(name) + " has no component " + EventValue(instance_name) +
                            " when the run renames it");
  }
  return 0;
}

}  // namespace

int ZTRDocumentManager::SetNewInstanceNames() {
  LogLine(LogStream, "Setting new instance names");
  for (int i = 1; i <= DocumentInstanceCount(); ++i) {
    if (const int result = SetNewInstanceName(*this, i, LogStream)) {
      return result;
    }
  }
  LogLine(LogStream, "All Instance names set successfully.");
  return 0;
}
