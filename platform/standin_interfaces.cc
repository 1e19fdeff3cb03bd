// The interfaces that the stand-in's documents answer: editor, document roots and products.

#include "CATIDocRoots.h"
#include "CATIEditor.h"
#include "CATILinkableObject.h"
#include "CATIProduct.h"
#include "standin_counted.h"
#include "standin_faults.h"
#include "standin_session.h"

const IID IID_CATIEditor{"CATIEditor"};
const IID IID_CATIDocRoots{"CATIDocRoots"};
const IID IID_CATIProduct{"CATIProduct"};
const IID IID_CATILinkableObject{"CATILinkableObject"};
const CATBaseUnknown_var NULL_var;

namespace {

// An interface implementation whose references the session counts, made by
// MakeStandinCounted holding the one reference that goes to whoever asked for it.
template <typename Interface>
class Counted : public Interface, public StandinCounted {
 public:
  Counted(const char* interface_name, StandinDocument* document)
      : StandinCounted(interface_name, document) {}
  unsigned long AddRef() override { return Obtain(); }
  unsigned long Release() override { return Give(); }
};

// Texts handed out keep every byte, NUL included.
CATUnicodeString Text(const std::string& bytes) {
  return CATUnicodeString(bytes.data(), bytes.size());
}
std::string Bytes(const CATUnicodeString& text) {
  return std::string(text.ConvertToChar(), static_cast<size_t>(text.GetLengthInChar()));
}

// Hands a newly made object's reference over to a handle.
template <typename Var, typename Object>
Var Adopt(Object* fresh) {
  struct Taking : Var {
    explicit Taking(Object* object) { this->object_ = object; }
  };
  return Var(Taking(fresh));
}

// A root object that is not a product.
class OtherRoot : public Counted<CATBaseUnknown> {
 public:
  explicit OtherRoot(StandinDocument* document) : Counted("CATBaseUnknown", document) {}
  HRESULT QueryInterface(const IID&, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
};

// Where a product lives: the document that holds it.
class Linkable : public Counted<CATILinkableObject> {
 public:
  explicit Linkable(StandinDocument* document) : Counted("CATILinkableObject", document) {}
  HRESULT QueryInterface(const IID&, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  CATDocument* GetDocument() override { return document(); }
};

// A root product of `document` (component null), or a component of that root.
class Product : public Counted<CATIProduct> {
 public:
  Product(StandinDocument* document, StandinRoot* root, StandinComponent* component)
      : Counted("CATIProduct", document), root_(root), component_(component) {}

  HRESULT QueryInterface(const IID& iid, void** out) override {
    *out = nullptr;
    if (iid == IID_CATILinkableObject) {
      *out = static_cast<CATILinkableObject*>(MakeStandinCounted<Linkable>(document()));
      return S_OK;
    }
    if (!(iid == IID_CATIProduct)) return E_NOINTERFACE;
    if (component_ != nullptr && StandinFaultOnName("IID_CATIProduct", component_->instance_name)) {
      return E_FAIL;
    }
    AddRef();  // the product answers for itself
    *out = static_cast<CATIProduct*>(this);
    return S_OK;
  }

  CATIProduct_var GetReferenceProduct() override {
    if (component_ == nullptr)
      return Adopt<CATIProduct_var>(MakeStandinCounted<Product>(document(), root_, nullptr));
    StandinDocument* referred = component_->resolved;
    StandinRoot* product = referred ? referred->FirstProduct() : nullptr;
    if (product == nullptr) return CATIProduct_var();
    return Adopt<CATIProduct_var>(MakeStandinCounted<Product>(referred, product, nullptr));
  }

  CATListValCATBaseUnknown_var* GetChildren(const char*) override {
    if (StandinFaultOnPath("GetChildren", document()->storage_name())) return nullptr;
    auto* children = new CATListValCATBaseUnknown_var;
    StandinDocument* holder = document();
    StandinRoot* product = root_;
    if (component_ != nullptr) {  // a component's children are those of its product
      holder = component_->resolved;
      product = holder ? holder->FirstProduct() : nullptr;
    }
    if (product == nullptr) return children;
    for (StandinComponent& child : product->components) {
      children->Append(Adopt<CATBaseUnknown_var>(
          static_cast<CATIProduct*>(MakeStandinCounted<Product>(holder, product, &child))));
    }
    return children;
  }

  CATIProduct_var FindInstance(CATIProduct_var& holder) override {
    if (component_ == nullptr || holder == NULL_var) return CATIProduct_var();
    if (StandinFaultOnName("FindInstance", component_->instance_name)) return CATIProduct_var();
    if (static_cast<Product*>(holder.operator->())->HeldProduct() != root_) {
      return CATIProduct_var();
    }
    return Adopt<CATIProduct_var>(MakeStandinCounted<Product>(document(), root_, component_));
  }

  HRESULT GetPrdInstanceName(CATUnicodeString& name) override {
    if (component_ == nullptr) {
      name = Text(root_->part_number);
      return S_OK;
    }
    if (StandinFaultOnName("GetPrdInstanceName", component_->instance_name)) return E_FAIL;
    name = Text(component_->instance_name);
    return S_OK;
  }

  HRESULT SetPrdInstanceName(CATUnicodeString name) override {
    if (component_ == nullptr) return E_FAIL;
    if (StandinFaultOnName("SetPrdInstanceName", component_->instance_name)) return S_FALSE;
    const std::string wanted = Bytes(name);
    if (wanted.empty()) return E_FAIL;
    for (const StandinComponent& sibling : root_->components) {
      if (&sibling != component_ && sibling.instance_name == wanted) return E_FAIL;
    }
    component_->instance_name = wanted;
    return S_OK;
  }

  CATUnicodeString GetPartNumber() override {
    StandinRoot* product = Described();
    return product ? Text(product->part_number) : CATUnicodeString();
  }

  HRESULT SetPartNumber(const CATUnicodeString& part_number) override {
    StandinRoot* product = Described();
    if (product == nullptr) return E_FAIL;
    product->part_number = Bytes(part_number);
    return S_OK;
  }

 private:
  // The product whose part number this handle shows: the root itself, or the root product of
  // the document a component refers to.
  StandinRoot* Described() const {
    if (component_ == nullptr) return root_;
    return component_->resolved ? component_->resolved->FirstProduct() : nullptr;
  }
  // The product whose components are this handle's children.
  StandinRoot* HeldProduct() const { return Described(); }

  StandinRoot* root_;
  StandinComponent* component_;
};

class DocRoots : public Counted<CATIDocRoots> {
 public:
  explicit DocRoots(StandinDocument* document) : Counted("CATIDocRoots", document) {}
  HRESULT QueryInterface(const IID&, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  CATListValCATBaseUnknown_var* GiveDocRoots() override {
    if (StandinFaultOnPath("GiveDocRoots", document()->storage_name())) return nullptr;
    auto* roots = new CATListValCATBaseUnknown_var;
    for (StandinRoot& root : document()->roots()) {
      if (root.is_product) {
        roots->Append(Adopt<CATBaseUnknown_var>(
            static_cast<CATIProduct*>(MakeStandinCounted<Product>(document(), &root, nullptr))));
      } else {
        roots->Append(Adopt<CATBaseUnknown_var>(MakeStandinCounted<OtherRoot>(document())));
      }
    }
    return roots;
  }
};

class Editor : public Counted<CATIEditor> {
 public:
  explicit Editor(StandinDocument* document) : Counted("CATIEditor", document) {}
  HRESULT QueryInterface(const IID& iid, void** out) override {
    *out = nullptr;
    if (!(iid == IID_CATIDocRoots)) return E_NOINTERFACE;
    if (StandinFaultOnPath("IID_CATIDocRoots", document()->storage_name())) return E_FAIL;
    *out = static_cast<CATIDocRoots*>(MakeStandinCounted<DocRoots>(document()));
    return S_OK;
  }
  HRESULT GetEditor() override { return S_OK; }
};

}  // namespace

CATIProduct_var::CATIProduct_var(const CATBaseUnknown_var& other) {
  if (other == NULL_var) return;
  void* product = nullptr;
  if (SUCCEEDED(other->QueryInterface(IID_CATIProduct, &product))) {
    object_ = static_cast<CATIProduct*>(product);  // takes over the query's reference
  }
}

HRESULT StandinDocument::QueryInterface(const IID& iid, void** out) {
  *out = nullptr;
  if (!(iid == IID_CATIEditor)) return E_NOINTERFACE;
  if (StandinFaultOnPath("IID_CATIEditor", storage_name())) return E_FAIL;
  *out = static_cast<CATIEditor*>(MakeStandinCounted<Editor>(this));
  return S_OK;
}

StandinRoot* StandinDocument::FirstProduct() {
  for (StandinRoot& root : roots_) {
    if (root.is_product) return &root;
  }
  return nullptr;
}
