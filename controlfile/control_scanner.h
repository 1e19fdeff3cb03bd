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
// that decides a match, so a pipe is read as far as its writer has written. When the input
// ends, the file is left exactly after what was matched. Holds the file's lock while it
// lives. With `taken`, every byte taken is also appended there.
class ControlFileInput {
 public:
  explicit ControlFileInput(FILE* file, std::string* taken = nullptr);
  ~ControlFileInput();
  ControlFileInput(const ControlFileInput&) = delete;
  ControlFileInput& operator=(const ControlFileInput&) = delete;

  // Matches an identifier line. Returns the identifier, NUL-terminated and valid until the
  // next line is matched, with its length in bytes in `*length` (it may hold NUL bytes); null
  // when there is none. After an identifier the white space is taken as well.
  const char* IdentifierLine(int* length, ScanNotes* notes = nullptr);

  // Matches an attribute line. True when both key and value were matched; they are then
  // NUL-terminated, valid until the next line is matched, with their lengths in bytes (they
  // may hold NUL bytes), and the white space after the value is taken as well.
  bool AttributeLine(const char** key, int* key_length, const char** value, int* value_length,
                     ScanNotes* notes = nullptr);

  // Bytes taken since construction.
  size_t Taken() const { return taken_count_; }

 private:
  // The next byte: the one looked at last and left, or the file's next.
  int Next();
  bool Match(char literal);
  void SkipSpace();
  // The line buffer, all line feeds, for the next line.
  char* FreshLine();
  // Reads at most `max` bytes (at least 1) into `line` at `at`, stopping after a line feed.
  // Returns how many, 0 at the end of the file; `*line_feed` tells whether a line feed ended
  // them.
  size_t Chunk(char* line, size_t at, size_t max, bool* line_feed);
  // Counts `count` bytes of `bytes` as taken.
  void Took(const char* bytes, size_t count);

  FILE* file_;
  std::string* taken_;
  struct LineBuffer;
  static LineBuffer* Lines();
  LineBuffer* lines_;
  size_t taken_count_ = 0;
  int pending_;  // a byte looked at and left unread, or kNone
};

#endif  // CONTROLFILE_CONTROL_SCANNER_H
