// The root product lookup: from a document to the product interface of its first root object.
#ifndef PRODUCT_ROOT_PRODUCT_H
#define PRODUCT_ROOT_PRODUCT_H

#include "CATDocument.h"
#include "CATIProduct.h"

// A handle on the product interface of the document's first root, or a null handle when the
// document is null (said on the console with the trace on) or any step of the way fails.
// Every reference obtained on the way is released.
CATIProduct_var FindRootProduct(CATDocument* document);

#endif  // PRODUCT_ROOT_PRODUCT_H
