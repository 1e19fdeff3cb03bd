#include "planner/workbook_writer.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <vector>

#include "findings/report.h"
#include "system/files.h"

namespace {

const size_t kCellCharacters = 32767;  // a workbook cell's text at most
const double kNarrowest = 10, kWidest = 60;

bool Hex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// The characters of UTF-8 `text`, or npos when it is not UTF-8 that XML can carry (no NUL,
// no surrogates, nothing past U+10FFFF, no U+FFFE or U+FFFF).
size_t Characters(const std::string& text) {
  size_t count = 0;
  for (size_t i = 0; i < text.size(); ++count) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    size_t length = lead < 0x80                   ? 1
                    : lead >= 0xc2 && lead < 0xe0 ? 2
                    : lead >= 0xe0 && lead < 0xf0 ? 3
                    : lead >= 0xf0 && lead < 0xf5 ? 4
                                                  : 0;
    if (length == 0 || lead == 0 || i + length > text.size()) return std::string::npos;
    unsigned long code = length == 1 ? lead : lead & (0xff >> (length + 1));
    for (size_t k = 1; k < length; ++k) {
      const unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xc0) != 0x80) return std::string::npos;
      code = (code << 6) | (next & 0x3f);
    }
    const unsigned long least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || code > 0x10ffff || (code >= 0xd800 && code < 0xe000) ||
        code == 0xfffe || code == 0xffff) {
      return std::string::npos;
    }
    i += length;
  }
  return count;
}

// `text` as a workbook's XML carries it: "_x" with four hex digits and "_" is the escape of a
// character there, so the "_" that begins such text in a value is itself written as one.
// (Control characters the library escapes.)
std::string Escaped(const std::string& text) {
  std::string escaped;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool marker = text.compare(i, 2, "_x") == 0 && i + 6 < text.size() &&
                        std::all_of(text.begin() + static_cast<long>(i) + 2,
                                    text.begin() + static_cast<long>(i) + 6, Hex) &&
                        text[i + 6] == '_';
    escaped += marker ? std::string("_x005F_") : std::string(1, text[i]);
  }
  return escaped;
}

lxw_format* Format(lxw_workbook* workbook, lxw_color_t background, bool fill_in) {
  lxw_format* format = workbook_add_format(workbook);
  format_set_num_format(format, "@");  // text: what is typed stays as typed
  format_set_bg_color(format, background);
  format_set_border(format, LXW_BORDER_THIN);
  format_set_border_color(format, 0xBFBFBF);
  if (fill_in) {
    format_set_unlocked(format);
  } else {
    format_set_font_color(format, 0x595959);
  }
  return format;
}

}  // namespace

bool WriteWorkbook(const RenameTable& table, const std::string& path, std::string* error) {
  const std::vector<std::vector<std::string>> cells = TableCells(table);
  const size_t columns = cells.front().size();
  std::vector<double> widths(columns, kNarrowest);
  for (size_t r = 0; r < cells.size(); ++r) {
    for (size_t c = 0; c < columns; ++c) {
      const size_t characters = Characters(cells[r][c]);
      if (characters == std::string::npos || characters > kCellCharacters) {
        *error = "row " + std::to_string(r + 1) + ", " + cells[0][c] + " " + Quoted(cells[r][c]) +
                 (characters == std::string::npos
                      ? ": is not UTF-8 text, which a workbook cannot hold"
                      : ": is longer than a workbook's cell holds (32,767 characters)") +
                 "; write the table as CSV";
        return false;
      }
      widths[c] = std::max(widths[c], std::min(kWidest, characters + 2.0));
    }
  }
  // A column of new names is as wide as the names it gives new ones: file, part number,
  // instance.
  for (size_t c = 0; c + 1 < columns; ++c) {
    if (FilledIn(c + 1, true) || FilledIn(c + 1, false))
      widths[c + 1] = std::max(widths[c + 1], widths[c]);
  }

  lxw_workbook* workbook = workbook_new(path.c_str());
  if (workbook == nullptr) {
    *error = "the workbook cannot be made";
    return false;
  }
  lxw_worksheet* sheet = workbook_add_worksheet(workbook, "rename");
  lxw_format* header = Format(workbook, 0xD9D9D9, false);
  format_set_bold(header);
  format_set_font_color(header, LXW_COLOR_BLACK);
  lxw_format* read_only = Format(workbook, 0xF2F2F2, false);
  lxw_format* fill_in = Format(workbook, 0xFFF2CC, true);

  lxw_error written = LXW_NO_ERROR;
  for (size_t c = 0; c < columns; ++c) {
    worksheet_set_column(sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c), widths[c],
                         read_only);
  }
  for (size_t r = 0; r < cells.size() && written == LXW_NO_ERROR; ++r) {
    const bool document_row = !cells[r][0].empty();
    for (size_t c = 0; c < columns && written == LXW_NO_ERROR; ++c) {
      lxw_format* format = r == 0 ? header : FilledIn(c, document_row) ? fill_in : read_only;
      const auto row = static_cast<lxw_row_t>(r);
      const auto column = static_cast<lxw_col_t>(c);
      written = cells[r][c].empty() ? worksheet_write_blank(sheet, row, column, format)
                                    : worksheet_write_string(sheet, row, column,
                                                             Escaped(cells[r][c]).c_str(), format);
    }
  }
  worksheet_freeze_panes(sheet, 1, 0);
  worksheet_autofilter(sheet, 0, 0, static_cast<lxw_row_t>(cells.size() - 1),
                       static_cast<lxw_col_t>(columns - 1));
  lxw_protection allowed = {};
  allowed.format_columns = allowed.format_rows = allowed.sort = allowed.autofilter = 1;
  worksheet_protect(sheet, nullptr, &allowed);
  lxw_doc_properties properties = {};
  properties.title = const_cast<char*>("Rename table");
  properties.comments = const_cast<char*>(
      "Fill in the yellow cells; then Quorvel-plan write turns the table into a control file.");
  workbook_set_properties(workbook, &properties);

  const lxw_error closed = workbook_close(workbook);
  if (written == LXW_NO_ERROR) written = closed;
  if (written != LXW_NO_ERROR) {
    *error = lxw_strerror(written);
    return false;
  }
  return true;
}

bool WorkbookBytes(const RenameTable& table, std::string* bytes, std::string* error) {
  PrivateFolder folder;
  if (folder.path().empty()) {
    *error = "no folder of its own can be made for the workbook among the temporary files";
    return false;
  }
  const std::string made = folder.path() + "/rename.xlsx";
  FileFacts facts;
  if (!WriteWorkbook(table, made, error)) return false;
  if (!Disk().ReadRegularFile(made, bytes, &facts)) {
    *error = "the workbook made in \"" + folder.path() + "\" cannot be read back";
    return false;
  }
  return true;
}
