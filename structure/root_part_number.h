// The part number a document file holds, as the platform shows it: for telling whether a file
// that is there already holds the part it is to hold.
#ifndef STRUCTURE_ROOT_PART_NUMBER_H
#define STRUCTURE_ROOT_PART_NUMBER_H

#include <string>

#include "system/files.h"

// The part number of the root product of the document at `file`, opened in a session of its
// own that reads through `files` and is deleted again. False when no session can be made (one
// is open already), or the document cannot be opened or has no root product.
bool RootPartNumber(FileSystem& files, const std::string& file, std::string* part_number);

#endif  // STRUCTURE_ROOT_PART_NUMBER_H
