#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "system/disk.h"
#include "system/files.h"
#include "system/paths.h"
#include "system/system.h"

namespace {

namespace fs = std::filesystem;

FileId IdOf(const struct stat& status) {
  FileId id;
  id.device = static_cast<uint64_t>(status.st_dev);
  id.number = static_cast<uint64_t>(status.st_ino);
  return id;
}

FileFacts FactsOf(const struct stat& status) {
  FileFacts facts;
  facts.id = IdOf(status);
  facts.permissions = static_cast<unsigned>(status.st_mode & 0777);
  facts.size = static_cast<uint64_t>(status.st_size);
  facts.modified =
      static_cast<int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
  return facts;
}

bool SameInode(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The last path element of an absolute storage name.
std::string BaseName(const std::string& storage_name) {
  return storage_name.substr(storage_name.rfind('/') + 1);
}

}  // namespace

bool DiskReadRegularFile(const std::string& path, std::string* bytes, FileFacts* facts) {
  bytes->clear();
  if (path.find('\0') != std::string::npos) return false;  // no file is named so
  struct stat before;
  // Looked at before it is opened: opening a device or a FIFO may wait, or do something.
  if (stat(path.c_str(), &before) != 0 || !S_ISREG(before.st_mode)) return false;
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat status;
  bool ok = fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && SameInode(status, before);
  if (ok) {
    bytes->resize(static_cast<size_t>(status.st_size) + 1);  // one more byte tells the end
    size_t done = 0;
    while (ok) {
      if (done == bytes->size()) bytes->resize(bytes->size() + bytes->size() / 2 + 4096);
      const ssize_t n = read(fd, &(*bytes)[done], bytes->size() - done);
      if (n == 0) break;
      if (n < 0 && errno == EINTR) continue;
      ok = n > 0;
      if (ok) done += static_cast<size_t>(n);
    }
    bytes->resize(done);
    bytes->shrink_to_fit();
  }
  close(fd);
  if (!ok) {
    bytes->clear();
    return false;
  }
  *facts = FactsOf(status);
  return true;
}

bool DiskFindFileId(const std::string& path, FileId* id) {
  struct stat status;
  if (path.empty() || path.find('\0') != std::string::npos || stat(path.c_str(), &status) != 0) {
    return false;
  }
  *id = IdOf(status);
  return true;
}

bool DiskCurrentFacts(const std::string& path, FileFacts* facts) {
  struct stat status;
  if (path.empty() || path.find('\0') != std::string::npos || stat(path.c_str(), &status) != 0 ||
      !S_ISREG(status.st_mode)) {
    return false;
  }
  *facts = FactsOf(status);
  return true;
}

std::string DiskWhyNotReplace(const std::string& target) {
  const std::string problem = PathProblem(target);
  if (!problem.empty()) return problem;
  const std::string quoted = "\"" + target + "\"";
  const std::string directory = DirectoryOf(target);
  struct stat folder;
  if (stat(directory.c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode)) {
    return "there is no folder \"" + directory + "\"";
  }
  if (faccessat(AT_FDCWD, directory.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
    return "the folder \"" + directory + "\" is not writable";
  }
  struct stat link, status;
  if (lstat(target.c_str(), &link) != 0) {
    if (errno == ENOENT) return std::string();
    return quoted + " cannot be reached: " + std::strerror(errno);
  }
  if (stat(target.c_str(), &status) != 0) return quoted + " is a link that leads nowhere";
  if (S_ISDIR(status.st_mode)) return quoted + " is a folder";
  if (!S_ISREG(status.st_mode))
    return quoted + " is not a regular file but a device, FIFO or socket";
  if ((status.st_mode & 0222) == 0 || faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
    return quoted + " is read-only";
  }
  return std::string();
}

namespace {

// The replacement of one file on disk: a new temporary file ".quorvel-save-XXXXXX" in the
// target's folder, created so that it cannot be anything that was there before, gets the
// replaced file's permissions (and its owner and group where the process may set them) and
// the bytes, all through its open descriptor; Commit flushes it and renames it over the target
// if that name still holds the file that was written.
class DiskReplacement : public FileReplacement {
 public:
  ~DiskReplacement() override { Discard(); }
  bool Begin(const std::string& target, unsigned new_permissions);
  bool Write(const std::string& bytes) override;
  bool Commit(FileFacts* written) override;
  std::string temporary_path() const override { return temporary_path_; }

 private:
  void Discard();
  // True when the target is still what ExpectTarget told, or nothing was told.
  bool TargetAsExpected() const;
  // Puts the written file in place: over the target, or where there is to be none, only if
  // none appeared meanwhile.
  bool Place();

  int folder_ = -1;  // the target's folder, opened once
  int file_ = -1;    // the temporary file, open for writing
  std::string target_name_, temporary_name_, temporary_path_;
  bool failed_ = false;
};

bool DiskReplacement::TargetAsExpected() const {
  if (!expects_) return true;
  struct stat now;
  if (fstatat(folder_, target_name_.c_str(), &now, 0) != 0) {
    struct stat link;
    // Nothing there: neither a file nor a link that leads nowhere.
    return !expects_file_ && errno == ENOENT &&
           fstatat(folder_, target_name_.c_str(), &link, AT_SYMLINK_NOFOLLOW) != 0;
  }
  return S_ISREG(now.st_mode) && AsExpected(true, FactsOf(now));
}

bool DiskReplacement::Place() {
  if (expects_ && !expects_file_) {
    // A second name that fails where the target appeared meanwhile; a system without hard
    // links renames instead, the target checked just before.
    if (linkat(folder_, temporary_name_.c_str(), folder_, target_name_.c_str(), 0) == 0) {
      unlinkat(folder_, temporary_name_.c_str(), 0);
      return true;
    }
    if (errno == EEXIST) return false;
  }
  return renameat(folder_, temporary_name_.c_str(), folder_, target_name_.c_str()) == 0;
}

void DiskReplacement::Discard() {
  if (file_ >= 0) close(file_);
  file_ = -1;
  if (!temporary_name_.empty()) unlinkat(folder_, temporary_name_.c_str(), 0);
  temporary_name_.clear();
  temporary_path_.clear();
  if (folder_ >= 0) close(folder_);
  folder_ = -1;
}

bool DiskReplacement::Begin(const std::string& target, unsigned new_permissions) {
  target_name_ = BaseName(target);
  const std::string directory = DirectoryOf(target);
  // The folder is resolved once; every later step names files inside it.
  folder_ = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder_ < 0 || target_name_.empty()) return false;

  struct stat old;
  bool replaces = fstatat(folder_, target_name_.c_str(), &old, 0) == 0;
  if (!replaces) {
    struct stat link;
    // Nothing there, or something we do not understand (a link that leads nowhere).
    if (errno != ENOENT ||
        fstatat(folder_, target_name_.c_str(), &link, AT_SYMLINK_NOFOLLOW) == 0) {
      return false;
    }
  } else if (!S_ISREG(old.st_mode) || (old.st_mode & 0222) == 0 ||
             faccessat(folder_, target_name_.c_str(), W_OK, AT_EACCESS) != 0) {
    return false;  // a read-only document is never overwritten
  }

  for (int attempt = 0; attempt < 100 && file_ < 0; ++attempt) {
    const std::string name = TemporaryFileName();
    // O_EXCL with O_CREAT never opens what is there, link or not.
    file_ =
        openat(folder_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (file_ >= 0) {
      temporary_name_ = name;
      temporary_path_ = directory + (directory == "/" ? "" : "/") + name;
    } else if (errno != EEXIST) {
      break;
    }
  }
  if (file_ < 0) return false;

  if (replaces) {
    // Owner and group where the process may set them; the group alone where it may only
    // give its file to one of its groups.
    const bool given = fchown(file_, old.st_uid, old.st_gid) == 0 ||
                       fchown(file_, static_cast<uid_t>(-1), old.st_gid) == 0;
    static_cast<void>(given);  // otherwise it stays the process's own file: not a failure
  }
  // After the owner: changing it may clear permission bits.
  const mode_t permissions = replaces ? (old.st_mode & 0777) : (new_permissions & 0777);
  if (fchmod(file_, permissions) != 0) {
    Discard();
    return false;
  }
  return true;
}

bool DiskReplacement::Write(const std::string& bytes) {
  for (size_t done = 0; !failed_ && file_ >= 0 && done < bytes.size();) {
    const ssize_t n = write(file_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      failed_ = true;
    } else {
      done += static_cast<size_t>(n);
    }
  }
  return !failed_ && file_ >= 0;
}

bool DiskReplacement::Commit(FileFacts* written) {
  if (failed_ || file_ < 0) {
    Discard();
    return false;
  }
  struct stat mine, named;
  bool ok = fsync(file_) == 0 && fstat(file_, &mine) == 0;
  ok = close(file_) == 0 && ok;
  file_ = -1;
  // What goes into place must be the file written, not whatever was put under its name.
  ok = ok && fstatat(folder_, temporary_name_.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
       SameInode(mine, named);
  // The last look at the target, just before it is replaced: a file changed since the
  // session read it is kept, and the save refused.
  if (!ok || !TargetAsExpected() || !Place()) {
    Discard();
    return false;
  }
  temporary_name_.clear();  // renamed: nothing left to remove
  temporary_path_.clear();
  const bool placed = fstatat(folder_, target_name_.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
                      SameInode(mine, named);
  Discard();
  if (!placed) return false;
  *written = FactsOf(mine);
  return true;
}

}  // namespace

std::unique_ptr<FileReplacement> DiskBeginReplacement(const std::string& target,
                                                      unsigned new_permissions) {
  auto replacement = std::make_unique<DiskReplacement>();
  if (!replacement->Begin(target, new_permissions)) return nullptr;
  return replacement;
}

std::filesystem::path NativePath(const std::string& path) { return std::filesystem::path(path); }

std::string NameOf(const std::filesystem::path& path) { return path.string(); }

bool DiskIsFolder(const std::string& path) {
  std::error_code error;
  return fs::is_directory(path, error);
}

bool DiskListFolder(const std::string& folder, std::vector<std::string>* names) {
  std::error_code error;
  for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    names->push_back(entry->path().filename().string());
  }
  return !error;
}

bool DiskListFolderEntries(const std::string& folder, std::vector<FolderEntry>* entries) {
  DIR* listing = opendir(folder.c_str());
  if (listing == nullptr) return false;
  errno = 0;
  while (const struct dirent* found = readdir(listing)) {
    FolderEntry entry;
    entry.name = found->d_name;
    if (entry.name == "." || entry.name == "..") continue;
    struct stat status;
    if (fstatat(dirfd(listing), found->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0) {
      if (S_ISLNK(status.st_mode)) entry.kind = FolderEntry::kLink;
      if (S_ISDIR(status.st_mode)) entry.kind = FolderEntry::kFolder;
      if (S_ISREG(status.st_mode)) entry.kind = FolderEntry::kRegularFile;
      entry.facts = FactsOf(status);
    }
    entries->push_back(std::move(entry));
    errno = 0;
  }
  const bool listed = errno == 0;
  closedir(listing);
  return listed;
}

bool DiskMakeFolder(const std::string& folder, std::string* why) {
  if (mkdir(folder.c_str(), 0777) == 0 || (errno == EEXIST && DiskIsFolder(folder))) return true;
  *why = "\"" + folder + "\": " + std::strerror(errno);
  return false;
}

bool DiskRemoveFile(const std::string& path, std::string* why) {
  if (unlink(path.c_str()) == 0) return true;
  *why = "\"" + path + "\": " + std::strerror(errno);
  return false;
}

bool DiskIsLink(const std::string& path) {
  struct stat link;
  return lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode);
}

std::string DiskRealPath(const std::string& path) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return std::string();
  const std::string real = resolved;
  free(resolved);
  return StorageName(real);
}

std::string DiskWhyNotReadable(const std::string& path) {
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
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

std::string DiskMakePrivateFolder() {
  const char* temporary = getenv("TMPDIR");
  std::string folder = temporary != nullptr && temporary[0] == '/' ? temporary : "/tmp";
  folder = StorageName(folder) + "/quorvel-XXXXXX";
  // mkdtemp makes a new folder with permissions 0700, never one that was there.
  if (mkdtemp(&folder[0]) == nullptr) return std::string();
  return folder;
}

void DiskRemoveFolder(const std::string& folder) { rmdir(folder.c_str()); }

std::string UserCacheFolder() {
  const char* cache = getenv("XDG_CACHE_HOME");
  // The XDG rules: a relative value is ignored.
  if (cache != nullptr && cache[0] == '/') return StorageName(cache);
  const char* home = getenv("HOME");
  if (home == nullptr || home[0] != '/') return std::string();
  return StorageName(std::string(home) + "/.cache");
}
