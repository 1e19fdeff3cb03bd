#include "testing/crafted_workbook.h"

#include <minizip/zip.h>

bool WriteCraftedZip(const std::string& path, const std::vector<CraftedEntry>& entries) {
  zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
  if (zip == nullptr) return false;
  bool written = true;
  for (const CraftedEntry& entry : entries) {
    const int raw = entry.expands > 0;
    written =
        written &&
        zipOpenNewFileInZip2_64(zip, entry.name.c_str(), nullptr, nullptr, 0, nullptr, 0, nullptr,
                                raw ? Z_DEFLATED : 0, 0, raw, 0) == ZIP_OK &&
        zipWriteInFileInZip(zip, entry.bytes.data(), static_cast<unsigned>(entry.bytes.size())) ==
            ZIP_OK &&
        (raw ? zipCloseFileInZipRaw64(zip, entry.expands, 0) : zipCloseFileInZip(zip)) == ZIP_OK;
  }
  return zipClose(zip, nullptr) == ZIP_OK && written;
}

std::vector<CraftedEntry> WorkbookParts(const std::string& rows, const std::string& strings) {
  return {
      {"xl/workbook.xml",
       "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
       "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
       "<sheets><sheet name=\"rename\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
      {"xl/_rels/workbook.xml.rels",
       "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
       "<Relationship Id=\"rId1\" Target=\"worksheets/sheet1.xml\" Type=\"http://"
       "schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\"/>"
       "<Relationship Id=\"rId2\" Target=\"sharedStrings.xml\" Type=\"http://"
       "schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings\"/>"
       "</Relationships>"},
      {"xl/sharedStrings.xml", "<sst>" + strings + "</sst>"},
      {"xl/worksheets/sheet1.xml", "<worksheet>\n<sheetData>" + rows + "</sheetData></worksheet>"}};
}

std::string DeflatedSpaces(const std::string& head, uint64_t spaces, const std::string& tail) {
  std::string out;
  uint32_t bits = 0;
  int count = 0;
  auto put = [&](uint32_t code, int length) {  // a code, its most significant bit first
    for (int i = length - 1; i >= 0; --i) {
      bits |= ((code >> i) & 1) << count;
      if (++count == 8) {
        out += static_cast<char>(bits);
        bits = 0;
        count = 0;
      }
    }
  };
  put(0b110, 3);  // the last block (1), of fixed codes (01, least significant bit first)
  for (const char c : head + " ") put(0x30 + static_cast<uint32_t>(c), 8);
  for (uint64_t copies = (spaces - 1) / 258; copies > 0; --copies) {
    put(0xc5, 8);  // length 258
    put(0, 5);     // distance 1
  }
  for (uint64_t left = (spaces - 1) % 258; left > 0; --left) put(0x30 + ' ', 8);
  for (const char c : tail) put(0x30 + static_cast<uint32_t>(c), 8);
  put(0, 7);  // the block's end
  if (count > 0) out += static_cast<char>(bits);
  return out;
}
