// CATIDocRoots: the root objects of a document.
#ifndef CATIDOCROOTS_H
#define CATIDOCROOTS_H

#include "CATBaseUnknown.h"
#include "CATLISTV_CATBaseUnknown.h"

extern const IID IID_CATIDocRoots;

class CATIDocRoots : public CATBaseUnknown {
 public:
  // A new list of the document's roots in file order, owned by the caller; null on failure.
  virtual CATListValCATBaseUnknown_var* GiveDocRoots() = 0;
};

#endif  // CATIDOCROOTS_H
