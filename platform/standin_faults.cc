#include "standin_faults.h"

#include <cstdlib>
#include <cstring>

#include "standin_paths.h"

namespace {

enum class Match { kNone, kName, kPath };

bool Lookup(const char* operation, Match match, const std::string& text) {
  const char* env = std::getenv("QUORVEL_STANDIN_FAIL");
  if (env == nullptr) return false;
  const std::string faults(env);
  size_t begin = 0;
  while (begin <= faults.size()) {
    size_t end = faults.find(',', begin);
    if (end == std::string::npos) end = faults.size();
    const std::string entry = faults.substr(begin, end - begin);
    const size_t equals = entry.find('=');
    if (entry.compare(0, equals, operation) == 0) {
      if (equals == std::string::npos) return true;
      const std::string wanted = entry.substr(equals + 1);
      if (match == Match::kName && wanted == text) return true;
      if (match == Match::kPath && StorageKey(StorageName(wanted)) == StorageKey(text)) return true;
    }
    begin = end + 1;
  }
  return false;
}

}  // namespace

bool StandinFault(const char* operation) { return Lookup(operation, Match::kNone, ""); }

bool StandinFaultOnName(const char* operation, const std::string& name) {
  return Lookup(operation, Match::kName, name);
}

bool StandinFaultOnPath(const char* operation, const std::string& storage_name) {
  return Lookup(operation, Match::kPath, storage_name);
}
