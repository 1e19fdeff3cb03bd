// Workbooks crafted byte by byte, as an attacker or a careless program would make them: the
// archive's entries as given, stored or as raw deflate streams that expand far. The workbook
// reader's tests and its benchmark build their hostile inputs with these.
#ifndef TESTING_CRAFTED_WORKBOOK_H
#define TESTING_CRAFTED_WORKBOOK_H

#include <cstdint>
#include <string>
#include <vector>

// An entry of a crafted archive: stored as it is, or, with `expands`, its bytes a raw deflate
// stream that expands to that many bytes.
struct CraftedEntry {
  std::string name, bytes;
  uint64_t expands = 0;
};

// Writes the archive of `entries` to `path`; false when minizip refused any step.
bool WriteCraftedZip(const std::string& path, const std::vector<CraftedEntry>& entries);

// The parts of a workbook with one sheet, whose <sheetData> holds `rows`, and the shared
// strings `strings` (<si> items), as spreadsheets save them.
std::vector<CraftedEntry> WorkbookParts(const std::string& rows, const std::string& strings);

// A raw deflate stream, in one block of fixed codes, of `head`, `spaces` spaces and `tail`
// (ASCII): the spaces as copies of 258 bytes at distance 1, 13 bits each.
std::string DeflatedSpaces(const std::string& head, uint64_t spaces, const std::string& tail);

#endif  // TESTING_CRAFTED_WORKBOOK_H
