#include "projectindex/stored_paths.h"

namespace {

std::string WithSlash(const std::string& folder) {
  return !folder.empty() && folder.back() == '/' ? folder : folder + "/";
}

}  // namespace

StoredPaths::StoredPaths(const std::string& folder, const std::string& key)
    : folder_(WithSlash(folder)), key_(WithSlash(key)) {}

std::string StoredPaths::Inside(const std::string& path, const std::string& prefix) {
  if (path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0) {
    return "./" + path.substr(prefix.size());
  }
  return path;
}

std::string StoredPaths::Outside(const std::string& stored, const std::string& prefix) {
  if (stored.compare(0, 2, "./") == 0) return prefix + stored.substr(2);
  return stored;
}
