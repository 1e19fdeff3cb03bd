#include <algorithm>
#include <vector>

#include "standin_names_windows.h"
#include "standin_paths.h"

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool IsDriveLetter(const std::string& path) {
  return path.size() >= 2 && path[1] == ':' &&
         ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

// How many bytes of a storage name are its root: "C:/", or "//server/share/" (the last "/"
// where there is one); 0 for a name without a root.
size_t RootLength(const std::string& name) {
  if (IsDriveLetter(name)) return name.size() > 2 && name[2] == '/' ? 3 : 2;
  if (name.compare(0, 2, "//") != 0) return 0;
  const size_t server_end = name.find('/', 2);
  if (server_end == std::string::npos) return name.size();
  const size_t share_end = name.find('/', server_end + 1);
  return share_end == std::string::npos ? name.size() : share_end + 1;
}

// The root of a storage name without its last "/": "C:" or "//server/share".
std::string RootOf(const std::string& name) {
  std::string root = name.substr(0, RootLength(name));
  if (root.size() > 2 && root.back() == '/') root.pop_back();
  return root;
}

// The folders and the file of a storage name after its root.
std::vector<std::string> Elements(const std::string& name) {
  std::vector<std::string> elements;
  size_t begin = RootLength(name);
  while (begin < name.size()) {
    size_t end = name.find('/', begin);
    if (end == std::string::npos) end = name.size();
    if (end > begin) elements.push_back(name.substr(begin, end - begin));
    begin = end + 1;
  }
  return elements;
}

}  // namespace

std::string StorageName(const std::string& path) {
  if (path.empty()) return path;
  // No file name holds a NUL byte: what follows one is kept as it is, so that the name stays
  // apart from every name of a file.
  const size_t nul = path.find('\0');
  if (nul != std::string::npos) return StorageName(path.substr(0, nul)) + path.substr(nul);
  // The system's own rules: absolute against the working directory (of the path's drive),
  // "\" and "/" alike, "." and ".." folded, no link resolved.
  const std::wstring wide = StandinWide(path);
  DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return path;
  std::wstring full(size, L'\0');
  size = GetFullPathNameW(wide.c_str(), size, &full[0], nullptr);
  full.resize(size);
  std::replace(full.begin(), full.end(), L'\\', L'/');
  const std::string spelled = StandinNarrow(full);
  // Repeated separators after the root merged, and none at the end but the root's.
  const size_t root = RootLength(spelled);
  std::string name = spelled.substr(0, root);
  for (size_t i = root; i < spelled.size(); ++i) {
    if (spelled[i] != '/' || (name.size() > root && name.back() != '/')) name += spelled[i];
  }
  if (name.size() > root && name.back() == '/') name.pop_back();
  return name;
}

std::string ReferenceStorageName(const std::string& reference, const std::string& directory) {
  if (IsDriveLetter(reference) ||
      (reference.size() >= 2 && IsSeparator(reference[0]) && IsSeparator(reference[1]))) {
    return StorageName(reference);  // "C:\..." or "\\server\share\...": absolute
  }
  if (!reference.empty() && IsSeparator(reference[0])) {
    return StorageName(RootOf(directory) + reference);  // from the root of the folder's drive
  }
  return StorageName(directory + (!directory.empty() && directory.back() == '/' ? "" : "/") +
                     reference);
}

std::string StorageKey(const std::string& storage_name) {
  const std::wstring wide = StandinWide(storage_name);
  if (wide.empty()) return storage_name;
  std::wstring upper(wide.size(), L'\0');
  const int n = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.data(),
                              static_cast<int>(wide.size()), &upper[0],
                              static_cast<int>(upper.size()), nullptr, nullptr, 0);
  if (n <= 0) return storage_name;
  upper.resize(static_cast<size_t>(n));
  return StandinNarrow(upper, CP_UTF8);
}

std::string DirectoryOf(const std::string& storage_name) {
  const size_t root = RootLength(storage_name);
  const size_t last = storage_name.rfind('/');
  if (last == std::string::npos || last < root) {
    return root > 0 ? storage_name.substr(0, root) : std::string(".");
  }
  return storage_name.substr(0, std::max(last, root));
}

std::string RelativePath(const std::string& target, const std::string& from_dir) {
  if (StorageKey(RootOf(target)) != StorageKey(RootOf(from_dir))) return target;
  const std::vector<std::string> to = Elements(target), from = Elements(from_dir);
  size_t common = 0;
  while (common < to.size() && common < from.size() &&
         StorageKey(to[common]) == StorageKey(from[common])) {
    ++common;
  }
  std::string relative;
  for (size_t i = common; i < from.size(); ++i) relative += "../";
  for (size_t i = common; i < to.size(); ++i) relative += to[i] + "/";
  if (relative.empty()) return ".";
  relative.pop_back();
  return relative;
}
