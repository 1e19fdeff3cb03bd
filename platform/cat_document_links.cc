#include "CATDocumentLinks.h"
#include "standin_document_format.h"
#include "system/paths.h"

namespace {

// Every document file begins with this line.
bool BeginsAsDocument(const std::string& bytes) {
  static const std::string kFirstLine = "STANDIN-DOCUMENT 1";
  if (bytes.compare(0, kFirstLine.size(), kFirstLine) != 0) return false;
  const std::string rest = bytes.substr(kFirstLine.size(), 2);
  return rest.empty() || rest[0] == '\n' || rest == "\r\n" || rest == "\r";
}

}  // namespace

DocumentKind ReadDocumentLinks(const std::string& bytes, const std::string& storage_name,
                               DocumentLinks* links) {
  *links = DocumentLinks();
  if (!BeginsAsDocument(bytes)) return DocumentKind::kNotADocument;
  std::vector<StandinRoot> roots;
  if (!ParseStandinDocument(bytes, &roots)) return DocumentKind::kMalformed;
  const std::string directory = DirectoryOf(storage_name);
  for (const StandinRoot& root : roots) {
    if (!root.is_product) continue;
    if (!links->has_product) {
      links->has_product = true;
      links->part_number = root.part_number;
    }
    for (const StandinComponent& component : root.components) {
      if (!component.has_reference || component.reference.empty()) continue;
      links->links.push_back(
          {component.instance_name, ReferenceStorageName(component.reference, directory)});
    }
  }
  return DocumentKind::kDocument;
}
