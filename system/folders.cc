#include "system/folders.h"

#include <filesystem>
#include <system_error>

#include "system/disk.h"

namespace fs = std::filesystem;

bool DiskFreeSpace(const std::string& folder, uint64_t* bytes) {
  if (folder.empty() || folder.find('\0') != std::string::npos) return false;
  std::error_code error;
  const fs::space_info space = fs::space(NativePath(folder), error);
  if (error || space.available == static_cast<std::uintmax_t>(-1)) return false;
  *bytes = static_cast<uint64_t>(space.available);
  return true;
}

bool RemoveEmptyFolder(const std::string& folder, std::string* why) {
  std::error_code error;
  if (folder.empty() || folder.find('\0') != std::string::npos ||
      !fs::is_directory(fs::symlink_status(NativePath(folder), error))) {
    *why = "\"" + folder + "\" is no folder";
    return false;
  }
  fs::remove(NativePath(folder), error);
  if (error) *why = "\"" + folder + "\": " + error.message();
  return !error;
}
