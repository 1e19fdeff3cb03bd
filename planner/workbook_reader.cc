#include "planner/workbook_reader.h"

#include <expat.h>
#include <minizip/unzip.h>

#include <cstdlib>
#include <cstring>

namespace {

const size_t kColumnsKept = 1024;            // cells further right are not read
const size_t kEntryLimit = size_t{1} << 30;  // bytes of XML read from one part at most

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

  // Parses the entry `name` of `zip`; false, with the reason, when it is missing or is not
  // XML, or when a handler stopped with `failure_`.
  bool Parse(unzFile zip, const std::string& name, std::string* error) {
    if (unzLocateFile(zip, name.c_str(), 2) != UNZ_OK || unzOpenCurrentFile(zip) != UNZ_OK) {
      *error = "not a workbook: it has no part " + name;
      return false;
    }
    parser_ = XML_ParserCreateNS(nullptr, '|');
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(
        parser_,
        [](void* part, const char* element, const char** attributes) {
          static_cast<Part*>(part)->Start(element, attributes);
        },
        [](void* part, const char* element) { static_cast<Part*>(part)->End(element); });
    XML_SetCharacterDataHandler(parser_, [](void* part, const char* text, int length) {
      static_cast<Part*>(part)->Text(text, static_cast<size_t>(length));
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
    if (!parsed) {
      if (!failure_.empty()) {
        *error = name + ": " + failure_;
      } else if (got < 0 || total > kEntryLimit) {
        *error = name + (got < 0 ? ": the archive is damaged" : ": larger than a table can be");
      } else {
        *error = name + ":" + std::to_string(XML_GetCurrentLineNumber(parser_)) + ": " +
                 XML_ErrorString(XML_GetErrorCode(parser_));
      }
    }
    XML_ParserFree(parser_);
    if (unzCloseCurrentFile(zip) != UNZ_OK && parsed) {
      *error = name + ": the archive is damaged (its check sum does not match)";
      parsed = false;
    }
    return parsed;
  }

 protected:
  virtual void Start(const char* element, const char** attributes) = 0;
  virtual void End(const char*) {}
  virtual void Text(const char*, size_t) {}
  // Stops the parsing with `reason`.
  void Fail(const std::string& reason) {
    failure_ = reason;
    XML_StopParser(parser_, XML_FALSE);
  }

 private:
  XML_Parser parser_ = nullptr;
  std::string failure_;
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

// Text in <t> elements, outside <rPh> (phonetic hints): the text of a string item.
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
  void Text(const char* text, size_t length) {
    if (in_text_) piece_.append(text, length);
  }
  std::string text;

 private:
  std::string piece_;
  int hints_ = 0;
  bool in_text_ = false;
};

// xl/sharedStrings.xml: the texts that cells refer to by number.
class SharedStrings : public Part {
 public:
  std::vector<std::string> strings;

 protected:
  void Start(const char* element, const char**) override {
    if (Is(element, "si")) item_ = StringText();
    item_.Start(element);
  }
  void End(const char* element) override {
    item_.End(element);
    if (Is(element, "si")) strings.push_back(item_.text);
  }
  void Text(const char* text, size_t length) override { item_.Text(text, length); }

 private:
  StringText item_;
};

// The letters of a cell reference ("D7") as a column from 0; npos when there are none.
size_t ColumnOf(const char* reference) {
  size_t column = 0, letters = 0;
  for (; reference[letters] >= 'A' && reference[letters] <= 'Z' && letters < 4; ++letters) {
    column = column * 26 + static_cast<size_t>(reference[letters] - 'A' + 1);
  }
  return letters == 0 ? std::string::npos : column - 1;
}

// A worksheet: its rows with the texts of their cells.
class Sheet : public Part {
 public:
  Sheet(const std::vector<std::string>& strings, std::vector<CsvRow>* rows,
        std::vector<WorkbookCell>* not_text)
      : strings_(strings), rows_(rows), not_text_(not_text) {}

 protected:
  void Start(const char* element, const char** attributes) override {
    const char* local = Local(element);
    if (std::strcmp(local, "row") == 0) {
      const char* number = Attribute(attributes, "r");
      row_.line = number != nullptr ? std::atoi(number) : row_.line + 1;
      row_.fields.clear();
      column_ = std::string::npos;
      filled_ = false;
    } else if (std::strcmp(local, "c") == 0) {
      const char* reference = Attribute(attributes, "r");
      const size_t column = reference != nullptr ? ColumnOf(reference) : std::string::npos;
      column_ = column != std::string::npos ? column : column_ + 1;
      const char* type = Attribute(attributes, "t");
      type_ = type != nullptr ? type : "n";
      value_.clear();
      inline_ = StringText();
      has_value_ = formula_ = in_value_ = in_inline_ = false;
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
    if (std::strcmp(local, "c") == 0) Cell();
    if (std::strcmp(local, "row") == 0 && filled_) rows_->push_back(row_);
  }

  void Text(const char* text, size_t length) override {
    if (in_value_) value_.append(text, length);
    if (in_inline_) inline_.Text(text, length);
  }

 private:
  void Cell() {
    if (!has_value_ || column_ >= kColumnsKept) return;
    std::string text = value_;
    const char* holds = nullptr;
    if (formula_ || type_ == "str") {
      holds = "a formula";
    } else if (type_ == "s") {
      char* end = nullptr;
      const unsigned long index = std::strtoul(value_.c_str(), &end, 10);
      if (value_.empty() || *end != '\0' || index >= strings_.size()) {
        Fail("a cell refers to shared string " + value_ + ", which is not there");
        return;
      }
      text = strings_[index];
    } else if (type_ == "inlineStr") {
      text = inline_.text;
    } else {
      holds = type_ == "b"   ? "a truth value"
              : type_ == "e" ? "an error"
              : type_ == "d" ? "a date"
                             : "a number";
    }
    if (holds != nullptr) not_text_->push_back({row_.line, column_, holds});
    if (row_.fields.size() <= column_) row_.fields.resize(column_ + 1);
    row_.fields[column_] = text;
    filled_ = filled_ || !text.empty();
  }

  const std::vector<std::string>& strings_;
  std::vector<CsvRow>* rows_;
  std::vector<WorkbookCell>* not_text_;
  CsvRow row_{0, {}};
  bool filled_ = false;
  size_t column_ = std::string::npos;
  std::string type_, value_;
  StringText inline_;
  bool has_value_ = false, formula_ = false, in_value_ = false, in_inline_ = false;
};

}  // namespace

bool ReadWorkbook(const std::string& path, std::vector<CsvRow>* rows,
                  std::vector<WorkbookCell>* not_text, std::string* error) {
  rows->clear();
  not_text->clear();
  unzFile zip = unzOpen(path.c_str());
  if (zip == nullptr) {
    *error = "not a workbook: no zip archive that can be read";
    return false;
  }
  Workbook workbook;
  SharedStrings strings;
  bool read = workbook.Parse(zip, "xl/workbook.xml", error);
  Relationships relationships(workbook.first_sheet);
  read = read && relationships.Parse(zip, "xl/_rels/workbook.xml.rels", error);
  if (read && relationships.sheet.empty()) {
    *error = "not a workbook: it has no sheet";
    read = false;
  }
  read =
      read && (relationships.strings.empty() || strings.Parse(zip, relationships.strings, error));
  Sheet sheet(strings.strings, rows, not_text);
  read = read && sheet.Parse(zip, relationships.sheet, error);
  unzClose(zip);
  return read;
}
