#include "planner/workbook_reader.h"

#include <expat.h>
#include <minizip/unzip.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <map>

#include "findings/display_text.h"

namespace {

const size_t kFileLimit = size_t{32} << 20;     // a workbook's file at most
const size_t kEntryLimit = size_t{256} << 20;   // bytes one part expands to at most
const size_t kAnyRatio = size_t{4} << 20;       // a part may expand this far whatever its ratio
const uint64_t kRatioLimit = 100;               // beyond: how many times a part may expand
const size_t kParserLimit = size_t{4} << 20;    // memory of the XML parser of one part
const size_t kHeldLimit = size_t{64} << 20;     // text held: shared strings and cells, expanded
const int kDepthLimit = 64;                     // elements nested in one part
const size_t kCellCharacters = 32767;           // a spreadsheet's cell holds at most
const size_t kCellBytes = 7 * kCellCharacters;  // its XML, every character escaped "_xHHHH_"
const unsigned long kLastRow = 1048576, kLastColumn = 16384;  // a sheet's last: XFD1048576
const size_t kColumnsKept = 1024;                             // cells further right are not read
const char kSaveAgain[] = "; open the workbook in the spreadsheet and save it again";
const char kSplit[] = "; make tables of sub-assemblies instead";

// `n` with its thousands separated: "1,048,576".
std::string Counted(uint64_t n) {
  std::string digits = std::to_string(n);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

// The first characters of `text`, quoted for a message ("..." after them when there are more).
std::string Beginning(const std::string& text) {
  size_t end = std::min<size_t>(text.size(), 24);
  while (end > 0 && end < text.size() && (static_cast<unsigned char>(text[end]) & 0xc0) == 0x80) {
    --end;
  }
  return Quoted(text.substr(0, end)) + (end < text.size() ? "..." : "");
}

// The characters of UTF-8 text (the bytes that begin one).
size_t Characters(const std::string& text) {
  size_t count = 0;
  for (const char c : text) count += (static_cast<unsigned char>(c) & 0xc0) != 0x80;
  return count;
}

// The letters of the column at `column` (from 0): A, B, ... Z, AA...
std::string Letters(size_t column) {
  std::string letters;
  for (size_t n = column + 1; n > 0; n = (n - 1) / 26) {
    letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
  }
  return letters;
}

// The number that `text` is, as a sheet writes numbers: digits without a leading zero, 1 to
// `last`; false for anything else.
bool Number(const char* text, unsigned long last, unsigned long* number) {
  *number = 0;
  if (text[0] < '1' || text[0] > '9') return false;
  for (; *text >= '0' && *text <= '9'; ++text) {
    *number = *number * 10 + static_cast<unsigned long>(*text - '0');
    if (*number > last) return false;
  }
  return *text == '\0';
}

// The column (from 0) of the cell reference `reference` ("D7") in the row `row`: one to three
// capital letters up to XFD, then the row's number; false for anything else.
bool ColumnOf(const char* reference, unsigned long row, unsigned long* column) {
  unsigned long letters = 0, number = 0;
  for (; reference[letters] >= 'A' && reference[letters] <= 'Z' && letters < 3; ++letters) {
    number = number * 26 + static_cast<unsigned long>(reference[letters] - 'A' + 1);
  }
  unsigned long row_number = 0;
  *column = number - 1;
  return letters > 0 && number <= kLastColumn &&
         Number(reference + letters, kLastRow, &row_number) && row_number == row;
}

// The expat parser's memory, counted so that no part makes it hold more than kParserLimit: a
// tag or a name of megabytes is refused, not buffered.
thread_local size_t t_parser_bytes = 0;
const size_t kHead = alignof(std::max_align_t);  // before each block: its size

void* ParserMalloc(size_t size) {
  if (size > kParserLimit - t_parser_bytes) return nullptr;
  char* block = static_cast<char*>(std::malloc(size + kHead));
  if (block == nullptr) return nullptr;
  std::memcpy(block, &size, sizeof size);
  t_parser_bytes += size;
  return block + kHead;
}

void ParserFree(void* memory) {
  if (memory == nullptr) return;
  char* block = static_cast<char*>(memory) - kHead;
  size_t size;
  std::memcpy(&size, block, sizeof size);
  t_parser_bytes -= size;
  std::free(block);
}

void* ParserRealloc(void* memory, size_t size) {
  if (memory == nullptr) return ParserMalloc(size);
  char* block = static_cast<char*>(memory) - kHead;
  size_t old;
  std::memcpy(&old, block, sizeof old);
  if (size > old && size - old > kParserLimit - t_parser_bytes) return nullptr;
  char* moved = static_cast<char*>(std::realloc(block, size + kHead));
  if (moved == nullptr) return nullptr;
  std::memcpy(moved, &size, sizeof size);
  t_parser_bytes = t_parser_bytes - old + size;
  return moved + kHead;
}

const XML_Memory_Handling_Suite kParserMemory = {ParserMalloc, ParserRealloc, ParserFree};

// The workbook's bytes as minizip reads a file.
struct Stream {
  const std::string* bytes;
  uLong position;
};

voidpf ZCALLBACK OpenStream(voidpf opaque, const char*, int) {
  static_cast<Stream*>(opaque)->position = 0;
  return opaque;
}

uLong ZCALLBACK ReadStream(voidpf, voidpf file, void* buffer, uLong size) {
  Stream* stream = static_cast<Stream*>(file);
  const uLong left = static_cast<uLong>(stream->bytes->size()) - stream->position;
  if (size > left) size = left;
  std::memcpy(buffer, stream->bytes->data() + stream->position, size);
  stream->position += size;
  return size;
}

uLong ZCALLBACK WriteStream(voidpf, voidpf, const void*, uLong) { return 0; }

long ZCALLBACK TellStream(voidpf, voidpf file) {
  return static_cast<long>(static_cast<Stream*>(file)->position);
}

long ZCALLBACK SeekStream(voidpf, voidpf file, uLong offset, int origin) {
  Stream* stream = static_cast<Stream*>(file);
  const uLong size = static_cast<uLong>(stream->bytes->size());
  const uLong base = origin == ZLIB_FILEFUNC_SEEK_SET   ? 0
                     : origin == ZLIB_FILEFUNC_SEEK_CUR ? stream->position
                                                        : size;
  if (offset > size - base) return -1;
  stream->position = base + offset;
  return 0;
}

int ZCALLBACK CloseStream(voidpf, voidpf) { return 0; }
int ZCALLBACK StreamError(voidpf, voidpf) { return 0; }

// Refuses an archive that spreadsheets and this reader could read differently: two entries of
// one name, or of names that differ in letter case alone (a part's name is one in any case).
bool DistinctEntries(unzFile zip, std::string* why) {
  std::map<std::string, std::string> names;  // in lower case, to the name as spelt
  std::string name(65536, '\0');
  int at = unzGoToFirstFile(zip);
  for (; at == UNZ_OK; at = unzGoToNextFile(zip)) {
    unz_file_info64 info;
    if (unzGetCurrentFileInfo64(zip, &info, &name[0], name.size(), nullptr, 0, nullptr, 0) !=
        UNZ_OK) {
      break;
    }
    const std::string spelt = name.c_str();
    std::string lower = spelt;
    for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    const auto [first, added] = names.emplace(lower, spelt);
    if (!added) {
      *why = "not a workbook that every reader reads alike: the archive has two entries " +
             (first->second == spelt ? "named " + Quoted(spelt)
                                     : Quoted(first->second) + " and " + Quoted(spelt)) +
             ", of which a spreadsheet shows one" + kSaveAgain;
      return false;
    }
  }
  if (at != UNZ_END_OF_LIST_OF_FILE) {
    *why = "not a workbook: its zip archive is damaged";
    return false;
  }
  return true;
}

// Why the entry described by `info` is not expanded: larger than any workbook's part, or
// expanding as no part that a spreadsheet saves does (a zip bomb). Empty when it may be.
std::string WhyNotExpanded(const unz_file_info64& info) {
  const uint64_t expanded = info.uncompressed_size, packed = info.compressed_size;
  if (expanded > kEntryLimit) {
    return "expands to " + Counted(expanded) +
           " bytes, more than a rename table's workbook holds (256 MiB); not read" + kSplit;
  }
  if (expanded > kAnyRatio && expanded / kRatioLimit > packed) {
    return "expands from " + Counted(packed) + " to " + Counted(expanded) +
           " bytes, more than 100 times, which no workbook that a spreadsheet saved does; not "
           "read" +
           kSaveAgain;
  }
  return std::string();
}

// The local part of a name that the parser gives as "namespace|local".
const char* Local(const char* name) {
  const char* bar = std::strrchr(name, '|');
  return bar != nullptr ? bar + 1 : name;
}

bool Is(const char* name, const char* local) { return std::strcmp(Local(name), local) == 0; }

// The value of the attribute whose local name is `local`, or null.
const char* Attribute(const char** attributes, const char* local) {
  for (; attributes[0] != nullptr; attributes += 2) {
    if (Is(attributes[0], local)) return attributes[1];
  }
  return nullptr;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// A workbook's text with its escapes "_xHHHH_" (a character XML cannot carry, or "_x005F_"
// for "_") made the characters they stand for, in UTF-8.
std::string Unescaped(const std::string& text) {
  std::string plain;
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned code = 0;
    bool escape = text.compare(i, 2, "_x") == 0 && i + 6 < text.size() && text[i + 6] == '_';
    for (size_t k = 2; escape && k < 6; ++k) {
      const int digit = HexValue(text[i + k]);
      escape = digit >= 0;
      code = code * 16 + static_cast<unsigned>(digit < 0 ? 0 : digit);
    }
    if (!escape) {
      plain += text[i];
      continue;
    }
    if (code < 0x80) {
      plain += static_cast<char>(code);
    } else if (code < 0x800) {
      plain += static_cast<char>(0xc0 | (code >> 6));
      plain += static_cast<char>(0x80 | (code & 0x3f));
    } else {
      plain += static_cast<char>(0xe0 | (code >> 12));
      plain += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
      plain += static_cast<char>(0x80 | (code & 0x3f));
    }
    i += 6;
  }
  return plain;
}

// One part of the workbook read as XML: the parser's events go to the virtual functions.
class Part {
 public:
  virtual ~Part() = default;

  // Parses the entry `name` of `zip`; false, with the reason, when it is missing, too large or
  // is not XML that a workbook has, or when a handler stopped with Fail.
  bool Parse(unzFile zip, const std::string& name, WorkbookRefusal* refusal) {
    name_ = name;
    unz_file_info64 info;
    if (unzLocateFile(zip, name.c_str(), 2) != UNZ_OK ||
        unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
      refusal->reason = "not a workbook: it has no part " + name;
      return false;
    }
    refusal->reason = WhyNotExpanded(info);
    if (!refusal->reason.empty()) {
      refusal->reason = name + ": " + refusal->reason;
      return false;
    }
    if (unzOpenCurrentFile(zip) != UNZ_OK) {
      refusal->reason = name + ": the archive is damaged";
      return false;
    }
    parser_ = XML_ParserCreate_MM(nullptr, &kParserMemory, "|");
    const bool parsed = parser_ != nullptr && Feed(zip, refusal);
    if (parser_ != nullptr) XML_ParserFree(parser_);
    if (parser_ == nullptr) refusal->reason = name + ": no memory to read it";
    if (unzCloseCurrentFile(zip) != UNZ_OK && parsed) {
      refusal->reason = name + ": the archive is damaged (its check sum does not match)";
      return false;
    }
    return parsed;
  }

 protected:
  virtual void Start(const char* element, const char** attributes) = 0;
  virtual void End(const char*) {}
  virtual void Text(const char*, size_t) {}
  // The cell being read ("B7"), and its row, when a refusal is at a cell; empty for none.
  virtual std::string Cell() const { return std::string(); }
  virtual int Row() const { return 1; }

  // Stops the parsing with `reason`, at the cell being read if there is one.
  void Fail(const std::string& reason) {
    if (!failure_.reason.empty()) return;
    failure_ = {Row(), Cell(), reason};
    if (failure_.cell.empty()) failure_.row = 1;
    XML_StopParser(parser_, XML_FALSE);
  }
  // "xl/worksheets/sheet1.xml:3: ", the part and the line being read, to begin a reason.
  std::string At() const {
    return name_ + ":" + std::to_string(XML_GetCurrentLineNumber(parser_)) + ": ";
  }
  bool Failed() const { return !failure_.reason.empty(); }

 private:
  // Feeds the open entry to the parser; false, with the reason, where it stops.
  bool Feed(unzFile zip, WorkbookRefusal* refusal) {
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, OnStart, OnEnd);
    XML_SetCharacterDataHandler(parser_, OnText);
    // No workbook has a document type: it could declare entities, and values of attributes
    // that no element shows. Without one, an entity other than XML's five is an error.
    XML_SetStartDoctypeDeclHandler(
        parser_, [](void* part, const char*, const char*, const char*, int) {
          Part* self = static_cast<Part*>(part);
          self->Fail(self->At() +
                     "a document type declaration, which no workbook has: it can define "
                     "entities and values that a spreadsheet does not show" +
                     kSaveAgain);
        });
    char buffer[65536];
    size_t total = 0;
    int got = 0;
    bool parsed = true;
    while (parsed && (got = unzReadCurrentFile(zip, buffer, sizeof buffer)) > 0) {
      total += static_cast<size_t>(got);
      parsed = total <= kEntryLimit && XML_Parse(parser_, buffer, got, XML_FALSE) == XML_STATUS_OK;
    }
    parsed = parsed && got == 0 && XML_Parse(parser_, buffer, 0, XML_TRUE) == XML_STATUS_OK;
    if (parsed) return true;
    const XML_Error code = XML_GetErrorCode(parser_);
    if (Failed()) {
      *refusal = failure_;
    } else if (got < 0 || total > kEntryLimit) {
      refusal->reason = name_ + ": the archive is damaged";
    } else {
      refusal->row = Cell().empty() ? 1 : Row();
      refusal->cell = Cell();
      refusal->reason =
          At() + (code == XML_ERROR_UNDEFINED_ENTITY
                      ? "an entity other than &amp; &lt; &gt; &quot; &apos;, which a workbook "
                        "cannot have" +
                            std::string(kSaveAgain)
                  : code == XML_ERROR_NO_MEMORY
                      ? "a tag or a name longer than a workbook has (more than 4 MiB)" +
                            std::string(kSaveAgain)
                      : XML_ErrorString(code));
    }
    return false;
  }

  static void OnStart(void* part, const char* element, const char** attributes) {
    Part* self = static_cast<Part*>(part);
    if (self->Failed()) return;
    if (++self->depth_ > kDepthLimit) {
      self->Fail(self->At() + "elements nested more than 64 deep, which no workbook has" +
                 kSaveAgain);
      return;
    }
    self->Start(element, attributes);
  }
  static void OnEnd(void* part, const char* element) {
    Part* self = static_cast<Part*>(part);
    --self->depth_;
    if (!self->Failed()) self->End(element);
  }
  static void OnText(void* part, const char* text, int length) {
    Part* self = static_cast<Part*>(part);
    if (!self->Failed()) self->Text(text, static_cast<size_t>(length));
  }

  XML_Parser parser_ = nullptr;
  std::string name_;
  int depth_ = 0;
  WorkbookRefusal failure_;
};

// xl/workbook.xml: the relationship of the first sheet.
class Workbook : public Part {
 public:
  std::string first_sheet;

 protected:
  void Start(const char* element, const char** attributes) override {
    const char* id = Attribute(attributes, "id");
    if (Is(element, "sheet") && first_sheet.empty() && id != nullptr) first_sheet = id;
  }
};

// xl/_rels/workbook.xml.rels: where the first sheet and the shared strings are.
class Relationships : public Part {
 public:
  explicit Relationships(const std::string& sheet) : sheet_(sheet) {}
  std::string sheet, strings;

 protected:
  void Start(const char* element, const char** attributes) override {
    if (!Is(element, "Relationship")) return;
    const char* id = Attribute(attributes, "Id");
    const char* type = Attribute(attributes, "Type");
    const char* target = Attribute(attributes, "Target");
    if (target == nullptr) return;
    // Targets are relative to xl/, or absolute in the package.
    const std::string path = target[0] == '/' ? target + 1 : std::string("xl/") + target;
    if (id != nullptr && sheet_ == id) sheet = path;
    const std::string kind = type != nullptr ? type : "";
    if (kind.size() >= 14 && kind.compare(kind.size() - 14, 14, "/sharedStrings") == 0) {
      strings = path;
    }
  }

 private:
  const std::string sheet_;
};

// Text in <t> elements, outside <rPh> (phonetic hints): the text of a string item. Its XML
// text is held up to what the longest cell's can be.
class StringText {
 public:
  void Start(const char* element) {
    if (Is(element, "rPh")) ++hints_;
    if (Is(element, "t") && hints_ == 0) in_text_ = true;
  }
  void End(const char* element) {
    if (Is(element, "rPh")) --hints_;
    if (Is(element, "t")) {
      text += Unescaped(piece_);
      piece_.clear();
      in_text_ = false;
    }
  }
  // False when the item's text goes on past what any cell holds.
  bool Text(const char* more, size_t length) {
    if (!in_text_) return true;
    if (text.size() + piece_.size() + length > kCellBytes) return false;
    piece_.append(more, length);
    return true;
  }
  // The text so far, for a message.
  std::string Beginning() const { return ::Beginning(text + Unescaped(piece_)); }
  std::string text;

 private:
  std::string piece_;
  int hints_ = 0;
  bool in_text_ = false;
};

// The refusal of a cell's text longer than a cell holds.
const char kTooLong[] =
    " is longer than a spreadsheet's cell holds (32,767 characters); shorten it";
const char kTooMuch[] =
    "more than 64 MiB, more than a rename table's workbook holds (a shared string counted for "
    "each cell that shows it)";

// xl/sharedStrings.xml: the texts that cells refer to by number.
class SharedStrings : public Part {
 public:
  explicit SharedStrings(size_t* held) : held_(held) {}
  std::vector<std::string> strings;

 protected:
  void Start(const char* element, const char**) override {
    if (Is(element, "si")) item_ = StringText();
    item_.Start(element);
  }
  void End(const char* element) override {
    item_.End(element);
    if (!Is(element, "si")) return;
    if (Characters(item_.text) > kCellCharacters) {
      Fail(At() + "the text " + item_.Beginning() + kTooLong);
      return;
    }
    *held_ += item_.text.size() + sizeof(std::string);
    if (*held_ > kHeldLimit) {
      Fail(At() + "the shared strings add up to " + kTooMuch + kSplit);
      return;
    }
    strings.push_back(std::move(item_.text));
  }
  void Text(const char* text, size_t length) override {
    if (!item_.Text(text, length)) Fail(At() + "the text " + item_.Beginning() + kTooLong);
  }

 private:
  size_t* held_;
  StringText item_;
};

// A worksheet: its rows with the texts of their cells, in order, each once.
class Sheet : public Part {
 public:
  Sheet(const std::vector<std::string>& strings, std::vector<CsvRow>* rows,
        std::vector<WorkbookCell>* not_text, size_t* held)
      : strings_(strings), rows_(rows), not_text_(not_text), held_(held) {}

 protected:
  void Start(const char* element, const char** attributes) override {
    const char* local = Local(element);
    if (std::strcmp(local, "row") == 0) {
      StartRow(Attribute(attributes, "r"));
    } else if (std::strcmp(local, "c") == 0) {
      StartCell(Attribute(attributes, "r"), Attribute(attributes, "t"));
    } else if (std::strcmp(local, "v") == 0) {
      in_value_ = has_value_ = true;
    } else if (std::strcmp(local, "f") == 0) {
      formula_ = true;
    } else if (std::strcmp(local, "is") == 0) {
      in_inline_ = has_value_ = true;
    }
    if (in_inline_) inline_.Start(element);
  }

  void End(const char* element) override {
    const char* local = Local(element);
    if (in_inline_) inline_.End(element);
    if (std::strcmp(local, "v") == 0) in_value_ = false;
    if (std::strcmp(local, "is") == 0) in_inline_ = false;
    if (std::strcmp(local, "c") == 0) EndCell();
    if (std::strcmp(local, "row") == 0) EndRow();
  }

  void Text(const char* text, size_t length) override {
    if (in_value_ && value_.size() + length > kCellBytes) {
      Fail("the cell's value" + std::string(kTooLong));
    } else if (in_value_) {
      value_.append(text, length);
    }
    if (in_inline_ && !inline_.Text(text, length)) Fail("the cell's text" + std::string(kTooLong));
  }

  std::string Cell() const override {
    return in_cell_ ? Letters(column_) + std::to_string(row_.line) : std::string();
  }
  int Row() const override { return row_.line; }

 private:
  void StartRow(const char* number) {
    unsigned long line = last_row_ + 1;
    if (in_row_) {
      Fail(At() + "a row inside a row, which no sheet has" + kSaveAgain);
    } else if (number != nullptr && !Number(number, kLastRow, &line)) {
      Fail(At() + "the row number " + Beginning(number) +
           ", which no row has: rows are numbered 1 to 1,048,576" + kSaveAgain);
    } else if (line <= last_row_) {
      Fail(At() + "row " + Counted(line) + " after row " + Counted(last_row_) +
           ": a sheet gives its rows in order, each once" + kSaveAgain);
    } else if (line > kLastRow) {
      Fail(At() + "a row after row 1,048,576, the last a sheet has" + kSaveAgain);
    }
    if (Failed()) return;
    last_row_ = line;
    row_.line = static_cast<int>(line);
    row_.fields.clear();
    next_column_ = 0;
    row_held_ = 0;
    in_row_ = true;
    filled_ = false;
  }

  void StartCell(const char* reference, const char* type) {
    unsigned long column = next_column_;
    const std::string row = std::to_string(row_.line);
    if (!in_row_ || in_cell_) {
      Fail(At() + "a cell " + (in_cell_ ? "inside a cell" : "outside a row") +
           ", which no sheet has" + kSaveAgain);
    } else if (reference != nullptr && !ColumnOf(reference, last_row_, &column)) {
      Fail(At() + "the cell reference " + Beginning(reference) + " in row " + row +
           ", which names no cell of that row (columns A to XFD, then " + row + ")" + kSaveAgain);
    } else if (column < next_column_) {
      Fail(At() + "cell " + Letters(column) + row + " after cell " + Letters(next_column_ - 1) +
           row + ": a row gives its cells in order, each once" + kSaveAgain);
    } else if (column >= kLastColumn) {
      Fail(At() + "a cell after XFD" + row + ", the last of its row" + kSaveAgain);
    }
    if (Failed()) return;
    column_ = column;
    next_column_ = column + 1;
    type_ = type != nullptr ? type : "n";
    value_.clear();
    inline_ = StringText();
    has_value_ = formula_ = in_value_ = in_inline_ = false;
    in_cell_ = true;
  }

  void EndCell() {
    if (has_value_ && column_ < kColumnsKept) Keep();
    in_cell_ = false;
  }

  void EndRow() {
    if (filled_) {
      rows_->push_back(std::move(row_));
      *held_ += sizeof(CsvRow);
    } else {
      *held_ -= row_held_;  // the row is dropped
    }
    in_row_ = false;
  }

  // Keeps the cell's text in its row: what it shows when it holds no text.
  void Keep() {
    std::string text = value_;
    const char* holds = nullptr;
    if (formula_ || type_ == "str") {
      holds = "a formula";
    } else if (type_ == "s") {
      unsigned long index = 0;
      const bool number = value_ == "0" || Number(value_.c_str(), ~0ul >> 4, &index);
      if (!number || index >= strings_.size()) {
        Fail("the cell refers to shared string " + Beginning(value_) + ", and the workbook has " +
             Counted(strings_.size()) + " (from 0)" + kSaveAgain);
        return;
      }
      text = strings_[index];
    } else if (type_ == "inlineStr") {
      text = std::move(inline_.text);
    } else {
      holds = type_ == "b"   ? "a truth value"
              : type_ == "e" ? "an error"
              : type_ == "d" ? "a date"
                             : "a number";
    }
    if (Characters(text) > kCellCharacters) {
      Fail("the cell's text" + std::string(kTooLong));
      return;
    }
    const size_t added = row_.fields.size() <= column_ ? column_ + 1 - row_.fields.size() : 0;
    const size_t held = text.size() + added * sizeof(std::string);
    *held_ += held + (holds != nullptr ? sizeof(WorkbookCell) : 0);
    row_held_ += held;  // what goes with the row if it is dropped
    if (*held_ > kHeldLimit) {
      Fail("the text of the cells up to this one adds up to " + std::string(kTooMuch) + kSplit);
      return;
    }
    if (holds != nullptr) not_text_->push_back({row_.line, column_, holds});
    if (added > 0) row_.fields.resize(column_ + 1);
    filled_ = filled_ || !text.empty();
    row_.fields[column_] = std::move(text);
  }

  const std::vector<std::string>& strings_;
  std::vector<CsvRow>* rows_;
  std::vector<WorkbookCell>* not_text_;
  size_t* held_;         // bytes held by the shared strings and the rows kept
  size_t row_held_ = 0;  // of these, by the row being read
  CsvRow row_{0, {}};
  unsigned long last_row_ = 0, next_column_ = 0;
  size_t column_ = 0;
  bool in_row_ = false, in_cell_ = false, filled_ = false;
  std::string type_, value_;
  StringText inline_;
  bool has_value_ = false, formula_ = false, in_value_ = false, in_inline_ = false;
};

}  // namespace

std::string WhyWorkbookTooLarge(uint64_t size) {
  if (size <= kFileLimit) return std::string();
  return "a file of " + Counted(size) +
         " bytes, larger than a rename table's workbook can be (32 MiB); not read" + kSplit;
}

bool ReadWorkbook(const std::string& bytes, std::vector<CsvRow>* rows,
                  std::vector<WorkbookCell>* not_text, WorkbookRefusal* refusal) {
  rows->clear();
  not_text->clear();
  *refusal = WorkbookRefusal();
  refusal->reason = WhyWorkbookTooLarge(bytes.size());
  if (!refusal->reason.empty()) return false;
  Stream stream = {&bytes, 0};
  zlib_filefunc_def functions = {OpenStream, ReadStream,  WriteStream, TellStream,
                                 SeekStream, CloseStream, StreamError, &stream};
  unzFile zip = unzOpen2("workbook", &functions);
  if (zip == nullptr) {
    refusal->reason = "not a workbook: no zip archive that can be read";
    return false;
  }
  size_t held = 0;
  Workbook workbook;
  SharedStrings strings(&held);
  bool read =
      DistinctEntries(zip, &refusal->reason) && workbook.Parse(zip, "xl/workbook.xml", refusal);
  Relationships relationships(workbook.first_sheet);
  read = read && relationships.Parse(zip, "xl/_rels/workbook.xml.rels", refusal);
  if (read && relationships.sheet.empty()) {
    refusal->reason = "not a workbook: it has no sheet";
    read = false;
  }
  read =
      read && (relationships.strings.empty() || strings.Parse(zip, relationships.strings, refusal));
  Sheet sheet(strings.strings, rows, not_text, &held);
  read = read && sheet.Parse(zip, relationships.sheet, refusal);
  unzClose(zip);
  if (!read) {
    rows->clear();
    not_text->clear();
  }
  return read;
}
