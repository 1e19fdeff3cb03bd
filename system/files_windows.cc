#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <system_error>

#include "system/disk.h"
#include "system/files.h"
#include "system/names_windows.h"
#include "system/paths.h"
#include "system/system.h"

namespace {

// The handle kept in a FileReplacement.
HANDLE AsHandle(std::intptr_t value) { return reinterpret_cast<HANDLE>(value); }

FileId IdOf(const BY_HANDLE_FILE_INFORMATION& info) {
  FileId id;
  id.device = info.dwVolumeSerialNumber;
  id.number = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return id;
}

FileFacts FactsOf(const BY_HANDLE_FILE_INFORMATION& info) {
  FileFacts facts;
  facts.id = IdOf(info);
  // Windows has one permission a program sees in a file: read-only or not.
  facts.permissions = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
  facts.size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  facts.modified =
      static_cast<int64_t>((static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                           info.ftLastWriteTime.dwLowDateTime);
  return facts;
}

// False for names that reach no file on a disk: with a NUL byte, or in the device
// namespace ("\\.\", where CON, NUL, COM1 and pipes are).
bool CanNameAFile(const std::string& path) {
  return !path.empty() && path.find('\0') == std::string::npos &&
         StorageName(path).compare(0, 4, "//./") != 0;
}

// Facts about what `path` reaches, links followed, read without opening it for data.
bool FileInformation(const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
  if (!CanNameAFile(path)) return false;
  const HANDLE handle = CreateFileW(LongPath(path).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool ok = GetFileInformationByHandle(handle, info) != 0;
  CloseHandle(handle);
  return ok;
}

}  // namespace

bool DiskReadRegularFile(const std::string& path, std::string* bytes, FileFacts* facts) {
  bytes->clear();
  if (!CanNameAFile(path)) return false;
  // Opened without FILE_FLAG_BACKUP_SEMANTICS, a folder cannot be opened at all.
  const HANDLE file = CreateFileW(LongPath(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  bool ok = GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
            (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  if (ok) {
    const uint64_t size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    bytes->resize(static_cast<size_t>(size) + 1);  // one more byte tells the end
    size_t done = 0;
    while (ok) {
      if (done == bytes->size()) bytes->resize(bytes->size() + bytes->size() / 2 + 4096);
      const DWORD wanted = static_cast<DWORD>(std::min<size_t>(bytes->size() - done, 1u << 30));
      DWORD n = 0;
      ok = ReadFile(file, &(*bytes)[done], wanted, &n, nullptr) != 0;
      if (ok && n == 0) break;
      done += n;
    }
    bytes->resize(done);
    bytes->shrink_to_fit();
  }
  CloseHandle(file);
  if (!ok) {
    bytes->clear();
    return false;
  }
  *facts = FactsOf(info);
  return true;
}

bool DiskFindFileId(const std::string& path, FileId* id) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!FileInformation(path, &info)) return false;
  *id = IdOf(info);
  return true;
}

bool DiskCurrentFacts(const std::string& path, FileFacts* facts) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!FileInformation(path, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return false;
  }
  *facts = FactsOf(info);
  return true;
}

std::string DiskWhyNotReplace(const std::string& target) {
  const std::string problem = PathProblem(target);
  if (!problem.empty()) return problem;
  const std::string quoted = "\"" + target + "\"";
  const std::string directory = DirectoryOf(target);
  const DWORD folder = GetFileAttributesW(LongPath(directory).c_str());
  if (folder == INVALID_FILE_ATTRIBUTES || (folder & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return "there is no folder \"" + directory + "\"";
  }
  const std::wstring wide_target = LongPath(target);
  const DWORD attributes = GetFileAttributesW(wide_target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return std::string();
    return quoted + " cannot be reached (system error " + std::to_string(error) + ")";
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return quoted + " is a folder";
  if (attributes & FILE_ATTRIBUTE_READONLY) return quoted + " is read-only";
  // Nor a file that this user may not write, or that is not on a disk.
  const HANDLE check = CreateFileW(wide_target.c_str(), GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (check == INVALID_HANDLE_VALUE) return quoted + " is read-only";
  const bool on_disk = GetFileType(check) == FILE_TYPE_DISK;
  CloseHandle(check);
  if (!on_disk) return quoted + " is not a file on a disk but a device or pipe";
  return std::string();
}

namespace {

// The replacement of one file on disk: a new temporary file ".quorvel-save-XXXXXX" in the
// target's folder, created new (never what was there), gets the replaced file's attributes and
// the bytes through its handle; Commit flushes it and puts it in place with ReplaceFileW (which
// keeps the replaced file's attributes and security) or, for a new file, a move that fails when
// a file appeared there meanwhile.
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

  std::intptr_t file_ = -1;  // the temporary file's handle, open for writing
  std::string target_name_, temporary_name_, temporary_path_;
  bool failed_ = false;
};

bool DiskReplacement::TargetAsExpected() const {
  if (!expects_) return true;
  FileFacts now;
  if (!DiskCurrentFacts(target_name_, &now)) {
    return !expects_file_ &&
           GetFileAttributesW(LongPath(target_name_).c_str()) == INVALID_FILE_ATTRIBUTES;
  }
  return AsExpected(true, now);
}

void DiskReplacement::Discard() {
  if (file_ != -1) CloseHandle(AsHandle(file_));
  file_ = -1;
  if (!temporary_path_.empty()) {
    const std::wstring temporary = LongPath(temporary_path_);
    SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);  // a new read-only one
    DeleteFileW(temporary.c_str());
  }
  temporary_name_.clear();
  temporary_path_.clear();
}

bool DiskReplacement::Begin(const std::string& target, unsigned new_permissions) {
  target_name_ = target;  // Windows names files by path only: the whole path is kept
  const DWORD attributes = GetFileAttributesW(LongPath(target).c_str());
  const std::string directory = DirectoryOf(StorageName(target));
  for (int attempt = 0; attempt < 100 && file_ == -1; ++attempt) {
    const std::string name = TemporaryFileName();
    const std::string path = directory + (directory.back() == '/' ? "" : "/") + name;
    // CREATE_NEW never opens what is there, link or not.
    const HANDLE file = CreateFileW(LongPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      file_ = reinterpret_cast<std::intptr_t>(file);
      temporary_name_ = name;
      temporary_path_ = path;
    } else if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) {
      break;
    }
  }
  if (file_ == -1) return false;
  // The replaced file's attributes, or for a new file read-only where the document's own
  // file was, set through the open file; ReplaceFileW keeps the replaced file's security.
  const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                     FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  FILE_BASIC_INFO basic{};
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    basic.FileAttributes = attributes & kept;
  } else if ((new_permissions & 0222) == 0) {
    basic.FileAttributes = FILE_ATTRIBUTE_READONLY;
  }
  if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  if (!SetFileInformationByHandle(AsHandle(file_), FileBasicInfo, &basic, sizeof basic)) {
    Discard();
    return false;
  }
  return true;
}

bool DiskReplacement::Write(const std::string& bytes) {
  for (size_t done = 0; !failed_ && file_ != -1 && done < bytes.size();) {
    const DWORD wanted = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
    DWORD n = 0;
    if (!WriteFile(AsHandle(file_), bytes.data() + done, wanted, &n, nullptr) || n == 0) {
      failed_ = true;
    } else {
      done += n;
    }
  }
  return !failed_ && file_ != -1;
}

bool DiskReplacement::Commit(FileFacts* written) {
  if (failed_ || file_ == -1) {
    Discard();
    return false;
  }
  BY_HANDLE_FILE_INFORMATION mine;
  bool ok = FlushFileBuffers(AsHandle(file_)) && GetFileInformationByHandle(AsHandle(file_), &mine);
  ok = CloseHandle(AsHandle(file_)) && ok;
  file_ = -1;
  // What goes into place must be the file written, not whatever was put under its name.
  FileId named;
  ok = ok && DiskFindFileId(temporary_path_, &named) && named == IdOf(mine);
  // The last look at the target, just before it is replaced: a file changed since the
  // session read it is kept, and the save refused.
  ok = ok && TargetAsExpected();
  const std::wstring target = LongPath(target_name_);
  const std::wstring temporary = LongPath(temporary_path_);
  if (ok) {
    if (GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
      // Keeps the replaced file's attributes and security.
      ok = ReplaceFileW(target.c_str(), temporary.c_str(), nullptr,
                        REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                        nullptr) != 0;
    } else {
      // A file that appeared there meanwhile is not replaced: the move fails.
      ok = MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
    }
  }
  if (!ok) {
    Discard();
    return false;
  }
  temporary_name_.clear();  // in place: nothing left to remove
  temporary_path_.clear();
  // ReplaceFileW may give the result the identity of the file it replaced.
  return DiskCurrentFacts(target_name_, written);
}

}  // namespace

std::unique_ptr<FileReplacement> DiskBeginReplacement(const std::string& target,
                                                      unsigned new_permissions) {
  auto replacement = std::make_unique<DiskReplacement>();
  if (!replacement->Begin(target, new_permissions)) return nullptr;
  return replacement;
}

namespace {

// The system's reason for `error` in the words std::errc gives the same failure elsewhere.
std::string ErrorText(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
      return std::make_error_code(std::errc::no_such_file_or_directory).message();
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return std::make_error_code(std::errc::permission_denied).message();
    case ERROR_FILENAME_EXCED_RANGE:
      return std::make_error_code(std::errc::filename_too_long).message();
    default:
      return "system error " + std::to_string(error);
  }
}

}  // namespace

// The standard library refuses the long-path form: its functions get the plain name.
std::filesystem::path NativePath(const std::string& path) {
  return std::filesystem::path(Wide(path));
}

std::string NameOf(const std::filesystem::path& path) { return Narrow(path.wstring()); }

bool DiskIsFolder(const std::string& path) {
  BY_HANDLE_FILE_INFORMATION info;
  if (FileInformation(path, &info)) return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  // A folder this user may not open still shows as one, unless it is a link.
  if (!CanNameAFile(path)) return false;
  const DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool DiskListFolder(const std::string& folder, std::vector<std::string>* names) {
  if (!CanNameAFile(folder) || !DiskIsFolder(folder)) return false;
  std::wstring pattern = LongPath(folder);
  pattern += pattern.back() == L'\\' ? L"*" : L"\\*";  // a drive's root ends in "\" already
  WIN32_FIND_DATAW found;
  const HANDLE search =
      FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names->push_back(Narrow(name));
  } while (FindNextFileW(search, &found));
  const bool listed = GetLastError() == ERROR_NO_MORE_FILES;
  FindClose(search);
  return listed;
}

// Each entry is looked at as the other Disk functions do: a walk's speed matters less here than
// answers that agree with theirs.
bool DiskListFolderEntries(const std::string& folder, std::vector<FolderEntry>* entries) {
  return ListEntriesOneByOne(Disk(), folder, entries);
}

bool DiskMakeFolder(const std::string& folder, std::string* why) {
  if (CanNameAFile(folder) && CreateDirectoryW(LongPath(folder).c_str(), nullptr)) return true;
  const DWORD error = CanNameAFile(folder) ? GetLastError() : ERROR_INVALID_NAME;
  if (error == ERROR_ALREADY_EXISTS && DiskIsFolder(folder)) return true;
  *why = "\"" + folder + "\": " + ErrorText(error);
  return false;
}

bool DiskRemoveFile(const std::string& path, std::string* why) {
  if (CanNameAFile(path) && DeleteFileW(LongPath(path).c_str())) return true;
  *why = "\"" + path + "\": " + ErrorText(CanNameAFile(path) ? GetLastError() : ERROR_INVALID_NAME);
  return false;
}

bool DiskIsLink(const std::string& path) {
  if (!CanNameAFile(path)) return false;
  const DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::string DiskRealPath(const std::string& path) {
  if (!CanNameAFile(path)) return std::string();
  const HANDLE handle = CreateFileW(LongPath(path).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::string();
  std::wstring final_path(32768, L'\0');
  const DWORD n = GetFinalPathNameByHandleW(handle, &final_path[0], 32768, FILE_NAME_NORMALIZED);
  CloseHandle(handle);
  if (n == 0 || n >= 32768) return std::string();
  final_path.resize(n);
  return StorageName(Narrow(final_path));
}

std::string DiskWhyNotReadable(const std::string& path) {
  // A device, or a name no file can have.
  const std::string problem = PathProblem(path);
  if (!problem.empty()) return problem;
  BY_HANDLE_FILE_INFORMATION info;
  if (!FileInformation(path, &info)) return ErrorText(GetLastError());
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    return std::make_error_code(std::errc::is_a_directory).message();
  }
  errno = 0;
  FILE* file = OpenForReading(path.c_str());
  if (file == nullptr) {
    return errno != 0 ? std::generic_category().message(errno) : "Cannot be opened";
  }
  std::fclose(file);
  return std::string();
}

std::string DiskMakePrivateFolder() {
  wchar_t buffer[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
  if (length == 0 || length > MAX_PATH) return std::string();
  const std::string parent = StorageName(Narrow(std::wstring(buffer, length)));
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string folder = parent + (parent.back() == '/' ? "" : "/") + TemporaryFileName();
    // Made new or not at all; the user's folder for temporary files is the user's own, and so
    // is what is made in it.
    if (CreateDirectoryW(LongPath(folder).c_str(), nullptr)) return folder;
    if (GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  return std::string();
}

void DiskRemoveFolder(const std::string& folder) { RemoveDirectoryW(LongPath(folder).c_str()); }

std::string UserCacheFolder() {
  const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
  if (local == nullptr || *local == L'\0') return std::string();
  return StorageName(Narrow(local));
}
