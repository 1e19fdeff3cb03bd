// CATBaseUnknown: the platform's reference-counted object, reached through interface queries,
// and CATBaseUnknown_var, a handle that holds one reference to it.
#ifndef CATBASEUNKNOWN_H
#define CATBASEUNKNOWN_H

#include "CATErrorDef.h"

// An interface identifier.
struct IID {
  const char* name;
};
inline bool operator==(const IID& a, const IID& b) { return &a == &b; }

class CATBaseUnknown {
 public:
  virtual ~CATBaseUnknown() = default;
  // On success `*out` is the interface asked for and holds one reference for the caller.
  virtual HRESULT QueryInterface(const IID& iid, void** out) = 0;
  virtual unsigned long AddRef() = 0;
  virtual unsigned long Release() = 0;
};

class CATBaseUnknown_var {
 public:
  CATBaseUnknown_var() = default;
  CATBaseUnknown_var(CATBaseUnknown* object) : object_(object) {  // NOLINT: as on the platform
    if (object_ != nullptr) object_->AddRef();
  }
  CATBaseUnknown_var(const CATBaseUnknown_var& other) : CATBaseUnknown_var(other.object_) {}
  CATBaseUnknown_var(CATBaseUnknown_var&& other) noexcept : object_(other.object_) {
    other.object_ = nullptr;
  }
  CATBaseUnknown_var& operator=(const CATBaseUnknown_var& other) {
    CATBaseUnknown_var copy(other);
    Swap(copy);
    return *this;
  }
  CATBaseUnknown_var& operator=(CATBaseUnknown_var&& other) noexcept {
    CATBaseUnknown_var taken(static_cast<CATBaseUnknown_var&&>(other));
    Swap(taken);
    return *this;
  }
  ~CATBaseUnknown_var() {
    if (object_ != nullptr) object_->Release();
  }

  CATBaseUnknown* operator->() const { return object_; }

  friend bool operator==(const CATBaseUnknown_var& a, const CATBaseUnknown_var& b) {
    return a.object_ == b.object_;
  }
  friend bool operator!=(const CATBaseUnknown_var& a, const CATBaseUnknown_var& b) {
    return a.object_ != b.object_;
  }

 protected:
  CATBaseUnknown* object_ = nullptr;

 private:
  void Swap(CATBaseUnknown_var& other) {
    CATBaseUnknown* mine = object_;
    object_ = other.object_;
    other.object_ = mine;
  }
};

// The null handle, for comparisons.
extern const CATBaseUnknown_var NULL_var;

#endif  // CATBASEUNKNOWN_H
