// libFuzzer target for the workbook reader: any bytes must read without a crash, a hang or a
// read past a buffer, and what is read must keep the reader's promises (rows in order, each
// once, no further right than the columns kept, no cell longer than a spreadsheet's), or be
// refused with a reason; the table is then built from the same bytes. Seeded with the
// workbooks that table writes (fuzz/workbook_corpus: as written, and stored without
// compression so that changed bytes reach the XML).
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "findings/report.h"
#include "planner/rename_table.h"
#include "planner/workbook_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::vector<CsvRow> rows;
  std::vector<WorkbookCell> not_text;
  WorkbookRefusal refusal;
  const bool read = ReadWorkbook(bytes, &rows, &not_text, &refusal);
  if (read != refusal.reason.empty()) std::abort();
  int last = 0;
  for (const CsvRow& row : rows) {
    if (row.line <= last || row.line > 1048576 || row.fields.size() > 1024) std::abort();
    for (const std::string& field : row.fields) {
      if (field.size() > 4 * 32767) std::abort();
    }
    last = row.line;
  }
  Report report;
  RenameTable table;
  std::ostringstream printed;
  if (!ReadWorkbookBytes(bytes, &table, &report)) report.Print("fuzz.xlsx", printed);
  return 0;
}
