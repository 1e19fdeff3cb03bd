// The control file's two line patterns, matched exactly as the C runtime's formatted input
// matches "@%65535[^\n]\n" and "{%65535[^}]}%65535[^\n]\n": at most 65,535 bytes a field, a
// field of no bytes is a mismatch, the byte that fails to match stays unread, and bytes
// matched before a failure stay consumed. White space is blank, tab, carriage return, line
// feed, vertical tab and form feed.
#ifndef CONTROLFILE_CONTROL_SCANNER_H
#define CONTROLFILE_CONTROL_SCANNER_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string_view>

#include "controlfile/control_file_observer.h"

constexpr size_t kControlFieldWidth = 65535;

// The white space that the patterns skip between lines.
inline bool IsControlFileSpace(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// What a scan saw past its match, for reports on a control file.
struct ScanNotes {
  bool cut = false;           // the identifier or value went on past the width and was cut
  bool key_too_long = false;  // the key went on past the width, so the line did not match
};

// The lines of an open file from its position. Bytes are taken from the runtime's buffered
// input one at a time, so that a pipe is read as far as its writer has written; with
// `read_ahead`, a file that can seek is read a chunk at a time instead. When the input is
// destroyed the file is left just after what was matched: the byte looked at past it goes
// back, or the file seeks back. The file is the input's alone while it lives. An `observer` is
// given every byte taken, in order.
class ControlFileInput {
 public:
  ControlFileInput(FILE* file, ControlFileObserver* observer, bool read_ahead);
  // The lines of `bytes`, which outlive the input.
  ControlFileInput(std::string_view bytes, ControlFileObserver* observer);
  ~ControlFileInput();
  ControlFileInput(const ControlFileInput&) = delete;
  ControlFileInput& operator=(const ControlFileInput&) = delete;

  // Each matches its line and then the white space after it, and gives its fields by their
  // text: the bytes before the first NUL byte in them, valid until the next line is matched.
  bool IdentifierLine(std::string_view* identifier, ScanNotes* notes);
  // True when both key and value matched.
  bool AttributeLine(std::string_view* key, std::string_view* value, ScanNotes* notes);

  // Bytes taken since construction.
  size_t Taken() const { return taken_; }

 private:
  // Makes the view hold a byte unless the file has ended.
  bool Fill();
  // The next byte, looked at but not taken, or EOF.
  int Peek() { return next_ < end_ || Fill() ? static_cast<unsigned char>(*next_) : EOF; }
  void Advance(size_t count);
  bool Match(char literal);
  // Takes the bytes before the next `stop` into `room`, at most the width; their text.
  std::string_view Field(char stop, char* room);
  // Takes the last field of a line and the white space after it; false when it is empty.
  bool LineEnd(std::string_view* field, ScanNotes* notes);

  FILE* file_;
  ControlFileObserver* observer_;
  size_t taken_ = 0;
  int64_t start_;  // the file's position at construction when it is read ahead, or -1
  // The view: bytes read from the file and not taken yet.
  std::unique_ptr<char[]> buffer_;
  const char* next_;
  const char* end_;
  bool nul_read_ = false;  // a NUL byte has been read: a field's text may end before the field
  std::unique_ptr<char[]> key_room_;
  std::unique_ptr<char[]> value_room_;
};

#endif  // CONTROLFILE_CONTROL_SCANNER_H
