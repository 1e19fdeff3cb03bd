// CATDocument: a document open in the session. The session owns it; it answers the query for
// CATIEditor.
#ifndef CATDOCUMENT_H
#define CATDOCUMENT_H

#include "CATBaseUnknown.h"

class CATDocument : public CATBaseUnknown {
 protected:
  CATDocument() = default;
};

#endif  // CATDOCUMENT_H
