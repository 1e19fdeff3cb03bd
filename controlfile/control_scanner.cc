#include "controlfile/control_scanner.h"

#include <cstring>
#include <memory>

namespace {

// The runtime's byte-at-a-time input without a lock per byte; the input holds the lock.
#if defined(_WIN32)
inline int TakeByte(FILE* file) { return _getc_nolock(file); }
inline void LockFile(FILE* file) { _lock_file(file); }
inline void UnlockFile(FILE* file) { _unlock_file(file); }
#else
inline int TakeByte(FILE* file) { return getc_unlocked(file); }
inline void LockFile(FILE* file) { flockfile(file); }
inline void UnlockFile(FILE* file) { funlockfile(file); }
#endif

constexpr int kNone = -2;

// The buffer of line fields. fgets stops after a line feed and says nothing of how many bytes
// it stored, and a field may hold NUL bytes; so every byte that the last field did not use is
// kept a line feed, and the first line feed in the buffer tells where fgets stopped.
struct LineBuffer {
  LineBuffer() { std::memset(bytes, '\n', sizeof bytes); }
  // A field's first byte, at most kControlFieldWidth - 1 more from fgets, fgets's NUL, and
  // two bytes that are always line feeds.
  char bytes[kControlFieldBuffer + 2];
  size_t used = 0;  // bytes to make line feeds again before the next field
};

LineBuffer& Lines() {
  thread_local std::unique_ptr<LineBuffer> lines(new LineBuffer);
  return *lines;
}

// True when a field of `length` bytes stopped at the width with more of it to come.
bool FieldWentOn(ControlFileInput& input, int length, char stop) {
  if (length < kControlFieldWidth) return false;
  const int next = input.Peek();
  return next != EOF && next != static_cast<unsigned char>(stop);
}

}  // namespace

ControlFileInput::ControlFileInput(FILE* file, std::string* taken)
    : file_(file), taken_(taken), pending_(kNone) {
  LockFile(file_);
}

ControlFileInput::~ControlFileInput() {
  if (pending_ >= 0) std::ungetc(pending_, file_);
  UnlockFile(file_);
}

int ControlFileInput::Next() {
  if (pending_ == kNone) return TakeByte(file_);
  const int c = pending_;
  pending_ = kNone;
  return c;
}

void ControlFileInput::Keep(char c) {
  ++taken_count_;
  if (taken_ != nullptr) taken_->push_back(c);
}

bool ControlFileInput::Match(char literal) {
  const int c = Next();
  if (c == static_cast<unsigned char>(literal)) {
    Keep(literal);
    return true;
  }
  pending_ = c;
  return false;
}

int ControlFileInput::Field(char stop, char* field) {
  const int end = static_cast<unsigned char>(stop);
  int n = 0;
  int c = Next();
  while (c != EOF && c != end) {
    field[n++] = static_cast<char>(c);
    if (n == kControlFieldWidth) break;  // the next byte is not looked at
    c = TakeByte(file_);
  }
  if (n < kControlFieldWidth) pending_ = c;
  field[n] = '\0';
  taken_count_ += static_cast<size_t>(n);
  if (taken_ != nullptr) taken_->append(field, static_cast<size_t>(n));
  return n;
}

const char* ControlFileInput::LineField(int* length) {
  LineBuffer& lines = Lines();
  char* field = lines.bytes;
  std::memset(field, '\n', lines.used);
  lines.used = 0;
  const int first = Next();
  if (first == EOF || first == '\n') {
    pending_ = first;
    field[0] = '\0';
    lines.used = 1;
    *length = 0;
    return field;
  }
  field[0] = static_cast<char>(first);
  size_t n = 1;
  bool line_feed = false;
  char* rest = field + 1;
  if (std::fgets(rest, kControlFieldWidth, file_) != nullptr) {
    // The first line feed is the field's own, just before fgets's NUL, or the first unused
    // byte, just after it.
    const size_t at = static_cast<size_t>(
        static_cast<char*>(std::memchr(rest, '\n', sizeof lines.bytes - 1)) - rest);
    line_feed = rest[at + 1] == '\0';
    n += line_feed ? at : at - 1;
  } else if (std::ferror(file_)) {
    lines.used = sizeof lines.bytes;  // what fgets left is unknown
  }
  field[n] = '\0';
  if (lines.used < n + 2) lines.used = n + 2;
  taken_count_ += n + (line_feed ? 1 : 0);
  if (taken_ != nullptr) {
    taken_->append(field, n);
    if (line_feed) taken_->push_back('\n');
  }
  *length = static_cast<int>(n);
  return field;
}

void ControlFileInput::SkipSpace() {
  for (int c = Next();; c = TakeByte(file_)) {
    if (c == EOF || !IsControlFileSpace(c)) {
      pending_ = c;
      return;
    }
    Keep(static_cast<char>(c));
  }
}

int ControlFileInput::Peek() {
  pending_ = Next();
  return pending_;
}

const char* ScanIdentifierLine(ControlFileInput& input, int* length, ScanNotes* notes) {
  if (notes != nullptr) *notes = ScanNotes();
  if (!input.Match('@')) return nullptr;
  const char* identifier = input.LineField(length);
  if (*length == 0) return nullptr;
  if (notes != nullptr) notes->cut = FieldWentOn(input, *length, '\n');
  input.SkipSpace();
  return identifier;
}

const char* ScanAttributeLine(ControlFileInput& input, char* key, int* key_length,
                              int* value_length, ScanNotes* notes) {
  if (notes != nullptr) *notes = ScanNotes();
  if (!input.Match('{')) return nullptr;
  *key_length = input.Field('}', key);
  if (*key_length == 0) return nullptr;
  if (!input.Match('}')) {
    if (notes != nullptr) notes->key_too_long = FieldWentOn(input, *key_length, '}');
    return nullptr;
  }
  const char* value = input.LineField(value_length);
  if (*value_length == 0) return nullptr;
  if (notes != nullptr) notes->cut = FieldWentOn(input, *value_length, '\n');
  input.SkipSpace();
  return value;
}
