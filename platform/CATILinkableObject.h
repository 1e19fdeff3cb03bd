// CATILinkableObject: what a product answers about where it lives, the document that holds it.
#ifndef CATILINKABLEOBJECT_H
#define CATILINKABLEOBJECT_H

#include "CATBaseUnknown.h"
#include "CATDocument.h"

extern const IID IID_CATILinkableObject;

class CATILinkableObject : public CATBaseUnknown {
 public:
  // The document that holds the object, without a reference of its own: the session owns it.
  virtual CATDocument* GetDocument() = 0;
};

#endif  // CATILINKABLEOBJECT_H
