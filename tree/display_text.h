// Text from documents and control files as Quorvel-tree shows it on a terminal: bytes that a
// terminal would act on are written as escapes, so that no document can move the cursor,
// change colours or retitle the window.
#ifndef TREE_DISPLAY_TEXT_H
#define TREE_DISPLAY_TEXT_H

#include <string>

// `text` with a backslash doubled, \a \b \t \n \v \f \r as such, every other control byte
// (below 0x20, 0x7f, the C1 controls U+0080-U+009F), every byte that is not part of valid UTF-8,
// and the invisible format characters that reorder or hide text (U+200B-U+200F,
// U+2028-U+202E, U+2060-U+2069, U+FEFF) as a backslash and three octal digits per byte,
// as `ls -b` does. Printable ASCII and other valid UTF-8 stay as they are.
std::string DisplayText(const std::string& text);

// The file `storage_name` relative to the folder `cwd` (both storage names, system/paths.h's
// RelativePath), as DisplayText; the storage name itself where no relative path exists.
std::string DisplayFile(const std::string& storage_name, const std::string& cwd);

#endif  // TREE_DISPLAY_TEXT_H
