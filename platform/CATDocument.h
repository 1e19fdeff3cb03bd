// CATDocument: a document open in the session. The session owns it; it answers the query for
// CATIEditor.
#ifndef CATDOCUMENT_H
#define CATDOCUMENT_H

#include "CATBaseUnknown.h"
#include "CATUnicodeString.h"

class CATDocument : public CATBaseUnknown {
 public:
  // The document's file path, absolute and normalised: the name the session knows it by.
  virtual CATUnicodeString StorageName() const = 0;

 protected:
  CATDocument() = default;
};

#endif  // CATDOCUMENT_H
