#include "structure/session_reading.h"

#include "CATDocumentServices.h"
#include "CATIProduct.h"
#include "CATSessionServices.h"
#include "product/root_product.h"

bool RootPartNumber(FileSystem& files, const std::string& file, std::string* part_number) {
  const char kSessionName[] = "Quorvel root part number";
  CATSession* session = nullptr;
  if (FAILED(Create_Session(kSessionName, session, files, nullptr)) || session == nullptr) {
    return false;
  }
  CATDocument* document = nullptr;
  bool found = false;
  if (SUCCEEDED(CATDocumentServices::OpenDocument(file.c_str(), document, false))) {
    CATIProduct_var root = FindRootProduct(document);
    found = root != NULL_var;
    if (found) *part_number = root->GetPartNumber().ConvertToChar();
  }
  Delete_Session(kSessionName, 0, 0);
  return found;
}

bool ReadProductStructure(FileSystem& files, const std::string& file, ProductStructure* structure) {
  const char kSessionName[] = "Quorvel structure";
  CATSession* session = nullptr;
  if (FAILED(Create_Session(kSessionName, session, files, nullptr)) || session == nullptr) {
    return false;
  }
  CATDocument* root = nullptr;
  const bool opened = SUCCEEDED(CATDocumentServices::OpenDocument(file.c_str(), root)) &&
                      WalkProductStructure(root, structure);
  Delete_Session(kSessionName, 0, 0);
  return opened;
}
