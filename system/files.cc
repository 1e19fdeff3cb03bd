#include "system/files.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <system_error>

#include "system/disk.h"
#include "system/folders.h"
#include "system/paths.h"
#include "system/system.h"

namespace {

class DiskFileSystem : public FileSystem {
 public:
  bool ReadRegularFile(const std::string& path, std::string* bytes, FileFacts* facts) override {
    return DiskReadRegularFile(path, bytes, facts);
  }
  bool FindFileId(const std::string& path, FileId* id) override { return DiskFindFileId(path, id); }
  bool CurrentFacts(const std::string& path, FileFacts* facts) override {
    return DiskCurrentFacts(path, facts);
  }
  bool IsFolder(const std::string& path) override {
    return !path.empty() && path.find('\0') == std::string::npos && DiskIsFolder(path);
  }
  bool ListFolder(const std::string& folder, std::vector<std::string>* names) override {
    names->clear();
    return folder.find('\0') == std::string::npos && DiskListFolder(folder, names);
  }
  bool ListFolderEntries(const std::string& folder, std::vector<FolderEntry>* entries) override {
    entries->clear();
    return folder.find('\0') == std::string::npos && DiskListFolderEntries(folder, entries);
  }
  std::string WhyNotReplace(const std::string& target) override {
    return DiskWhyNotReplace(target);
  }
  bool MakeFolders(const std::string& folder, std::string* why) override {
    // The folders missing, innermost first, then made outermost first.
    std::vector<std::string> missing;
    for (std::string name = StorageName(folder); !name.empty() && !IsFolder(name);) {
      missing.push_back(name);
      const std::string parent = DirectoryOf(name);
      if (parent == name) break;
      name = parent;
    }
    for (size_t i = missing.size(); i-- > 0;) {
      if (!DiskMakeFolder(missing[i], why)) return false;
    }
    return true;
  }
  std::unique_ptr<FileReplacement> BeginReplacement(const std::string& target,
                                                    unsigned new_permissions) override {
    if (!DiskWhyNotReplace(target).empty()) return nullptr;
    return DiskBeginReplacement(target, new_permissions);
  }
  bool RemoveFile(const std::string& path, std::string* why) override {
    if (path.find('\0') != std::string::npos || IsFolder(path)) {
      *why = "\"" + path + "\" is no file";
      return false;
    }
    return DiskRemoveFile(path, why);
  }
  bool KeepsWritesInMemory() const override { return false; }
  std::unique_ptr<FileHold> Hold(const std::string& path, Holder* holder) override {
    return HoldDiskFile(path, holder);
  }
  bool FindHolder(const std::string& path, Holder* holder) override {
    return FindDiskHolder(path, holder);
  }
  bool IsLink(const std::string& path) override {
    return !path.empty() && path.find('\0') == std::string::npos && DiskIsLink(path);
  }
  std::string RealPath(const std::string& path) override {
    if (path.empty() || path.find('\0') != std::string::npos) return std::string();
    return DiskRealPath(path);
  }
};

}  // namespace

bool ListEntriesOneByOne(FileSystem& files, const std::string& folder,
                         std::vector<FolderEntry>* entries) {
  entries->clear();
  std::vector<std::string> names;
  if (!files.ListFolder(folder, &names)) return false;
  for (std::string& name : names) {
    const std::string path = folder + (folder.back() == '/' ? "" : "/") + name;
    FolderEntry entry;
    entry.name = std::move(name);
    if (files.IsLink(path)) {
      entry.kind = FolderEntry::kLink;
    } else if (files.IsFolder(path)) {
      entry.kind = FolderEntry::kFolder;
    } else if (files.CurrentFacts(path, &entry.facts)) {
      entry.kind = FolderEntry::kRegularFile;
    }
    entries->push_back(std::move(entry));
  }
  return true;
}

bool FileSystem::ListFolderEntries(const std::string& folder, std::vector<FolderEntry>* entries) {
  return ListEntriesOneByOne(*this, folder, entries);
}

FileSystem& Disk() {
  static DiskFileSystem disk;
  return disk;
}

std::unique_ptr<FileHold> FileSystem::Hold(const std::string& path, Holder* holder) {
  if (FindHolder(path, holder)) return nullptr;
  return std::make_unique<FileHold>();
}

bool FileSystem::FindHolder(const std::string&, Holder*) { return false; }

std::string FileSystem::NewFileKey(const std::string& path) {
  const std::string name = StorageName(path);
  if (name.empty()) return std::string();
  FileId folder;
  if (!FindFileId(DirectoryOf(name), &folder)) return std::string();
  return std::to_string(folder.device) + ":" + std::to_string(folder.number) + "/" +
         StorageKey(name.substr(name.rfind('/') + 1));
}

bool FileSystem::SameFile(const std::string& a, const std::string& b) {
  const std::string first = StorageName(a), second = StorageName(b);
  if (StorageKey(first) == StorageKey(second)) return true;
  if (first.empty() || second.empty()) return false;
  FileId one, other;
  const bool first_there = FindFileId(first, &one), second_there = FindFileId(second, &other);
  if (first_there || second_there) return first_there && second_there && one == other;
  // Neither is there yet: one name in one folder is one file once written.
  const std::string key = NewFileKey(first);
  return !key.empty() && key == NewFileKey(second);
}

bool FileSystem::WriteWholeFile(const std::string& path, const std::string& bytes,
                                unsigned new_permissions, std::string* why) {
  const std::string target = StorageName(path);
  const std::string refused = WhyNotReplace(target);
  if (!refused.empty()) {
    *why = refused;
    return false;
  }
  // What is there as the write begins is all it may replace.
  FileFacts before;
  const FileFacts* expected = CurrentFacts(target, &before) ? &before : nullptr;
  std::unique_ptr<FileReplacement> replacement = BeginReplacement(target, new_permissions);
  if (replacement != nullptr) replacement->ExpectTarget(expected);
  FileFacts written;
  if (replacement == nullptr || !replacement->Write(bytes) || !replacement->Commit(&written)) {
    *why = ChangedSince(target, expected) ? WrittenMeanwhile(target)
                                          : "\"" + target + "\" could not be written in full";
    return false;
  }
  return true;
}

bool FileSystem::ChangedSince(const std::string& path, const FileFacts* facts) {
  FileFacts now;
  const bool there = CurrentFacts(path, &now);
  if (facts == nullptr) return there || IsLink(path);
  return !there || !now.SameContentAs(*facts);
}

std::string WrittenMeanwhile(const std::string& path) {
  return "\"" + path + "\" was written by another program meanwhile; nothing written";
}

std::string WhyNotReadable(const std::string& path) {
  if (path.find('\0') != std::string::npos) {
    return std::make_error_code(std::errc::no_such_file_or_directory).message();
  }
  return DiskWhyNotReadable(path);
}

std::string TemporaryFileName() {
  static const char kLetters[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  static std::mt19937_64 random{std::random_device{}()};
  std::string name = ".quorvel-save-XXXXXX";
  for (size_t i = name.size() - 6; i < name.size(); ++i) {
    name[i] = kLetters[random() % (sizeof kLetters - 1)];
  }
  return name;
}

bool ReadWholeInput(const std::string& path, size_t limit, std::string* bytes, std::string* why) {
  bytes->clear();
  errno = 0;
  FILE* file = path.find('\0') == std::string::npos ? OpenForReading(path.c_str()) : nullptr;
  if (file == nullptr) {
    *why = std::generic_category().message(errno != 0 ? errno : ENOENT);
    return false;
  }
  char buffer[65536];
  size_t got;
  errno = 0;
  while (bytes->size() <= limit && (got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    bytes->append(buffer, got);
  }
  bool read = !std::ferror(file);
  if (!read) *why = errno != 0 ? std::generic_category().message(errno) : "read error";
  std::fclose(file);
  if (read && bytes->size() > limit) {
    read = false;
    why->clear();
  }
  if (!read) bytes->clear();
  return read;
}

PrivateFolder::PrivateFolder() : path_(DiskMakePrivateFolder()) {}

PrivateFolder::~PrivateFolder() {
  if (path_.empty()) return;
  std::vector<std::string> names;
  std::string why;
  Disk().ListFolder(path_, &names);
  for (const std::string& name : names) Disk().RemoveFile(path_ + "/" + name, &why);
  DiskRemoveFolder(path_);
}

bool FileSystem::FreeSpace(const std::string& folder, uint64_t* bytes) {
  return DiskFreeSpace(folder, bytes);
}
