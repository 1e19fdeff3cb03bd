// How the companions show text from documents, control files and tables, in their messages and
// displays alike: bytes that a terminal would act on are written as escapes, so that no document
// can move the cursor, change colours or retitle the window, and a value in a message is quoted
// so that a line of output reads back unambiguously. Files in messages are named by their full
// path, as the run resolves them.
#ifndef FINDINGS_DISPLAY_TEXT_H
#define FINDINGS_DISPLAY_TEXT_H

#include <string>

#include "plan/stage_event.h"

// `text` with a backslash doubled, \a \b \t \n \v \f \r as such, every other control byte
// (below 0x20, 0x7f, the C1 controls U+0080-U+009F), every byte that is not part of valid UTF-8,
// and the invisible format characters that reorder or hide text (U+200B-U+200F,
// U+2028-U+202E, U+2060-U+2069, U+FEFF) as a backslash and three octal digits per byte,
// as `ls -b` does. Printable ASCII and other valid UTF-8 stay as they are.
std::string DisplayText(const std::string& text);

// `text` as DisplayText shows it, with a double quote written \" and the whole in double
// quotes: how a message names a value.
std::string Quoted(const std::string& text);

// The file `path` (system/paths.h's StorageName: absolute and normalised, as the run resolves
// it), Quoted: how a message names a document, file or folder.
std::string QuotedFile(const std::string& path);

// A stage's reason as messages word it: its values Quoted, its files QuotedFile.
std::string DisplayEvent(const EventText& text);

// The file `storage_name` relative to the folder `cwd` (both storage names, system/paths.h's
// RelativePath), as DisplayText; the storage name itself where no relative path exists.
std::string DisplayFile(const std::string& storage_name, const std::string& cwd);

#endif  // FINDINGS_DISPLAY_TEXT_H
