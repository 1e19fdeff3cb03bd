#include "structure/product_structure.h"

#include <map>
#include <utility>

#include "CATILinkableObject.h"
#include "CATIProduct.h"
#include "CATLISTV_CATBaseUnknown.h"
#include "product/root_product.h"

namespace {

// The storage name of the document that holds `product`; empty when it cannot be asked.
CATUnicodeString HoldingDocument(const CATIProduct_var& product) {
  CATILinkableObject* linkable = nullptr;
  if (product == NULL_var ||
      FAILED(
          product->QueryInterface(IID_CATILinkableObject, reinterpret_cast<void**>(&linkable))) ||
      linkable == nullptr) {
    return CATUnicodeString();
  }
  CATDocument* document = linkable->GetDocument();
  CATUnicodeString name = document ? document->StorageName() : CATUnicodeString();
  linkable->Release();
  return name;
}

}  // namespace

bool WalkProductStructure(CATDocument* root, ProductStructure* structure) {
  std::vector<int> positions;
  WalkProductStructures({root}, structure, &positions);
  return root != nullptr;
}

void WalkProductStructures(const std::vector<CATDocument*>& roots, ProductStructure* structure,
                           std::vector<int>* positions) {
  structure->documents.clear();
  positions->assign(roots.size(), -1);

  // Documents are numbered as they are found; a second pass puts them in structure order.
  std::vector<StructureDocument> found;
  std::map<std::string, int> by_name;
  std::vector<std::pair<int, CATIProduct_var>> pending;
  for (size_t r = 0; r < roots.size(); ++r) {
    if (roots[r] == nullptr) continue;
    const CATUnicodeString root_name = roots[r]->StorageName();
    const auto [root_place, root_added] =
        by_name.emplace(root_name.ConvertToChar(), static_cast<int>(found.size()));
    (*positions)[r] = root_place->second;
    if (!root_added) continue;
    found.emplace_back();
    found.back().storage_name = root_name;
    pending.emplace_back(root_place->second, FindRootProduct(roots[r]));
    while (!pending.empty()) {
      const int index = pending.back().first;
      const CATIProduct_var product = std::move(pending.back().second);
      pending.pop_back();
      if (product == NULL_var) continue;
      found[index].has_product = true;
      found[index].part_number = product->GetPartNumber();
      CATListValCATBaseUnknown_var* children = product->GetChildren("CATIProduct");
      const int count = children ? children->Size() : 0;
      std::vector<StructureInstance> instances(count);
      for (int i = 1; i <= count; ++i) {
        const CATIProduct_var child = (*children)[i];
        if (child == NULL_var) continue;
        child->GetPrdInstanceName(instances[i - 1].name);
        const CATIProduct_var reference = child->GetReferenceProduct();
        const CATUnicodeString file = HoldingDocument(reference);
        if (file.GetLengthInChar() == 0) continue;
        const auto [place, added] =
            by_name.emplace(file.ConvertToChar(), static_cast<int>(found.size()));
        instances[i - 1].document = place->second;
        if (!added) continue;
        found.emplace_back();
        found.back().storage_name = file;
        pending.emplace_back(place->second, reference);
      }
      delete children;
      found[index].instances = std::move(instances);
    }
  }

  // Structure order: depth first from each root in turn, each document at its first use.
  std::vector<int> position(found.size(), -1);
  std::vector<int> order;
  for (const int start : *positions) {
    if (start < 0 || position[start] >= 0) continue;
    std::vector<std::pair<int, size_t>> path{{start, 0}};
    position[start] = static_cast<int>(order.size());
    order.push_back(start);
    while (!path.empty()) {
      auto& [index, next] = path.back();
      if (next == found[index].instances.size()) {
        path.pop_back();
        continue;
      }
      const int child = found[index].instances[next++].document;
      if (child < 0 || position[child] >= 0) continue;
      position[child] = static_cast<int>(order.size());
      order.push_back(child);
      path.emplace_back(child, 0);
    }
  }
  structure->documents.reserve(order.size());
  for (int index : order) {
    for (StructureInstance& instance : found[index].instances) {
      if (instance.document >= 0) instance.document = position[instance.document];
    }
    structure->documents.push_back(std::move(found[index]));
  }
  for (int& root : *positions) {
    if (root >= 0) root = position[root];
  }
}
