// CATIEditor: a document's editor; it answers the query for CATIDocRoots.
#ifndef CATIEDITOR_H
#define CATIEDITOR_H

#include "CATBaseUnknown.h"

extern const IID IID_CATIEditor;

class CATIEditor : public CATBaseUnknown {
 public:
  // Makes the editor current; nothing the program can see.
  virtual HRESULT GetEditor() = 0;
};

#endif  // CATIEDITOR_H
