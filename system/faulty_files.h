// A file system that makes chosen operations fail, as a full disk, a lost share or a file
// another program holds make them fail, and otherwise passes each to another. For tests of
// what the tool does when the system says no.
#ifndef SYSTEM_FAULTY_FILES_H
#define SYSTEM_FAULTY_FILES_H

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "system/files.h"

class FaultyFiles : public FileSystem {
 public:
  enum class Operation { kRead, kBeginReplacement, kWrite, kCommit, kMakeFolders, kRemove };

  explicit FaultyFiles(FileSystem& base) : base_(base) {}

  // From now on `operation` fails on `path` (any spelling of it), or on every path when empty.
  void Fail(Operation operation, const std::string& path = std::string());
  // From now on, just before a replacement of `path` is put in place, another program replaces
  // `path` whole with `bytes` on the base file system, as a second writer of the name would.
  void WriteMeanwhile(const std::string& path, const std::string& bytes);

  bool ReadRegularFile(const std::string& path, std::string* bytes, FileFacts* facts) override;
  bool FindFileId(const std::string& path, FileId* id) override {
    return base_.FindFileId(path, id);
  }
  bool CurrentFacts(const std::string& path, FileFacts* facts) override {
    return base_.CurrentFacts(path, facts);
  }
  bool IsFolder(const std::string& path) override { return base_.IsFolder(path); }
  bool ListFolder(const std::string& folder, std::vector<std::string>* names) override {
    return base_.ListFolder(folder, names);
  }
  std::string WhyNotReplace(const std::string& target) override {
    return base_.WhyNotReplace(target);
  }
  bool MakeFolders(const std::string& folder, std::string* why) override;
  std::unique_ptr<FileReplacement> BeginReplacement(const std::string& target,
                                                    unsigned new_permissions) override;
  bool RemoveFile(const std::string& path, std::string* why) override;
  bool KeepsWritesInMemory() const override { return base_.KeepsWritesInMemory(); }
  std::unique_ptr<FileHold> Hold(const std::string& path, Holder* holder) override {
    return base_.Hold(path, holder);
  }
  bool FindHolder(const std::string& path, Holder* holder) override {
    return base_.FindHolder(path, holder);
  }

  std::string NewFileKey(const std::string& path) override { return base_.NewFileKey(path); }
  bool IsLink(const std::string& path) override { return base_.IsLink(path); }
  std::string RealPath(const std::string& path) override { return base_.RealPath(path); }

  bool Fails(Operation operation, const std::string& path) const;

  // From now on every volume has at most `bytes` free, as a disk that is (nearly) full.
  void LimitFreeSpace(uint64_t bytes) { free_space_limit_ = bytes; }
  bool FreeSpace(const std::string& folder, uint64_t* bytes) override;

 private:
  FileSystem& base_;
  std::set<std::pair<Operation, std::string>> faults_;  // by storage key; "" for every path
  std::map<std::string, std::string> meanwhile_;        // storage key -> the other's bytes
  uint64_t free_space_limit_ = UINT64_MAX;
};

#endif  // SYSTEM_FAULTY_FILES_H
