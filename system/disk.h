// The system's own answers about files, as each system's files_*.cc gives them: what Disk()
// (system/files.h) is made of.
#ifndef SYSTEM_DISK_H
#define SYSTEM_DISK_H

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "system/files.h"

bool DiskReadRegularFile(const std::string& path, std::string* bytes, FileFacts* facts);
bool DiskFindFileId(const std::string& path, FileId* id);
bool DiskCurrentFacts(const std::string& path, FileFacts* facts);
std::string DiskWhyNotReplace(const std::string& target);
// The replacement of `target` on disk through a temporary file beside it; null when it cannot
// begin. The caller has asked DiskWhyNotReplace first.
std::unique_ptr<FileReplacement> DiskBeginReplacement(const std::string& target,
                                                      unsigned new_permissions);

// A path as the standard library's file functions take it, and a name they give back, in the
// encoding the system's own file functions use for the program's 8-bit names.
std::filesystem::path NativePath(const std::string& path);
std::string NameOf(const std::filesystem::path& path);

// True when `path` reaches a folder, links followed.
bool DiskIsFolder(const std::string& path);
// The names in `folder` (without "." and ".."); false when it cannot be listed.
bool DiskListFolder(const std::string& folder, std::vector<std::string>* names);
// The entries of `folder`, each looked at without following a link; false when it cannot be
// listed.
bool DiskListFolderEntries(const std::string& folder, std::vector<FolderEntry>* entries);
// The entries of `folder` as `files` tells them name by name (IsLink, IsFolder, CurrentFacts).
bool ListEntriesOneByOne(FileSystem& files, const std::string& folder,
                         std::vector<FolderEntry>* entries);
// Makes the one folder `folder`, whose parent is there; true when it is a folder now. False,
// with the system's reason naming the folder, when it cannot be made.
bool DiskMakeFolder(const std::string& folder, std::string* why);
// Removes the file `path` (the caller has made sure it is no folder); false, with the reason.
bool DiskRemoveFile(const std::string& path, std::string* why);
// True when `path` itself is a symbolic link (on Windows a reparse point), wherever it leads.
bool DiskIsLink(const std::string& path);
// The storage name of what `path` reaches with every link resolved; empty when nothing.
std::string DiskRealPath(const std::string& path);
// Why the file at `path` cannot be opened for reading, in the system's words; empty when it can.
std::string DiskWhyNotReadable(const std::string& path);

// A fresh name for a temporary file: ".quorvel-save-" and six random letters of one case or
// digits (names that differ in case alone are one name on Windows).
std::string TemporaryFileName();

// A new folder that only this user may enter, under the system's folder for temporary files,
// made so that it cannot be anything that was there before; empty when none can be made.
std::string DiskMakePrivateFolder();
// Removes the empty folder `folder`.
void DiskRemoveFolder(const std::string& folder);

#endif  // SYSTEM_DISK_H
