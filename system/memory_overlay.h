// A file system that writes nothing: it reads through to another, and keeps what would be
// written (replaced files, made folders, removals) in memory, where its own reads find it as
// the files they would have become. The sessions of the companions that run a plan to see what
// it would do work on one; several runs on one overlay see each other's writes.
#ifndef SYSTEM_MEMORY_OVERLAY_H
#define SYSTEM_MEMORY_OVERLAY_H

#include <map>
#include <set>
#include <string>

#include "system/files.h"

class MemoryOverlay : public FileSystem {
 public:
  explicit MemoryOverlay(FileSystem& base) : base_(base) {}
  MemoryOverlay(const MemoryOverlay&) = delete;
  MemoryOverlay& operator=(const MemoryOverlay&) = delete;

  bool ReadRegularFile(const std::string& path, std::string* bytes, FileFacts* facts) override;
  bool FindFileId(const std::string& path, FileId* id) override;
  bool CurrentFacts(const std::string& path, FileFacts* facts) override;
  bool IsFolder(const std::string& path) override;
  bool ListFolder(const std::string& folder, std::vector<std::string>* names) override;
  std::string WhyNotReplace(const std::string& target) override;
  bool MakeFolders(const std::string& folder, std::string* why) override;
  std::unique_ptr<FileReplacement> BeginReplacement(const std::string& target,
                                                    unsigned new_permissions) override;
  bool RemoveFile(const std::string& path, std::string* why) override;
  bool KeepsWritesInMemory() const override { return true; }
  // Takes no hold (FileSystem::Hold), but sees those of others.
  bool FindHolder(const std::string& path, Holder* holder) override {
    return base_.FindHolder(path, holder);
  }
  std::string NewFileKey(const std::string& path) override;
  bool IsLink(const std::string& path) override;
  std::string RealPath(const std::string& path) override { return base_.RealPath(path); }

 private:
  friend class KeptReplacement;
  struct KeptFile {
    std::string name;  // the storage name it was written under
    std::string bytes;
    FileFacts facts;
    bool removed = false;
  };
  const KeptFile* Find(const std::string& path);
  bool IsKeptFolder(const std::string& folder) const;
  void Keep(const std::string& target, std::string bytes, unsigned permissions, FileFacts* written);

  FileSystem& base_;
  uint64_t made_ = 0;
  // By NewFileKey: names that reach one folder through links find one file.
  std::map<std::string, KeptFile> files_;
  std::set<std::string> folders_;  // made in memory, by storage key
};

#endif  // SYSTEM_MEMORY_OVERLAY_H
