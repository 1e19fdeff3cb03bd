// New part numbers: each changeable document found again in the session, its current part
// number checked against the plan, and the new one set.
#include "CATDocumentServices.h"
#include "output/output.h"
#include "plan/ztr_document_manager.h"
#include "product/root_product.h"

namespace {

int SetNewPartNumber(const ZTRDocumentManager& plan, int index, std::ostream* log) {
  const ZTRChangeableDocument& record = plan.ChangeableDocumentAt(index);
  const auto stop = [&](const EventText& why) {
    plan.Tell("new part numbers", StageList::kChangeableDocuments, index, true, why);
  };
  const CATUnicodeString part_number = record.PartNumber;
  const CATUnicodeString new_part_number = record.NewPartNumber;
  const CATUnicodeString name = record.ExternalLocation;
  CATDocument* document = nullptr;
  if (name == CATUnicodeString()) {
    LogLine(log, "Failed to find document name for partnumber: ", part_number.ConvertToChar());
    ConsoleLine("********* Failed to find document name for partnumber: ",
                part_number.ConvertToChar());
    stop("the document of part number " + EventValue(part_number) + " has no file path");
    return 4;
  }
  if (FAILED(CATDocumentServices::GetDocumentInSession(name, document)) || document == nullptr) {
    LogLine(log, "Failed to get document: ", name.ConvertToChar());
    ConsoleLine("********* Failed to get document: ", name.ConvertToChar());
    stop(EventFile(name) + " is not open in the session under that name");
    return 1;
  }
  LogLine(log, "Find document in session: ", name.ConvertToChar());
  CATIProduct_var product = FindRootProduct(document);
  if (product == NULL_var) {
    stop(EventFile(name) + " has no root product");
    return 2;
  }
  const CATUnicodeString carried = product->GetPartNumber();
  if (carried != part_number) {
    stop("the root product of " + EventFile(name) + " carries the part number " +
         EventValue(carried) + " by then, not " + EventValue(part_number));
    return 3;
  }
  product->SetPartNumber(new_part_number);
  LogLine(log, "Partnumber set to: ", new_part_number.ConvertToChar());
  ConsoleLine("Partnumber set to: ", new_part_number.ConvertToChar());
  return 0;
}

}  // namespace

int ZTRDocumentManager::SetNewPartNumbers() {
  LogLine(LogStream, "Setting new part numbers");
  for (int i = 1; i <= ChangeableDocumentCount(); ++i) {
    if (const int result = SetNewPartNumber(*this, i, LogStream)) return result;
  }
  LogLine(LogStream, "All part numbers set successfully.");
  return 0;
}
