// Saving, and the processing sequence that ends with it: changeable documents under their new
// file paths first, then the documents in place, so that parents refer to the new files.
#include "CATDocumentServices.h"
#include "output/output.h"
#include "plan/ztr_document_manager.h"

namespace {

// Saves the document open under `location` as `target`. Returns 0 (a failed save included)
// or `missing` when the document is not in the session.
int SaveDocument(const ZTRDocumentManager& plan, StageList list, int index,
                 const CATUnicodeString& location, const CATUnicodeString& target,
                 std::ostream* log, int missing) {
  CATDocument* document = nullptr;
  if (FAILED(CATDocumentServices::GetDocumentInSession(location, document)) ||
      document == nullptr) {
    ConsoleLine("********* Failed to get document: ", location.ConvertToChar());
    plan.Tell("saving", list, index, true,
              "no document is open as " + EventFile(location) +
                  " any more: it was saved under another file before");
    return missing;
  }
  const CATUnicodeString no_format;
  const bool made = SUCCEEDED(CATDocumentServices::SaveAs(*document, target, no_format, 0));
  plan.TellSave({list, index, location, target, made});
  if (!made) {
    LogLine(log, "Failed to save document: ", location.ConvertToChar());
    ConsoleLine("Failed to save document: ", location.ConvertToChar());
    plan.Tell("saving", list, index, false,
              EventFile(location) + " cannot be saved as " + EventFile(target));
  } else {
    LogLine(log, "Document ", location.ConvertToChar(), " saved as ", target.ConvertToChar());
    ConsoleLine("Document ", location.ConvertToChar(), " saved as ", target.ConvertToChar());
  }
  return 0;
}

}  // namespace

int ZTRDocumentManager::SaveDocuments() {
  const CATUnicodeString empty;
  LogLine(LogStream, "Saving files");
  for (int i = 1; i <= ChangeableDocumentCount(); ++i) {
    const CATUnicodeString location = ChangeableDocumentAt(i).ExternalLocation;
    const CATUnicodeString target = ChangeableDocumentAt(i).NewExternalLocation;
    // A record without a new file path is given its file path as its new one (rename_records):
    // the new one is missing only when both are.
    if (location == empty) {
      Tell("saving", StageList::kChangeableDocuments, i, true, "the record has no file path");
      return 2;
    }
    if (const int result = SaveDocument(*this, StageList::kChangeableDocuments, i, location, target,
                                        LogStream, 1)) {
      return result;
    }
  }
  for (int i = 1; i <= DocumentCount(); ++i) {
    const CATUnicodeString location = DocumentAt(i).ExternalLocation;
    if (location == empty) {
      Tell("saving", StageList::kDocuments, i, true, "the record has no file path");
      return 4;
    }
    if (const int result =
            SaveDocument(*this, StageList::kDocuments, i, location, location, LogStream, 3)) {
      return result;
    }
  }
  LogLine(LogStream, "All files saved successfully.");
  return 0;
}

int ZTRDocumentManager::ProcessDocuments() {
  if (SetNewInstanceNames() != 0) return 1;
  if (SetNewPartNumbers() != 0) return 2;
  return SaveDocuments() != 0 ? 3 : 0;
}
