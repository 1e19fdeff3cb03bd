// Opening, finding and saving the session's documents.
#ifndef CATDOCUMENTSERVICES_H
#define CATDOCUMENTSERVICES_H

#include "CATDocument.h"
#include "CATErrorDef.h"
#include "CATUnicodeString.h"

class CATDocumentServices {
 public:
  // Opens the document at `path`, with every document its components refer to, or gives the
  // one of that name already in the session (S_FALSE). On failure `document` is null.
  static HRESULT OpenDocument(const CATUnicodeString& path, CATDocument*& document,
                              bool option = false);
  // The document in the session under `name`; failure and a null `document` when none is.
  static HRESULT GetDocumentInSession(const CATUnicodeString& name, CATDocument*& document);
  // Writes `document` to `target` whole, or not at all; the document then goes by `target`.
  static HRESULT SaveAs(CATDocument& document, const CATUnicodeString& target,
                        const CATUnicodeString& format = "", unsigned char option = 0);
};

#endif  // CATDOCUMENTSERVICES_H
