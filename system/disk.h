// The system's own answers about files, as each system's files_*.cc gives them, without what
// a process that writes nothing keeps in memory: files.cc puts that in front of them.
#ifndef SYSTEM_DISK_H
#define SYSTEM_DISK_H

#include <string>

#include "system/files.h"

bool DiskReadRegularFile(const std::string& path, std::string* bytes, FileFacts* facts);
bool DiskFindFileId(const std::string& path, FileId* id);
bool DiskCurrentFacts(const std::string& path, FileFacts* facts);
std::string DiskWhyNotReplace(const std::string& target);

#endif  // SYSTEM_DISK_H
