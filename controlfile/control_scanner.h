// The control file's two line patterns, matched byte by byte exactly as the C runtime's
// formatted input matches "@%65535[^\n]\n" and "{%65535[^}]}%65535[^\n]\n": at most 65,535
// bytes a field, a field of no bytes is a mismatch, the byte that fails to match stays
// unread, and bytes matched before a failure stay consumed. White space is blank, tab,
// carriage return, line feed, vertical tab and form feed. A field keeps its bytes raw,
// NUL bytes included; the caller decides how to read them.
#ifndef CONTROLFILE_CONTROL_SCANNER_H
#define CONTROLFILE_CONTROL_SCANNER_H

#include <cstdio>
#include <string>

constexpr int kControlFieldWidth = 65535;

// Matches an identifier line at the file's position. True when the identifier was matched;
// the white space after it is then consumed as well.
bool ScanIdentifierLine(FILE* file, std::string* identifier);

// Matches an attribute line at the file's position. True when both key and value were
// matched; the white space after the value is then consumed as well.
bool ScanAttributeLine(FILE* file, std::string* key, std::string* value);

#endif  // CONTROLFILE_CONTROL_SCANNER_H
