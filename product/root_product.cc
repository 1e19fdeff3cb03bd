#include "product/root_product.h"

#include "CATIDocRoots.h"
#include "CATIEditor.h"
#include "CATLISTV_CATBaseUnknown.h"
#include "output/output.h"

CATIProduct_var FindRootProduct(CATDocument* document) {
  CATIProduct_var result;
  if (document == nullptr) {
    ConsoleLine("The Document Pointer is NULL");
    return result;
  }
  CATIEditor* editor = nullptr;
  if (FAILED(document->QueryInterface(IID_CATIEditor, reinterpret_cast<void**>(&editor))) ||
      editor == nullptr) {
    return result;
  }
  editor->GetEditor();
  CATIDocRoots* doc_roots = nullptr;
  if (FAILED(editor->QueryInterface(IID_CATIDocRoots, reinterpret_cast<void**>(&doc_roots))) ||
      doc_roots == nullptr) {
    editor->Release();
    return result;
  }
  CATListValCATBaseUnknown_var* roots = doc_roots->GiveDocRoots();
  if (roots == nullptr || roots->Size() == 0) {
    delete roots;
    doc_roots->Release();
    editor->Release();
    return result;
  }
  CATIProduct_var root = (*roots)[1];
  delete roots;
  doc_roots->Release();
  if (root == NULL_var) {
    editor->Release();
    return result;
  }
  CATIProduct* product = nullptr;
  if (FAILED(root->QueryInterface(IID_CATIProduct, reinterpret_cast<void**>(&product))) ||
      product == nullptr) {
    editor->Release();
    return result;
  }
  editor->Release();
  result = product;
  product->Release();
  return result;
}
