// Folders as wholes: the room left on the volume that holds one, and a folder removed once it is
// empty. The standard library asks each system (statvfs, GetDiskFreeSpaceExW).
#ifndef SYSTEM_FOLDERS_H
#define SYSTEM_FOLDERS_H

#include <cstdint>
#include <string>

// The bytes that this user may still write on the volume that holds `folder`; false when the
// system cannot tell.
bool DiskFreeSpace(const std::string& folder, uint64_t* bytes);

// Removes the folder `folder` when it is empty (not a link to one); false, with the reason
// naming it, when it cannot.
bool RemoveEmptyFolder(const std::string& folder, std::string* why);

#endif  // SYSTEM_FOLDERS_H
