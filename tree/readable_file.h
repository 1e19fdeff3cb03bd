// Why a file given on the command line cannot be read, in the system's words.
#ifndef TREE_READABLE_FILE_H
#define TREE_READABLE_FILE_H

#include <string>

// Empty when `path` names a regular file that can be opened for reading; otherwise the reason,
// as the system words it ("No such file or directory", "Permission denied", ...).
std::string UnreadableReason(const std::string& path);

#endif  // TREE_READABLE_FILE_H
