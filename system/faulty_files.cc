#include "system/faulty_files.h"

#include <functional>

#include "system/paths.h"

namespace {

// A replacement whose writes or commit fail as told, the rest passed on; `meanwhile` runs
// just before it is put in place.
class FaultyReplacement : public FileReplacement {
 public:
  FaultyReplacement(std::unique_ptr<FileReplacement> base, bool fail_write, bool fail_commit,
                    std::function<void()> meanwhile)
      : base_(std::move(base)),
        fail_write_(fail_write),
        fail_commit_(fail_commit),
        meanwhile_(std::move(meanwhile)) {}
  bool Write(const std::string& bytes) override { return !fail_write_ && base_->Write(bytes); }
  // Destroying the base uncommitted leaves the target as it was.
  bool Commit(FileFacts* written) override {
    if (meanwhile_) meanwhile_();
    return !fail_commit_ && base_->Commit(written);
  }
  void ExpectTarget(const FileFacts* facts) override { base_->ExpectTarget(facts); }
  std::string temporary_path() const override { return base_->temporary_path(); }

 private:
  std::unique_ptr<FileReplacement> base_;
  bool fail_write_, fail_commit_;
  std::function<void()> meanwhile_;
};

}  // namespace

void FaultyFiles::Fail(Operation operation, const std::string& path) {
  faults_.emplace(operation, path.empty() ? std::string() : FileKey(path));
}

void FaultyFiles::WriteMeanwhile(const std::string& path, const std::string& bytes) {
  meanwhile_[FileKey(path)] = bytes;
}

bool FaultyFiles::Fails(Operation operation, const std::string& path) const {
  return faults_.count({operation, std::string()}) != 0 ||
         faults_.count({operation, FileKey(path)}) != 0;
}

bool FaultyFiles::ReadRegularFile(const std::string& path, std::string* bytes, FileFacts* facts) {
  if (Fails(Operation::kRead, path)) return false;
  return base_.ReadRegularFile(path, bytes, facts);
}

bool FaultyFiles::MakeFolders(const std::string& folder, std::string* why) {
  if (Fails(Operation::kMakeFolders, folder)) {
    *why = "\"" + StorageName(folder) + "\": No space left on device";
    return false;
  }
  return base_.MakeFolders(folder, why);
}

std::unique_ptr<FileReplacement> FaultyFiles::BeginReplacement(const std::string& target,
                                                               unsigned new_permissions) {
  if (Fails(Operation::kBeginReplacement, target)) return nullptr;
  std::unique_ptr<FileReplacement> base = base_.BeginReplacement(target, new_permissions);
  if (base == nullptr) return nullptr;
  std::function<void()> meanwhile;
  const auto other = meanwhile_.find(FileKey(target));
  if (other != meanwhile_.end()) {
    meanwhile = [this, target, bytes = other->second] {
      std::string why;
      base_.WriteWholeFile(target, bytes, 0644, &why);
    };
  }
  return std::make_unique<FaultyReplacement>(std::move(base), Fails(Operation::kWrite, target),
                                             Fails(Operation::kCommit, target),
                                             std::move(meanwhile));
}

bool FaultyFiles::RemoveFile(const std::string& path, std::string* why) {
  if (Fails(Operation::kRemove, path)) {
    *why = "\"" + StorageName(path) + "\": Permission denied";
    return false;
  }
  return base_.RemoveFile(path, why);
}

bool FaultyFiles::FreeSpace(const std::string& folder, uint64_t* bytes) {
  if (!base_.FreeSpace(folder, bytes)) *bytes = UINT64_MAX;
  if (*bytes > free_space_limit_) *bytes = free_space_limit_;
  return true;
}
