// Document files read as the platform shows them, each in a session of its own that reads through
// a given file system and is deleted again: for the companions, which open no session themselves.
#ifndef STRUCTURE_SESSION_READING_H
#define STRUCTURE_SESSION_READING_H

#include <string>

#include "structure/product_structure.h"
#include "system/files.h"

// The part number of the root product of the document at `file`, opened in a session of its
// own that reads through `files` and is deleted again. False when no session can be made (one
// is open already), or the document cannot be opened or has no root product.
bool RootPartNumber(FileSystem& files, const std::string& file, std::string* part_number);

// The structure under the document at `file` (WalkProductStructure). False when no session can
// be made or the document cannot be opened; the caller says why, in its own words.
bool ReadProductStructure(FileSystem& files, const std::string& file, ProductStructure* structure);

#endif  // STRUCTURE_SESSION_READING_H
