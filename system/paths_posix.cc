#include <filesystem>
#include <system_error>

#include "system/paths.h"

namespace fs = std::filesystem;

namespace {

// The absolute `path` with its empty and "." elements left out and each ".." taking the element
// before it (none above the root): what lexically_normal gives, without the cost of a
// std::filesystem::path for each of the million references a project index reads.
std::string NormalAbsolute(const std::string& path) {
  std::string normal;
  for (size_t begin = 0; begin < path.size();) {
    size_t end = path.find('/', begin);
    if (end == std::string::npos) end = path.size();
    const size_t length = end - begin;
    if (length == 2 && path[begin] == '.' && path[begin + 1] == '.') {
      normal.resize(normal.rfind('/') == std::string::npos ? 0 : normal.rfind('/'));
    } else if (length > 0 && !(length == 1 && path[begin] == '.')) {
      normal.push_back('/');
      normal.append(path, begin, length);
    }
    begin = end + 1;
  }
  return normal.empty() ? "/" : normal;
}

}  // namespace

std::string StorageName(const std::string& path) {
  if (path.empty()) return path;
  if (path[0] == '/') return NormalAbsolute(path);
  std::error_code error;
  const fs::path cwd = fs::current_path(error);
  if (error) return path;
  return NormalAbsolute(cwd.generic_string() + "/" + path);
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
