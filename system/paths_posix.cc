#include <filesystem>
#include <system_error>

#include "system/paths.h"

namespace fs = std::filesystem;

std::string StorageName(const std::string& path) {
  if (path.empty()) return path;
  fs::path p(path);
  if (p.is_relative()) {
    std::error_code error;
    const fs::path cwd = fs::current_path(error);
    if (!error) p = cwd / p;
  }
  std::string normal = p.lexically_normal().generic_string();
  while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
  return normal;
}

std::string ReferenceStorageName(const std::string& reference, const std::string& directory) {
  return StorageName(!reference.empty() && reference[0] == '/' ? reference
                                                               : directory + "/" + reference);
}

std::string StorageKey(const std::string& storage_name) { return storage_name; }

std::string DirectoryOf(const std::string& storage_name) {
  const std::string parent = fs::path(storage_name).parent_path().generic_string();
  return parent.empty() ? "/" : parent;
}

std::string RelativePath(const std::string& target, const std::string& from_dir) {
  const fs::path relative = fs::path(target).lexically_relative(from_dir);
  return relative.empty() ? target : relative.generic_string();
}

std::string PathProblem(const std::string& path) {
  if (path.empty()) return "the path is empty";
  if (path.find('\0') != std::string::npos) {
    return "\"" + path.substr(0, path.find('\0')) +
           "\" is followed by a NUL byte, which no file name can hold";
  }
  return std::string();
}
