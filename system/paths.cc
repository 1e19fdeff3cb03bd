#include "system/paths.h"

std::string FileKey(const std::string& path) { return StorageKey(StorageName(path)); }
