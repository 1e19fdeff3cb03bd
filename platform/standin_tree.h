// A stand-in product structure as an indented tree: the document, then each component of its
// product with the file it refers to and that file's part number, and so on down. Files are
// shown relative to the working directory; text is escaped as in document files.
#ifndef PLATFORM_STANDIN_TREE_H
#define PLATFORM_STANDIN_TREE_H

#include <ostream>
#include <string>

// Prints the tree of the document at `path`. False, with a line on `errors`, when that
// document cannot be read or is malformed; deeper documents that cannot be read are marked in
// the tree instead.
bool PrintStandinTree(const std::string& path, std::ostream& out, std::ostream& errors);

#endif  // PLATFORM_STANDIN_TREE_H
