// The control file's two line patterns, matched exactly as the C runtime's formatted input
// matches "@%65535[^\n]\n" and "{%65535[^}]}%65535[^\n]\n": at most 65,535 bytes a field, a
// field of no bytes is a mismatch, the byte that fails to match stays unread, and bytes
// matched before a failure stay consumed. White space is blank, tab, carriage return, line
// feed, vertical tab and form feed.
#ifndef CONTROLFILE_CONTROL_SCANNER_H
#define CONTROLFILE_CONTROL_SCANNER_H

#include <cstddef>
#include <cstdio>
#include <string>

constexpr int kControlFieldWidth = 65535;

// The white space that the patterns skip between lines.
inline bool IsControlFileSpace(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// What a scan saw past its match, for reports on a control file.
struct ScanNotes {
  bool cut = false;           // the identifier or value went on past the width and was cut
  bool key_too_long = false;  // the key went on past the width, so the line did not match
};

// The lines of an open file from its position, taken through the runtime's buffered input:
// a refill is the runtime's, one read whatever it gives, and no byte is taken past the one
// that decides a match, so a pipe is read as far as its writer has written. Lines are scanned
// where the runtime buffered them, and copied only when one runs over a refill. When the
// input ends, the file is left exactly after what was matched. Holds the file's lock while it
// lives. With `taken`, every byte taken is also appended there.
class ControlFileInput {
 public:
  explicit ControlFileInput(FILE* file, std::string* taken = nullptr);
  ~ControlFileInput();
  ControlFileInput(const ControlFileInput&) = delete;
  ControlFileInput& operator=(const ControlFileInput&) = delete;

  // Matches an identifier line. Returns the identifier, `*length` bytes (NUL bytes among
  // them are the identifier's), valid until the next line is matched; null when there is
  // none. After an identifier the white space is taken as well.
  const char* IdentifierLine(size_t* length, ScanNotes* notes = nullptr);

  // Matches an attribute line. True when both key and value were matched; they are then
  // valid until the next line is matched, with their lengths in bytes (they may hold NUL
  // bytes), and the white space after the value is taken as well.
  bool AttributeLine(const char** key, size_t* key_length, const char** value, size_t* value_length,
                     ScanNotes* notes = nullptr);

  // Bytes taken since construction.
  size_t Taken() const { return taken_count_; }

 private:
  // Makes the view hold at least one byte unless the file has no more. Refilling first takes
  // the bytes of the view that were used from the stream.
  bool Fill();
  // The view's next byte, or EOF.
  int Peek() { return next_ < end_ || Fill() ? static_cast<unsigned char>(*next_) : EOF; }
  // Takes `count` bytes of the view.
  void Advance(size_t count);
  bool Match(char literal);
  // The line feed of the line starting with `first` when the view holds the line whole and
  // the white space after it, with `*after` the first byte past that white space; or null.
  const char* LineInView(char first, const char** after);
  // Matches an attribute line that the view holds whole.
  bool AttributeInView(const char** key, size_t* key_length, const char** value,
                       size_t* value_length);
  void SkipSpace();
  // Takes a field: the bytes before the next `stop`, at most the width. Points `*field` at
  // them where the view holds them all, or gathers them into `room` across refills. Returns
  // the field's length.
  size_t Field(char stop, char* room, const char** field);
  // Takes the last field of a line, the rest of it up to the width, into `*field` (a member,
  // kept valid over refills) and the white space after it. Returns its length, 0 when there
  // is none; tells `notes` whether it was cut.
  size_t LineEnd(const char** field, ScanNotes* notes);
  // Keeps the field at `*text` valid over refills: a refill first moves it into `room`.
  void Pin(const char** text, size_t length, char* room);

  FILE* file_;
  std::string* taken_;
  size_t taken_count_ = 0;
  // The view: bytes from the stream's buffer (or the one byte a refill gave), the used ones
  // from begin_ up to next_.
  const char* begin_ = nullptr;
  const char* next_ = nullptr;
  const char* end_ = nullptr;
  bool in_stream_ = false;
  char refilled_ = 0;
  // The line's fields matched so far, and the rooms they move into.
  struct Pinned {
    const char** text;
    size_t length;
    char* room;
  };
  Pinned pins_[2] = {};
  int pin_count_ = 0;
  const char* identifier_ = nullptr;
  const char* key_ = nullptr;
  const char* value_ = nullptr;
  struct Rooms;
  Rooms* rooms_;
};

#endif  // CONTROLFILE_CONTROL_SCANNER_H
