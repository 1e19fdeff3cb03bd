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

// Reads every byte of the named file into `bytes`. False when the file cannot be opened; a
// directory cannot. A read error ends the bytes where it occurs.
bool ReadControlFileBytes(const char* name, std::string* bytes);

// The bytes of an open file from its position, taken one at a time, so that the file is left
// exactly after what was matched. Holds the file's lock while it lives.
class FileBytes {
 public:
  explicit FileBytes(FILE* file) : file_(file) { flockfile(file_); }
  ~FileBytes() { funlockfile(file_); }
  FileBytes(const FileBytes&) = delete;
  FileBytes& operator=(const FileBytes&) = delete;

  bool Match(char literal);
  int Field(char stop, char* field);
  void SkipSpace();

 private:
  FILE* file_;
};

// The bytes of a whole file held in memory, from a position that advances as they match.
class BufferBytes {
 public:
  BufferBytes(const char* begin, const char* end) : next_(begin), end_(end) {}

  bool Match(char literal);
  int Field(char stop, char* field);
  void SkipSpace();

 private:
  const char* next_;
  const char* end_;
};

// Matches an identifier line into `identifier` (kControlFieldBuffer bytes), NUL-terminated.
// True when the identifier was matched; the white space after it is then consumed as well.
template <typename Bytes>
bool ScanIdentifierLine(Bytes& bytes, char* identifier) {
  if (!bytes.Match('@') || bytes.Field('\n', identifier) == 0) return false;
  bytes.SkipSpace();
  return true;
}

// Matches an attribute line into `key` and `value` (kControlFieldBuffer bytes each),
// NUL-terminated. True when both were matched; the white space after the value is then
// consumed as well.
template <typename Bytes>
bool ScanAttributeLine(Bytes& bytes, char* key, char* value) {
  if (!bytes.Match('{') || bytes.Field('}', key) == 0 || !bytes.Match('}') ||
      bytes.Field('\n', value) == 0) {
    return false;
  }
  bytes.SkipSpace();
  return true;
}

#endif  // CONTROLFILE_CONTROL_SCANNER_H
