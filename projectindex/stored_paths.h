// Paths as the project index keeps them: a path inside the project folder relative to it,
// after "./" (no full storage name or key begins so), any other in full. In a large project this
// is most of what the index holds, and the folder's own name is most of each path.
#ifndef PROJECTINDEX_STORED_PATHS_H
#define PROJECTINDEX_STORED_PATHS_H

#include <string>

class StoredPaths {
 public:
  StoredPaths() = default;
  // `folder` is the project folder's storage name, `key` its StorageKey.
  StoredPaths(const std::string& folder, const std::string& key);

  // What is kept of a storage key and of a storage name.
  std::string Key(const std::string& key) const { return Inside(key, key_); }
  std::string Name(const std::string& name) const { return Inside(name, folder_); }
  // The full storage key and name of what was kept.
  std::string FullKey(const std::string& stored) const { return Outside(stored, key_); }
  std::string FullName(const std::string& stored) const { return Outside(stored, folder_); }

 private:
  static std::string Inside(const std::string& path, const std::string& prefix);
  static std::string Outside(const std::string& stored, const std::string& prefix);

  std::string folder_, key_;  // each ending in "/"
};

#endif  // PROJECTINDEX_STORED_PATHS_H
