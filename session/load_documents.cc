// Loading: every document of the plan opened in the session, its root product given the plan's
// part number.
#include "CATDocumentServices.h"
#include "output/output.h"
#include "plan/ztr_document_manager.h"
#include "product/root_product.h"

namespace {

// Opens one record's document and sets its part number; 0, or the result that ends loading.
int LoadDocument(const ZTRDocumentManager& plan, StageList list, int index, std::ostream* log,
                 int open_failure, int no_root) {
  const ZTRDocument& record =
      list == StageList::kDocuments ? plan.DocumentAt(index) : plan.ChangeableDocumentAt(index);
  const CATUnicodeString name = record.ExternalLocation;
  CATDocument* document = nullptr;
  ConsoleLine("Loading document: ", name.ConvertToChar(), "...");
  if (FAILED(CATDocumentServices::OpenDocument(name, document, false))) {
    LogLine(log, "Failed to load document: ", name.ConvertToChar());
    ConsoleLine("********* Failed to load document: ", name.ConvertToChar());
    plan.Tell("loading", list, index, true, EventFile(name) + " cannot be opened");
    return open_failure;
  }
  LogLine(log, "Document loaded: ", name.ConvertToChar());
  const CATUnicodeString part_number = record.PartNumber;
  CATIProduct_var product = FindRootProduct(document);
  if (product == NULL_var) {
    plan.Tell("loading", list, index, true, EventFile(name) + " has no root product");
    return no_root;
  }
  product->SetPartNumber(part_number);
  LogLine(log, "Partnumber set to: ", part_number.ConvertToChar());
  ConsoleLine("Partnumber set to: ", part_number.ConvertToChar());
  ConsoleLine("Loading completed");
  return 0;
}

}  // namespace

int ZTRDocumentManager::LoadDocuments() {
  LogLine(LogStream, "Loading documents");
  for (int i = 1; i <= DocumentCount(); ++i) {
    if (const int result = LoadDocument(*this, StageList::kDocuments, i, LogStream, 1, 2))
      return result;
  }
  for (int i = 1; i <= ChangeableDocumentCount(); ++i) {
    if (const int result = LoadDocument(*this, StageList::kChangeableDocuments, i, LogStream, 3, 4))
      return result;
  }
  LogLine(LogStream, "All documents loaded successfully.");
  return 0;
}
