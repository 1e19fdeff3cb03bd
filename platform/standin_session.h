// Inside of the stand-in's batch session: the open documents by storage name, and every
// interface reference handed out, for the reference accounting at deletion.
#ifndef PLATFORM_STANDIN_SESSION_H
#define PLATFORM_STANDIN_SESSION_H

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "CATDocument.h"
#include "CATSession.h"
#include "standin_document_format.h"

class StandinDocument : public CATDocument {
 public:
  StandinDocument(std::string storage_name, std::vector<StandinRoot> roots)
      : storage_name_(std::move(storage_name)), roots_(std::move(roots)) {}

  // Gives an editor for IID_CATIEditor. The session owns documents: no counting here.
  HRESULT QueryInterface(const IID& iid, void** out) override;
  unsigned long AddRef() override { return 1; }
  unsigned long Release() override { return 1; }

  CATUnicodeString StorageName() const override { return storage_name_.c_str(); }
  const std::string& storage_name() const { return storage_name_; }
  void set_storage_name(std::string name) { storage_name_ = std::move(name); }
  std::vector<StandinRoot>& roots() { return roots_; }
  // The first root that is a product, or null.
  StandinRoot* FirstProduct();

 private:
  std::string storage_name_;
  std::vector<StandinRoot> roots_;
};

// An interface object handed to the program, with the references the program holds on it.
// It stays in memory until the session is deleted, so that a release too many is seen.
class StandinCounted {
 public:
  StandinCounted(const char* interface_name, StandinDocument* document);
  virtual ~StandinCounted() = default;
  unsigned long Obtain() { return static_cast<unsigned long>(++references_); }
  unsigned long Give() {
    --references_;
    return references_ > 0 ? static_cast<unsigned long>(references_) : 0;
  }
  long references() const { return references_; }
  // Held past the session's end: the last release frees it.
  void Detach() { detached_ = true; }
  bool detached() const { return detached_; }
  const char* interface_name() const { return interface_name_; }
  StandinDocument* document() const { return document_; }

 private:
  long references_ = 1;
  bool detached_ = false;
  const char* interface_name_;
  StandinDocument* document_;
};

class CATSession {
 public:
  explicit CATSession(std::string name) : name_(std::move(name)) {}
  // Writes one line on standard error for each interface still held or released too often.
  ~CATSession();

  const std::string& name() const { return name_; }
  StandinDocument* Find(const std::string& storage_name) const;
  StandinDocument* Add(std::unique_ptr<StandinDocument> document);
  void Rename(StandinDocument* document, const std::string& storage_name);
  void Track(StandinCounted* counted) { counted_.emplace_back(counted); }

 private:
  std::string name_;
  std::vector<std::unique_ptr<StandinDocument>> documents_;
  std::map<std::string, StandinDocument*> by_name_;
  std::vector<std::unique_ptr<StandinCounted>> counted_;
};

// The session that exists in the process, or null.
CATSession* CurrentStandinSession();

#endif  // PLATFORM_STANDIN_SESSION_H
