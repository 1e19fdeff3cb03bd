// File paths as the stand-in's session names documents. standin_paths_posix.cc and
// standin_paths_windows.cc give each system's path rules.
#ifndef PLATFORM_STANDIN_PATHS_H
#define PLATFORM_STANDIN_PATHS_H

#include <string>

// The storage name of `path`: made absolute against the working directory and normalised
// lexically ("." and ".." folded, repeated separators merged, no link resolved), with "/"
// separating folders. On Windows "\" separates folders too, and drive letters and UNC paths
// are absolute.
std::string StorageName(const std::string& path);

// The storage name of `reference`, a path written in a document whose folder is `directory`
// (a storage name): an absolute reference as it stands, any other from that folder.
std::string ReferenceStorageName(const std::string& reference, const std::string& directory);

// The form in which storage names compare: on Windows, whose file names compare without
// regard to case, the name in one letter case; elsewhere the name itself.
std::string StorageKey(const std::string& storage_name);

// The directory part of an absolute storage name ("/" for a file in the root).
std::string DirectoryOf(const std::string& storage_name);

// `target` written relative to the directory `from_dir` (both storage names), with "/"
// separators; `target` itself where no relative path leads to it.
std::string RelativePath(const std::string& target, const std::string& from_dir);

#endif  // PLATFORM_STANDIN_PATHS_H
