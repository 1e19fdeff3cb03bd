#include "standin_faults.h"

#include <cstdlib>
#include <vector>

#include "system/paths.h"

bool g_standin_faults_set = false;

namespace {

enum class Match { kNone, kName, kPath };

struct Entry {
  std::string operation;
  bool has_text;
  std::string text;
};

// The variable as last read, and its entries.
struct Faults {
  bool set = false;
  std::string value;
  std::vector<Entry> entries;

  void Read() {
    const char* env = std::getenv("QUORVEL_STANDIN_FAIL");
    if (env == nullptr) {
      set = false;
      g_standin_faults_set = false;
      entries.clear();
      return;
    }
    if (set && value == env) return;
    set = true;
    g_standin_faults_set = true;
    value = env;
    entries.clear();
    size_t begin = 0;
    while (begin <= value.size()) {
      size_t end = value.find(',', begin);
      if (end == std::string::npos) end = value.size();
      const std::string entry = value.substr(begin, end - begin);
      const size_t equals = entry.find('=');
      entries.push_back({entry.substr(0, equals), equals != std::string::npos,
                         equals == std::string::npos ? "" : entry.substr(equals + 1)});
      begin = end + 1;
    }
  }

  bool Lookup(const char* operation, Match match, const std::string& text) const {
    for (const Entry& entry : entries) {
      if (entry.operation != operation) continue;
      if (!entry.has_text) return true;
      if (match == Match::kName && entry.text == text) return true;
      // Against the working folder of the moment, as the operation's own path is.
      if (match == Match::kPath && StorageKey(StorageName(entry.text)) == StorageKey(text)) {
        return true;
      }
    }
    return false;
  }
};

Faults g_faults;

}  // namespace

bool StandinFault(const char* operation) {
  g_faults.Read();
  return g_faults.Lookup(operation, Match::kNone, "");
}

bool StandinFaultOnNameSet(const char* operation, const std::string& name) {
  return g_faults.Lookup(operation, Match::kName, name);
}

bool StandinFaultOnPath(const char* operation, const std::string& storage_name) {
  g_faults.Read();
  return g_faults.Lookup(operation, Match::kPath, storage_name);
}
