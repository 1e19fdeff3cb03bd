// CATIProduct: a product, either a document's root product or a component (an instance of
// another document's product inside it), and CATIProduct_var, its handle.
#ifndef CATIPRODUCT_H
#define CATIPRODUCT_H

#include "CATBaseUnknown.h"
#include "CATLISTV_CATBaseUnknown.h"
#include "CATUnicodeString.h"

extern const IID IID_CATIProduct;

class CATIProduct_var;

class CATIProduct : public CATBaseUnknown {
 public:
  // On a root product, a handle on itself; on a component, the root product of the document
  // it refers to (null while unresolved).
  virtual CATIProduct_var GetReferenceProduct() = 0;
  // A new list of handles on the product's components, owned by the caller; null on failure.
  virtual CATListValCATBaseUnknown_var* GetChildren(const char* interface_name = "CATIProduct") = 0;
  // On a component, given a handle on the product that holds it: a new handle on the
  // component; otherwise a null handle.
  virtual CATIProduct_var FindInstance(CATIProduct_var& holder) = 0;
  // A component's instance name; a root product's part number.
  virtual HRESULT GetPrdInstanceName(CATUnicodeString& name) = 0;
  // 0 when the component took the name.
  virtual HRESULT SetPrdInstanceName(CATUnicodeString name) = 0;
  virtual CATUnicodeString GetPartNumber() = 0;
  virtual HRESULT SetPartNumber(const CATUnicodeString& part_number) = 0;
};

class CATIProduct_var : public CATBaseUnknown_var {
 public:
  CATIProduct_var() = default;
  CATIProduct_var(CATIProduct* product) : CATBaseUnknown_var(product) {}  // NOLINT
  // Queries `other` for CATIProduct; null when it has none.
  CATIProduct_var(const CATBaseUnknown_var& other);  // NOLINT: as on the platform
  CATIProduct_var(const CATIProduct_var& other) = default;
  CATIProduct_var(CATIProduct_var&& other) noexcept = default;
  CATIProduct_var& operator=(const CATIProduct_var& other) = default;
  CATIProduct_var& operator=(CATIProduct_var&& other) noexcept = default;

  CATIProduct* operator->() const { return static_cast<CATIProduct*>(object_); }
};

#endif  // CATIPRODUCT_H
