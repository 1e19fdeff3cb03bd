#include <iostream>
#include <memory>

#include "CATSessionServices.h"
#include "standin_counted.h"
#include "standin_faults.h"
#include "standin_session.h"
#include "system/paths.h"

namespace {
std::unique_ptr<CATSession> g_session;
}  // namespace

CATSession* CurrentStandinSession() { return g_session.get(); }

CATSession::~CATSession() { ReportStandinReferences(number_, std::cerr); }

StandinDocument* CATSession::Find(const std::string& storage_name) const {
  const auto found = by_name_.find(StorageKey(storage_name));
  if (found != by_name_.end()) return found->second;
  FileId file;
  return files_.FindFileId(storage_name, &file) ? FindFile(file) : nullptr;
}

StandinDocument* CATSession::FindFile(const FileId& file) const {
  const auto found = by_file_.find(file);
  if (found == by_file_.end()) return nullptr;
  // The file it was read from may be gone, and its number given to another file since.
  FileId now;
  return files_.FindFileId(found->second->storage_name(), &now) && now == file ? found->second
                                                                               : nullptr;
}

StandinDocument* CATSession::Add(std::unique_ptr<StandinDocument> document) {
  StandinDocument* added = document.get();
  by_name_[StorageKey(added->storage_name())] = added;
  by_file_.emplace(added->file().id, added);
  documents_.push_back(std::move(document));
  return added;
}

void CATSession::Rename(StandinDocument* document, const std::string& storage_name,
                        const FileFacts& file) {
  by_name_.erase(StorageKey(document->storage_name_));
  const auto old_file = by_file_.find(document->file_.id);
  if (old_file != by_file_.end() && old_file->second == document) by_file_.erase(old_file);
  document->storage_name_ = storage_name;
  // The permissions stay those of the file the document was read from, for its next new file.
  const unsigned permissions = document->file_.permissions;
  document->file_ = file;
  document->file_.permissions = permissions;
  by_name_[StorageKey(storage_name)] = document;
  by_file_[file.id] = document;
}

HRESULT Create_Session(const char* name, CATSession*& session) {
  return Create_Session(name, session, Disk(), nullptr);
}

HRESULT Create_Session(const char* name, CATSession*& session, FileSystem& files,
                       std::vector<SaveAnswer>* answers) {
  session = nullptr;
  if (g_session != nullptr || StandinFault("Create_Session")) return E_FAIL;
  g_session = std::make_unique<CATSession>(name ? name : "", files, answers);
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
