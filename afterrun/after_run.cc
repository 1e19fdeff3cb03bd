#include "afterrun/after_run.h"

#include <cstddef>
#include <set>

#include "CATDocumentServices.h"
#include "CATSessionServices.h"
#include "plan/text.h"
#include "system/files.h"
#include "system/paths.h"

AfterRun::AfterRun(FileSystem& files, const char* session_name)
    : files_(files), session_name_(session_name) {
  CATSession* session = nullptr;
  created_ = SUCCEEDED(Create_Session(session_name, session, files, nullptr)) && session != nullptr;
}

AfterRun::~AfterRun() {
  if (created_) Delete_Session(session_name_.c_str(), 0, 0);
}

std::vector<int> AfterRun::Open(const std::vector<std::string>& files) {
  if (!created_) return std::vector<int>(files.size(), -1);
  const size_t first = roots_.size();
  for (const std::string& file : files) {
    CATDocument* document = nullptr;
    if (!file.empty() && FAILED(CATDocumentServices::OpenDocument(file.c_str(), document, false))) {
      document = nullptr;
    }
    roots_.push_back(document);
  }
  std::vector<int> positions;
  WalkProductStructures(roots_, &structure_, &positions);
  by_key_.clear();
  for (size_t i = 0; i < structure_.documents.size(); ++i) {
    by_key_.emplace(StorageKey(Text(structure_.documents[i].storage_name)), static_cast<int>(i));
  }
  return std::vector<int>(positions.begin() + static_cast<std::ptrdiff_t>(first), positions.end());
}

int AfterRun::OpenFrom(const std::string& file) const {
  CATDocument* document = nullptr;
  if (!created_ || file.empty() ||
      FAILED(CATDocumentServices::GetDocumentInSession(file.c_str(), document)) ||
      document == nullptr) {
    return -1;
  }
  const auto found = by_key_.find(StorageKey(Text(document->StorageName())));
  return found == by_key_.end() ? -1 : found->second;
}

bool AfterRun::Exists(const std::string& file) const {
  FileId id;
  return files_.FindFileId(StorageName(file), &id);
}

std::vector<std::string> AfterRun::OldFilesLeft(const std::vector<Move>& moves) const {
  std::vector<std::string> left;
  std::set<std::string> listed;
  for (const Move& move : moves) {
    const std::string old_file = StorageName(move.old_file);
    FileFacts facts;
    if (old_file.empty() || files_.SameFile(old_file, move.new_file) ||
        !files_.CurrentFacts(old_file, &facts) || by_key_.count(StorageKey(old_file)) != 0 ||
        !listed.insert(StorageKey(old_file)).second) {
      continue;
    }
    left.push_back(old_file);
  }
  return left;
}
