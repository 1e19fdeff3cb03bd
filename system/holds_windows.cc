#include <algorithm>
#include <cstdint>
#include <ctime>

#include "system/holds_system.h"
#include "system/names_windows.h"
#include "system/paths.h"

namespace {

int64_t AsNumber(const FILETIME& time) {
  return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) |
                              time.dwLowDateTime);
}

// When the process behind `process` (an open handle) started; 0 when unknown.
int64_t StartOf(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
  return AsNumber(created);
}

std::string UserName() {
  char name[257] = {};
  DWORD size = sizeof name;
  if (!GetUserNameA(name, &size) || name[0] == '\0') return "an unknown user";
  return name;
}

std::string MachineName() {
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof name;
  if (!GetComputerNameA(name, &size) || name[0] == '\0') return "localhost";
  return name;
}

}  // namespace

const Holder& ThisProcess() {
  static const Holder me = [] {
    Holder holder;
    holder.user = UserName();
    holder.machine = MachineName();
    holder.process = static_cast<int64_t>(GetCurrentProcessId());
    holder.started = StartOf(GetCurrentProcess());
    return holder;
  }();
  return me;
}

bool ProcessRuns(int64_t process, int64_t started) {
  if (process <= 0 || process > 0xffffffffLL) return false;
  const HANDLE handle =
      OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(process));
  // A process of another user that this one may not look at still runs.
  if (handle == nullptr) return GetLastError() == ERROR_ACCESS_DENIED;
  DWORD code = 0;
  bool runs = GetExitCodeProcess(handle, &code) && code == STILL_ACTIVE;
  if (runs && started != 0) runs = StartOf(handle) == started;
  CloseHandle(handle);
  return runs;
}

std::string ResolvedPath(const std::string& path) { return path; }

int CreateHoldFile(const std::string& path, const std::string& text, std::string* why) {
  // CREATE_NEW never opens what is there; other processes may read it, and delete it once
  // this one has let it go.
  const HANDLE file =
      CreateFileW(LongPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                  nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_TOO_MANY_OPEN_FILES || error == ERROR_NOT_ENOUGH_MEMORY ||
        error == ERROR_OUTOFMEMORY) {
      *why = "too many open files, or not enough memory";
      return -2;
    }
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? 0 : -1;
  }
  DWORD written = 0;
  const bool ok =
      WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
      written == text.size();
  CloseHandle(file);
  if (!ok) {
    DeleteFileW(LongPath(path).c_str());
    return -1;
  }
  return 1;
}

int ReadHoldFile(const std::string& path, size_t limit, std::string* text, int64_t* age) {
  text->clear();
  const HANDLE file = CreateFileW(LongPath(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : -1;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    CloseHandle(file);
    return -1;
  }
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  *age = (AsNumber(now) - AsNumber(info.ftLastWriteTime)) / 10000000;  // 100 ns units
  text->resize(limit);
  DWORD n = 0;
  const bool ok = ReadFile(file, &(*text)[0], static_cast<DWORD>(limit), &n, nullptr) != 0;
  CloseHandle(file);
  text->resize(ok ? n : 0);
  return 1;
}

bool MoveHoldFile(const std::string& from, const std::string& to) {
  return MoveFileExW(LongPath(from).c_str(), LongPath(to).c_str(), 0) != 0;
}

bool RestoreHoldFile(const std::string& from, const std::string& to) {
  // Without MOVEFILE_REPLACE_EXISTING the move fails where a file is there.
  return MoveFileExW(LongPath(from).c_str(), LongPath(to).c_str(), 0) != 0;
}

void RemoveHoldFile(const std::string& path) {
  const std::wstring wide = LongPath(path);
  SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(wide.c_str());
}
