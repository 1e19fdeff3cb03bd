#include "system/paths.h"

#include <algorithm>

#include "system/system.h"

std::string FileKey(const std::string& path) { return StorageKey(StorageName(path)); }

namespace {

bool IsFolderSeparator(char c) { return c == '/' || (c == '\\' && OnWindows()); }

// Where the file's name begins in `path`: after its last separator and its root.
size_t NameStart(const std::string& path) {
  size_t start = path.size();
  while (start > 0 && !IsFolderSeparator(path[start - 1])) --start;
  return std::max(start, PathRoot(path).size());
}

}  // namespace

std::string PathRoot(const std::string& path) {
  const bool drive = OnWindows() && path.size() >= 2 && path[1] == ':' &&
                     ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
  size_t end = drive ? 2 : 0;
  while (end < path.size() && IsFolderSeparator(path[end])) ++end;
  return path.substr(0, end);
}

std::vector<std::string> FoldersOf(const std::string& path) {
  std::vector<std::string> folders;
  const size_t end = NameStart(path);
  for (size_t begin = PathRoot(path).size(), at = begin; at <= end; ++at) {
    if (at < end && !IsFolderSeparator(path[at])) continue;
    if (at > begin) folders.push_back(path.substr(begin, at - begin));
    begin = at + 1;
  }
  return folders;
}

std::string FileNameOf(const std::string& path) { return path.substr(NameStart(path)); }

std::string StemOf(const std::string& path) {
  const std::string name = FileNameOf(path);
  const size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 || name == ".." ? name : name.substr(0, dot);
}

std::string ExtensionOf(const std::string& path) {
  return FileNameOf(path).substr(StemOf(path).size());
}

bool HasExtension(const std::string& path, const std::string& extension) {
  const auto folded = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  const std::string ending = ExtensionOf(path);
  return ending.size() == extension.size() &&
         std::equal(ending.begin(), ending.end(), extension.begin(),
                    [&](char a, char b) { return folded(a) == folded(b); });
}
