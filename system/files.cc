#include "system/files.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <system_error>

#include "system/disk.h"
#include "system/paths.h"
#include "system/system.h"

namespace {

namespace fs = std::filesystem;

// A path as the standard library takes it: UTF-8 on every system (on Windows made wide).
fs::path Native(const std::string& path) { return fs::u8path(path); }

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
    std::error_code error;
    return !path.empty() && path.find('\0') == std::string::npos &&
           fs::is_directory(Native(path), error);
  }
  bool ListFolder(const std::string& folder, std::vector<std::string>* names) override {
    names->clear();
    std::error_code error;
    if (folder.find('\0') != std::string::npos) return false;
    for (fs::directory_iterator entry(Native(folder), error), end; !error && entry != end;
         entry.increment(error)) {
      names->push_back(entry->path().filename().u8string());
    }
    return !error;
  }
  std::string WhyNotReplace(const std::string& target) override {
    return DiskWhyNotReplace(target);
  }
  bool MakeFolders(const std::string& folder, std::string* why) override {
    const std::string name = StorageName(folder);
    std::error_code error;
    if (name.empty() || IsFolder(name)) return true;
    fs::create_directories(Native(name), error);
    if (error) *why = "\"" + name + "\": " + error.message();
    return !error;
  }
  std::unique_ptr<FileReplacement> BeginReplacement(const std::string& target,
                                                    unsigned new_permissions) override {
    if (!DiskWhyNotReplace(target).empty()) return nullptr;
    return DiskBeginReplacement(target, new_permissions);
  }
  bool RemoveFile(const std::string& path, std::string* why) override {
    std::error_code error;
    if (path.find('\0') != std::string::npos || IsFolder(path)) {
      *why = "\"" + path + "\" is no file";
      return false;
    }
    if (!fs::remove(Native(path), error) && !error)
      error = std::make_error_code(std::errc::no_such_file_or_directory);
    if (error) *why = "\"" + path + "\": " + error.message();
    return !error;
  }
  bool KeepsWritesInMemory() const override { return false; }
  bool IsLink(const std::string& path) override {
    std::error_code error;
    return !path.empty() && path.find('\0') == std::string::npos &&
           fs::is_symlink(fs::symlink_status(Native(path), error));
  }
  std::string RealPath(const std::string& path) override {
    std::error_code error;
    if (path.empty() || path.find('\0') != std::string::npos) return std::string();
    const fs::path real = fs::canonical(Native(path), error);
    return error ? std::string() : StorageName(real.u8string());
  }
};

}  // namespace

FileSystem& Disk() {
  static DiskFileSystem disk;
  return disk;
}

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
  std::unique_ptr<FileReplacement> replacement = BeginReplacement(target, new_permissions);
  FileFacts written;
  if (replacement == nullptr || !replacement->Write(bytes) || !replacement->Commit(&written)) {
    *why = "\"" + target + "\" could not be written in full";
    return false;
  }
  return true;
}

std::string WhyNotReadable(const std::string& path) {
  std::error_code error;
  if (path.find('\0') != std::string::npos) {
    return std::make_error_code(std::errc::no_such_file_or_directory).message();
  }
  const fs::file_status status = fs::status(Native(path), error);
  if (error) return error.message();
  if (fs::is_directory(status)) return std::make_error_code(std::errc::is_a_directory).message();
  if (!fs::is_regular_file(status)) return "Not a regular file";
  errno = 0;
  FILE* file = OpenForReading(path.c_str());
  if (file == nullptr) {
    return errno != 0 ? std::generic_category().message(errno) : "Cannot be opened";
  }
  std::fclose(file);
  return std::string();
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

std::string UserCacheFolder() {
#ifdef _WIN32
  const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
  if (local == nullptr || *local == L'\0') return std::string();
  return StorageName(fs::path(local).u8string());
#else
  const char* cache = std::getenv("XDG_CACHE_HOME");
  // The XDG rules: a relative value is ignored.
  if (cache != nullptr && cache[0] == '/') return StorageName(cache);
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] != '/') return std::string();
  return StorageName(std::string(home) + "/.cache");
#endif
}
