#include <algorithm>
#include <cstdio>
#include <vector>

#include "system/names_windows.h"
#include "system/paths.h"

namespace {

// The longest name in a folder, and the longest path in the long-path form, in UTF-16 units.
const size_t kLongestName = 255;
const size_t kLongestPath = 32767;

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

// `path` without a "\\?\" prefix, which only tells the system not to fold the rest: the
// rest is the same file as without it ("\\?\UNC\server\share" is "\\server\share").
std::string WithoutVerbatimPrefix(const std::string& path) {
  if (path.size() < 4 || !IsSeparator(path[0]) || !IsSeparator(path[1]) || path[2] != '?' ||
      !IsSeparator(path[3])) {
    return path;
  }
  const std::string rest = path.substr(4);
  if (rest.size() >= 4 && (rest.compare(0, 3, "UNC") == 0 || rest.compare(0, 3, "unc") == 0) &&
      IsSeparator(rest[3])) {
    return "//" + rest.substr(4);
  }
  return rest;
}

// The device that a file name stands for on Windows, whatever its extension ("NUL.CATPart",
// "com1.txt"); empty for any other name.
std::string DeviceName(const std::string& element) {
  std::string stem = element.substr(0, element.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  std::string upper;
  for (char c : stem) upper += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* device : kDevices) {
    if (upper == device) return upper;
  }
  if (upper.size() == 4 && (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0) &&
      upper[3] >= '0' && upper[3] <= '9') {
    return upper;
  }
  return std::string();
}

// Why `path` can name no file by what it holds: a NUL byte, a device, a character no name
// holds, a byte the code page cannot take; empty when it can.
std::string NameProblem(const std::string& path) {
  if (path.empty()) return "the path is empty";
  const std::string quoted = "\"" + path.substr(0, path.find('\0')) + "\"";
  if (path.find('\0') != std::string::npos) {
    return quoted + " is followed by a NUL byte, which no file name can hold";
  }
  std::string name = WithoutVerbatimPrefix(path);
  for (char& c : name) c = c == '\\' ? '/' : c;
  if (name.compare(0, 4, "//./") == 0) return quoted + " names a device, not a file";
  const size_t start = IsDriveLetter(name) ? 2 : 0;
  for (size_t i = start; i < name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (c < 32) return quoted + " holds the control character " + std::to_string(c);
    if (std::string("<>:\"|?*").find(static_cast<char>(c)) != std::string::npos) {
      return quoted + " holds the character '" + static_cast<char>(c) +
             "', which no file name on Windows can hold";
    }
  }
  // Bytes that the narrow file functions' code page does not map would name another file.
  if (Narrow(Wide(path)) != path) {
    for (const char c : path) {
      const std::string one(1, c);
      if (Narrow(Wide(one)) != one) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
        return quoted + " holds the byte " + hex + ", which the system's code page cannot take";
      }
    }
    return quoted + " holds bytes that the system's code page cannot take";
  }
  for (const std::string& element : Elements(name)) {
    const std::string device = DeviceName(element);
    if (!device.empty()) return quoted + " names the device " + device + ", not a file";
  }
  return std::string();
}

}  // namespace

std::string PathProblem(const std::string& path) {
  const std::string problem = NameProblem(path);
  if (!problem.empty()) return problem;
  const std::string quoted = "\"" + path + "\"";
  // The longest a name in a folder and a whole path can be, in UTF-16 units, on any volume.
  for (const std::string& element : Elements(StorageName(path))) {
    const size_t length = Wide(element).size();
    if (length > kLongestName) {
      return quoted + " holds a name of " + std::to_string(length) +
             " characters; a file name on Windows holds " + std::to_string(kLongestName) +
             " at most";
    }
  }
  const size_t length = LongPath(path).size();
  if (length > kLongestPath) {
    return quoted + " is " + std::to_string(length) + " characters long as the system takes it; " +
           "a path on Windows holds " + std::to_string(kLongestPath) + " at most";
  }
  return std::string();
}

std::wstring LongPath(const std::string& path) {
  // Devices and names no file has are left to the system: "\\?\" would make "NUL" a file.
  if (!NameProblem(path).empty()) return Wide(path);
  std::string name = StorageName(path);
  for (char& c : name) c = c == '/' ? '\\' : c;
  if (name.compare(0, 2, "\\\\") == 0) return L"\\\\?\\UNC\\" + Wide(name.substr(2));
  if (IsDriveLetter(name)) return L"\\\\?\\" + Wide(name);
  return Wide(name);
}

std::string StorageName(const std::string& given) {
  const std::string path = WithoutVerbatimPrefix(given);
  if (path.empty()) return path;
  // No file name holds a NUL byte: what follows one is kept as it is, so that the name stays
  // apart from every name of a file.
  const size_t nul = path.find('\0');
  if (nul != std::string::npos) return StorageName(path.substr(0, nul)) + path.substr(nul);
  // The system's own rules: absolute against the working directory (of the path's drive),
  // "\" and "/" alike, "." and ".." folded, no link resolved.
  const std::wstring wide = Wide(path);
  DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return path;
  std::wstring full(size, L'\0');
  size = GetFullPathNameW(wide.c_str(), size, &full[0], nullptr);
  full.resize(size);
  std::replace(full.begin(), full.end(), L'\\', L'/');
  const std::string spelled = Narrow(full);
  // Repeated separators after the root merged, and none at the end but the root's.
  const size_t root = RootLength(spelled);
  std::string name = spelled.substr(0, root);
  for (size_t i = root; i < spelled.size(); ++i) {
    if (spelled[i] != '/' || (name.size() > root && name.back() != '/')) name += spelled[i];
  }
  if (name.size() > root && name.back() == '/') name.pop_back();
  // Blanks and dots that end a name are dropped by the system: "bolt.CATPart." is the file
  // "bolt.CATPart".
  std::string folded = name.substr(0, root);
  for (const std::string& element : Elements(name)) {
    std::string kept = element;
    while (!kept.empty() && (kept.back() == '.' || kept.back() == ' ')) kept.pop_back();
    if (kept.empty()) kept = element;  // a name of dots and blanks alone is left as it is
    if (!folded.empty() && folded.back() != '/') folded += '/';
    folded += kept;
  }
  return folded;
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
  const std::wstring wide = Wide(storage_name);
  if (wide.empty()) return storage_name;
  std::wstring upper(wide.size(), L'\0');
  const int n = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.data(),
                              static_cast<int>(wide.size()), &upper[0],
                              static_cast<int>(upper.size()), nullptr, nullptr, 0);
  if (n <= 0) return storage_name;
  upper.resize(static_cast<size_t>(n));
  return Narrow(upper, CP_UTF8);
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
