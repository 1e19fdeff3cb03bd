// File paths folded and compared with each system's rules: the one place that does so, for the
// stand-in's session and for every companion. paths_posix.cc and paths_windows.cc give each
// system's rules.
#ifndef SYSTEM_PATHS_H
#define SYSTEM_PATHS_H

#include <string>
#include <vector>

// The storage name of `path`: made absolute against the working directory and normalised
// lexically ("." and ".." folded, repeated separators merged, no link resolved), with "/"
// separating folders. On Windows "\" separates folders too, drive letters and UNC paths are
// absolute, a drive letter without a separator is the drive's working directory, "\\?\" is
// taken off, and blanks and dots that end a name are dropped, as the system drops them.
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

// The form in which two paths name one file as far as their spelling tells: the storage key of
// the path's storage name; empty for an empty path. (SameFile in system/files.h also asks the
// system which files they reach.)
std::string FileKey(const std::string& path);

// Why `path` can name no file on this system, naming the bytes at fault ("holds a NUL byte",
// on Windows also "holds the character '?'", "names the device NUL"); empty when it can.
std::string PathProblem(const std::string& path);

// The pieces of a path as it is spelled, nothing folded; on Windows "\" separates folders too.
// The root: the leading separators, on Windows after a drive letter ("/", "C:\", "C:"); empty
// for a relative path.
std::string PathRoot(const std::string& path);
// The names of the folders after the root that hold the file the path names, outermost first:
// "." and ".." kept, the empty names of repeated separators left out.
std::vector<std::string> FoldersOf(const std::string& path);
// The file's name without its folders; empty when the path ends in a separator.
std::string FileNameOf(const std::string& path);
// The file's name up to its last dot, unless that dot is its first byte (".profile", "." and
// ".." are their own stems).
std::string StemOf(const std::string& path);

// The end of the file's name from its stem on (".xlsx" for "a/t.xlsx"); empty where none.
std::string ExtensionOf(const std::string& path);
// True when the file's name ends in `extension` (".xlsx"), its letters A to Z in either case on
// every system: the ending names a format, whatever the system's rules for file names.
bool HasExtension(const std::string& path, const std::string& extension);

#endif  // SYSTEM_PATHS_H
