// The platform's reading of a document file's links, for tools that look at many documents
// (as a where-used index does) without loading them into a session: its part number and, for
// each component, its instance name and the file it refers to, resolved as OpenDocument
// resolves a reference (against the document's folder). No document it refers to is opened.
#ifndef CATDOCUMENTLINKS_H
#define CATDOCUMENTLINKS_H

#include <string>
#include <vector>

struct DocumentLink {
  std::string instance;  // the component's instance name
  std::string target;    // the storage name of the file it refers to
};

struct DocumentLinks {
  bool has_product = false;         // false: no root product (then no part number)
  std::string part_number;          // the first root product's
  std::vector<DocumentLink> links;  // in file order; components without a reference left out
};

enum class DocumentKind { kDocument, kNotADocument, kMalformed };

// Reads the bytes of the file whose storage name is `storage_name`: kNotADocument when they
// are not a document file at all, kMalformed when they begin as one but cannot be opened.
DocumentKind ReadDocumentLinks(const std::string& bytes, const std::string& storage_name,
                               DocumentLinks* links);

#endif  // CATDOCUMENTLINKS_H
