// The control file's two line patterns, matched exactly as the C runtime's formatted input
// matches "@%65535[^\n]\n" and "{%65535[^}]}%65535[^\n]\n": at most 65,535 bytes a field, a
// field of no bytes is a mismatch, the byte that fails to match stays unread, and bytes
// matched before a failure stay consumed. White space is blank, tab, carriage return, line
// feed, vertical tab and form feed.
//
// The patterns run over either byte source below; both give the same matches.
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

// Reads every byte of the named file into `bytes`. False when the file cannot be opened; a
// directory cannot. A read error ends the bytes where it occurs.
bool ReadControlFileBytes(const char* name, std::string* bytes);

// The bytes of an open file from its position, taken one at a time, so that the file is left
// exactly after what was matched.
class FileBytes {
 public:
  explicit FileBytes(FILE* file) : file_(file) {}
  FileBytes(const FileBytes&) = delete;
  FileBytes& operator=(const FileBytes&) = delete;

  bool Match(char literal);
  int Field(char stop, char* field);
  void SkipSpace();
  // The next byte, left unread; EOF at the end.
  int Peek();
  long Offset() { return std::ftell(file_); }

 private:
  FILE* file_;
};

// The bytes of a whole file held in memory, from a position that advances as they match.
class BufferBytes {
 public:
  BufferBytes(const char* begin, const char* end) : begin_(begin), next_(begin), end_(end) {}

  bool Match(char literal);
  int Field(char stop, char* field);
  void SkipSpace();
  int Peek() const { return next_ == end_ ? EOF : static_cast<unsigned char>(*next_); }
  long Offset() const { return static_cast<long>(next_ - begin_); }

 private:
  const char* begin_;
  const char* next_;
  const char* end_;
};

// What a scan saw past its match, for reports on a control file.
struct ScanNotes {
  bool cut = false;           // the identifier or value went on past the width and was cut
  bool key_too_long = false;  // the key went on past the width, so the line did not match
};

// True when a field of `length` bytes stopped at the width with more of it to come.
template <typename Bytes>
bool FieldWentOn(Bytes& bytes, int length, char stop) {
  if (length < kControlFieldWidth) return false;
  const int next = bytes.Peek();
  return next != EOF && next != static_cast<unsigned char>(stop);
}

// Matches an identifier line into `identifier` (kControlFieldBuffer bytes), NUL-terminated.
// True when the identifier was matched; the white space after it is then consumed as well.
template <typename Bytes>
bool ScanIdentifierLine(Bytes& bytes, char* identifier, ScanNotes* notes = nullptr) {
  if (notes != nullptr) *notes = ScanNotes();
  if (!bytes.Match('@')) return false;
  const int length = bytes.Field('\n', identifier);
  if (length == 0) return false;
  if (notes != nullptr) notes->cut = FieldWentOn(bytes, length, '\n');
  bytes.SkipSpace();
  return true;
}

// Matches an attribute line into `key` and `value` (kControlFieldBuffer bytes each),
// NUL-terminated. True when both were matched; the white space after the value is then
// consumed as well.
template <typename Bytes>
bool ScanAttributeLine(Bytes& bytes, char* key, char* value, ScanNotes* notes = nullptr) {
  if (notes != nullptr) *notes = ScanNotes();
  if (!bytes.Match('{')) return false;
  const int key_length = bytes.Field('}', key);
  if (key_length == 0) return false;
  if (!bytes.Match('}')) {
    if (notes != nullptr) notes->key_too_long = FieldWentOn(bytes, key_length, '}');
    return false;
  }
  const int value_length = bytes.Field('\n', value);
  if (value_length == 0) return false;
  if (notes != nullptr) notes->cut = FieldWentOn(bytes, value_length, '\n');
  bytes.SkipSpace();
  return true;
}

#endif  // CONTROLFILE_CONTROL_SCANNER_H
