#include "system/memory_overlay.h"

#include "system/paths.h"

namespace {

std::string LastElement(const std::string& storage_name) {
  return storage_name.substr(storage_name.rfind('/') + 1);
}

}  // namespace

// A replacement whose bytes go to the overlay's memory when committed.
class KeptReplacement : public FileReplacement {
 public:
  KeptReplacement(MemoryOverlay* overlay, std::string target, unsigned permissions)
      : overlay_(overlay), target_(std::move(target)), permissions_(permissions) {}
  bool Write(const std::string& bytes) override {
    bytes_ += bytes;
    return true;
  }
  bool Commit(FileFacts* written) override {
    if (overlay_->NewFileKey(target_).empty()) return false;
    FileFacts now;
    if (!AsExpected(overlay_->CurrentFacts(target_, &now), now)) return false;
    overlay_->Keep(target_, std::move(bytes_), permissions_, written);
    return true;
  }

 private:
  MemoryOverlay* overlay_;
  std::string target_;
  unsigned permissions_;
  std::string bytes_;
};

bool MemoryOverlay::IsKeptFolder(const std::string& folder) const {
  return folders_.count(StorageKey(folder)) != 0;
}

std::string MemoryOverlay::NewFileKey(const std::string& path) {
  const std::string name = StorageName(path);
  if (name.empty()) return std::string();
  const std::string folder_name = DirectoryOf(name);
  FileId folder;
  if (base_.FindFileId(folder_name, &folder)) {
    return std::to_string(folder.device) + ":" + std::to_string(folder.number) + "/" +
           StorageKey(LastElement(name));
  }
  return IsKeptFolder(folder_name) ? StorageKey(name) : std::string();
}

const MemoryOverlay::KeptFile* MemoryOverlay::Find(const std::string& path) {
  if (files_.empty()) return nullptr;
  const auto found = files_.find(NewFileKey(path));
  return found == files_.end() ? nullptr : &found->second;
}

void MemoryOverlay::Keep(const std::string& target, std::string bytes, unsigned permissions,
                         FileFacts* written) {
  KeptFile file;
  file.name = StorageName(target);
  FileId folder;  // none for a folder made in memory
  base_.FindFileId(DirectoryOf(file.name), &folder);
  // A new file, as the rename of a temporary file makes one: an identity of its own.
  file.facts.id.device = folder.device;
  file.facts.id.number = (uint64_t{1} << 63) | ++made_;
  file.facts.permissions = permissions;
  file.facts.size = bytes.size();
  file.facts.modified = static_cast<int64_t>(made_);
  file.bytes = std::move(bytes);
  *written = file.facts;
  files_[NewFileKey(target)] = std::move(file);
}

bool MemoryOverlay::ReadRegularFile(const std::string& path, std::string* bytes, FileFacts* facts) {
  if (const KeptFile* file = Find(path)) {
    if (file->removed) return false;
    *bytes = file->bytes;
    *facts = file->facts;
    return true;
  }
  return base_.ReadRegularFile(path, bytes, facts);
}

bool MemoryOverlay::FindFileId(const std::string& path, FileId* id) {
  if (const KeptFile* file = Find(path)) {
    if (file->removed) return false;
    *id = file->facts.id;
    return true;
  }
  return base_.FindFileId(path, id);
}

bool MemoryOverlay::CurrentFacts(const std::string& path, FileFacts* facts) {
  if (const KeptFile* file = Find(path)) {
    if (file->removed) return false;
    *facts = file->facts;
    return true;
  }
  return base_.CurrentFacts(path, facts);
}

bool MemoryOverlay::IsFolder(const std::string& path) {
  return IsKeptFolder(StorageName(path)) || base_.IsFolder(path);
}

bool MemoryOverlay::ListFolder(const std::string& folder, std::vector<std::string>* names) {
  const std::string name = StorageName(folder);
  const bool listed = base_.ListFolder(folder, names);
  if (!listed && !IsKeptFolder(name)) return false;
  std::set<std::string> seen;
  for (const std::string& there : *names) seen.insert(StorageKey(there));
  std::vector<std::string> shown;
  for (const std::string& there : *names) {
    const KeptFile* file = Find(name + (name.back() == '/' ? "" : "/") + there);
    if (file == nullptr || !file->removed) shown.push_back(there);
  }
  for (const auto& kept : files_) {
    const KeptFile& file = kept.second;
    if (file.removed || !SameFile(DirectoryOf(file.name), name)) continue;
    if (seen.insert(StorageKey(LastElement(file.name))).second) {
      shown.push_back(LastElement(file.name));
    }
  }
  names->swap(shown);
  return true;
}

std::string MemoryOverlay::WhyNotReplace(const std::string& target) {
  if (const KeptFile* file = Find(target)) {
    if (!file->removed && (file->facts.permissions & 0222) == 0) {
      return "\"" + target + "\" is read-only";
    }
    if (!file->removed) return std::string();
  }
  // A folder made in memory is new and empty but for what is kept in it.
  if (IsKeptFolder(DirectoryOf(StorageName(target)))) return PathProblem(target);
  return base_.WhyNotReplace(target);
}

bool MemoryOverlay::MakeFolders(const std::string& folder, std::string* why) {
  const std::string name = StorageName(folder);
  static_cast<void>(why);
  if (name.empty()) return true;
  // Each folder not there is kept, up to the first that is.
  for (std::string missing = name; !IsFolder(missing); missing = DirectoryOf(missing)) {
    if (!folders_.insert(StorageKey(missing)).second || DirectoryOf(missing) == missing) break;
  }
  return true;
}

std::unique_ptr<FileReplacement> MemoryOverlay::BeginReplacement(const std::string& target,
                                                                 unsigned new_permissions) {
  if (!WhyNotReplace(target).empty()) return nullptr;
  FileFacts old;
  const unsigned permissions =
      CurrentFacts(target, &old) ? old.permissions : (new_permissions & 0777);
  return std::make_unique<KeptReplacement>(this, StorageName(target), permissions);
}

bool MemoryOverlay::RemoveFile(const std::string& path, std::string* why) {
  FileFacts facts;
  if (!CurrentFacts(path, &facts)) {
    *why = "\"" + StorageName(path) + "\" is no file";
    return false;
  }
  const std::string key = NewFileKey(path);
  KeptFile& file = files_[key];
  file.name = StorageName(path);
  file.bytes.clear();
  file.removed = true;
  return true;
}

bool MemoryOverlay::IsLink(const std::string& path) {
  // A file kept in memory replaced whatever had its name, a link too.
  if (Find(path) != nullptr) return false;
  return base_.IsLink(path);
}
