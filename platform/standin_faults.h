// Faults injected through QUORVEL_STANDIN_FAIL: comma-separated entries, each OPERATION (fails
// every time) or OPERATION=TEXT (fails where TEXT matches). The variable is read at each call.
#ifndef PLATFORM_STANDIN_FAULTS_H
#define PLATFORM_STANDIN_FAULTS_H

#include <string>

// True when an entry names `operation` without a text.
bool StandinFault(const char* operation);

// True when an entry names `operation` without a text, or with a text equal to `name`.
bool StandinFaultOnName(const char* operation, const std::string& name);

// True when an entry names `operation` without a text, or with a path whose storage name is
// `storage_name`.
bool StandinFaultOnPath(const char* operation, const std::string& storage_name);

#endif  // PLATFORM_STANDIN_FAULTS_H
