// Faults injected through QUORVEL_STANDIN_FAIL: comma-separated entries, each OPERATION (fails
// every time) or OPERATION=TEXT (fails where TEXT matches). The variable is read at each check
// of a session operation or of a path; checks of a name, made for every component a search
// passes, use what it said at the last of those (before any name is seen, the program has
// always gone through a session or a document operation).
#ifndef PLATFORM_STANDIN_FAULTS_H
#define PLATFORM_STANDIN_FAULTS_H

#include <string>

// True when an entry names `operation` without a text.
bool StandinFault(const char* operation);

// True when an entry names `operation` without a text, or with a text equal to `name`.
bool StandinFaultOnNameSet(const char* operation, const std::string& name);
extern bool g_standin_faults_set;  // the variable had entries when last read
inline bool StandinFaultOnName(const char* operation, const std::string& name) {
  return g_standin_faults_set && StandinFaultOnNameSet(operation, name);
}

// True when an entry names `operation` without a text, or with a path whose storage name is
// `storage_name`.
bool StandinFaultOnPath(const char* operation, const std::string& storage_name);

#endif  // PLATFORM_STANDIN_FAULTS_H
