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
// A field buffer: the widest field and its terminating NUL.
constexpr int kControlFieldBuffer = kControlFieldWidth + 1;

// The white space that the patterns skip between lines.
inline bool IsControlFileSpace(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The bytes of an open file from its position, taken through the runtime's buffered input as
// the patterns need them: a refill is the runtime's, one read whatever it gives, and no byte
// is taken past the one that decides a match. When the input ends, the file is left exactly
// after what was matched. Holds the file's lock while it lives. With `taken`, every byte
// taken is also appended there.
class ControlFileInput {
 public:
  explicit ControlFileInput(FILE* file, std::string* taken = nullptr);
  ~ControlFileInput();
  ControlFileInput(const ControlFileInput&) = delete;
  ControlFileInput& operator=(const ControlFileInput&) = delete;

  // Takes the next byte when it is `literal`.
  bool Match(char literal);
  // Takes up to kControlFieldWidth bytes other than `stop` into `field` and terminates them;
  // `stop` stays unread. Returns the number of bytes taken.
  int Field(char stop, char* field);
  // The same with the stop a line feed, into a buffer of the input's own that stays valid until
  // the next call; `*length` is the number of bytes, and the text is NUL-terminated. When the
  // field is not empty and a line feed ends it, the line feed is taken as well: the patterns
  // skip it as white space next.
  const char* LineField(int* length);
  void SkipSpace();
  // The next byte, left unread; EOF at the end.
  int Peek();
  // Bytes taken since construction.
  size_t Taken() const { return taken_count_; }

 private:
  // The next byte: the one looked at last and left, or the file's next.
  int Next();
  // Counts a byte taken.
  void Keep(char c);

  FILE* file_;
  std::string* taken_;
  size_t taken_count_ = 0;
  int pending_;  // a byte looked at and left unread, or kNone
};

// What a scan saw past its match, for reports on a control file.
struct ScanNotes {
  bool cut = false;           // the identifier or value went on past the width and was cut
  bool key_too_long = false;  // the key went on past the width, so the line did not match
};

// Matches an identifier line. Returns the identifier (as LineField gives it) with its length
// in `*length`, or null when there is none; after an identifier the white space is consumed
// as well.
const char* ScanIdentifierLine(ControlFileInput& input, int* length, ScanNotes* notes = nullptr);

// Matches an attribute line: the key into `key` (kControlFieldBuffer bytes), NUL-terminated,
// with its length in `*key_length`, and the value as LineField gives it. Returns the value,
// with its length in `*value_length`, or null when the line does not match; after a match the
// white space is consumed as well.
const char* ScanAttributeLine(ControlFileInput& input, char* key, int* key_length,
                              int* value_length, ScanNotes* notes = nullptr);

#endif  // CONTROLFILE_CONTROL_SCANNER_H
