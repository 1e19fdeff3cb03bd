#include <iostream>
#include <memory>

#include "CATSessionServices.h"
#include "standin_faults.h"
#include "standin_paths.h"
#include "standin_session.h"

namespace {
std::unique_ptr<CATSession> g_session;
}  // namespace

CATSession* CurrentStandinSession() { return g_session.get(); }

CATSession::~CATSession() {
  for (auto& counted : counted_) {
    const long references = counted->references();
    if (references == 0) continue;
    std::cerr << "Quorvel stand-in: " << counted->interface_name() << " of "
              << counted->document()->storage_name()
              << (references > 0 ? " still held at session end (" : " released too often (")
              << references << ")" << std::endl;
    // A holder may still release it later: it stays, and frees itself at its last release.
    if (references > 0) counted.release()->Detach();
  }
}

StandinDocument* CATSession::Find(const std::string& storage_name) const {
  const auto found = by_name_.find(StorageKey(storage_name));
  return found == by_name_.end() ? nullptr : found->second;
}

StandinDocument* CATSession::Add(std::unique_ptr<StandinDocument> document) {
  StandinDocument* added = document.get();
  by_name_[StorageKey(added->storage_name())] = added;
  documents_.push_back(std::move(document));
  return added;
}

void CATSession::Rename(StandinDocument* document, const std::string& storage_name) {
  by_name_.erase(StorageKey(document->storage_name()));
  document->set_storage_name(storage_name);
  by_name_[StorageKey(storage_name)] = document;
}

HRESULT Create_Session(const char* name, CATSession*& session) {
  session = nullptr;
  if (g_session != nullptr || StandinFault("Create_Session")) return E_FAIL;
  g_session = std::make_unique<CATSession>(name ? name : "");
  session = g_session.get();
  return S_OK;
}

HRESULT Delete_Session(const char* name, int, int) {
  if (g_session == nullptr || g_session->name() != (name ? name : "") ||
      StandinFault("Delete_Session")) {
    return E_FAIL;
  }
  g_session.reset();
  return S_OK;
}
