// File paths as the stand-in's session names documents.
#ifndef PLATFORM_STANDIN_PATHS_H
#define PLATFORM_STANDIN_PATHS_H

#include <string>

// The storage name of `path`: made absolute against the working directory and normalised
// lexically ("." and ".." folded, repeated separators merged, no link resolved).
std::string StorageName(const std::string& path);

// The directory part of an absolute storage name ("/" for a file in the root).
std::string DirectoryOf(const std::string& storage_name);

// `target` written relative to the directory `from_dir` (both storage names), with "/"
// separators.
std::string RelativePath(const std::string& target, const std::string& from_dir);

#endif  // PLATFORM_STANDIN_PATHS_H
