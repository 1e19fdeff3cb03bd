#include "controlfile/control_scanner.h"

#include <cstring>
#include <memory>

#include "standin_unlocked_io.h"

namespace {

constexpr int kNone = -2;
constexpr size_t kWidth = kControlFieldWidth;

}  // namespace

// The buffer that lines are read into with fgets. fgets stops after a line feed and does not
// say how many bytes it stored, and a line may hold NUL bytes; so every byte of the buffer
// that the last line did not use is kept a line feed, and the first line feed after what fgets
// stored tells where it stopped.
struct ControlFileInput::LineBuffer {
  LineBuffer() { std::memset(bytes, '\n', sizeof bytes); }
  // A key, its "}" and a value; then two bytes that are always line feeds.
  char bytes[2 * (kWidth + 1) + 2];
  size_t used = 0;  // bytes to make line feeds again before the next line
};

ControlFileInput::LineBuffer* ControlFileInput::Lines() {
  thread_local std::unique_ptr<LineBuffer> lines(new LineBuffer);
  return lines.get();
}

ControlFileInput::ControlFileInput(FILE* file, std::string* taken)
    : file_(file), taken_(taken), lines_(Lines()), pending_(kNone) {
  StandinLockFile(file_);
}

ControlFileInput::~ControlFileInput() {
  if (pending_ >= 0) std::ungetc(pending_, file_);
  StandinUnlockFile(file_);
}

int ControlFileInput::Next() {
  if (pending_ == kNone) return StandinTakeByte(file_);
  const int c = pending_;
  pending_ = kNone;
  return c;
}

void ControlFileInput::Took(const char* bytes, size_t count) {
  taken_count_ += count;
  if (taken_ != nullptr) taken_->append(bytes, count);
}

bool ControlFileInput::Match(char literal) {
  const int c = Next();
  if (c != static_cast<unsigned char>(literal)) {
    pending_ = c;
    return false;
  }
  Took(&literal, 1);
  return true;
}

void ControlFileInput::SkipSpace() {
  for (int c = Next();; c = StandinTakeByte(file_)) {
    if (c == EOF || !IsControlFileSpace(c)) {
      pending_ = c;
      return;
    }
    const char space = static_cast<char>(c);
    Took(&space, 1);
  }
}

char* ControlFileInput::FreshLine() {
  std::memset(lines_->bytes, '\n', lines_->used);
  lines_->used = 0;
  return lines_->bytes;
}

size_t ControlFileInput::Chunk(char* line, size_t at, size_t max, bool* line_feed) {
  char* into = line + at;
  *line_feed = false;
  if (std::fgets(into, static_cast<int>(max + 1), file_) == nullptr) {
    if (std::ferror(file_)) lines_->used = sizeof lines_->bytes;  // what fgets left is unknown
    return 0;
  }
  // The first line feed is the line's own, just before fgets's NUL, or the first unused
  // byte, just after it.
  const size_t first =
      static_cast<size_t>(static_cast<const char*>(std::memchr(into, '\n', max + 2)) - into);
  *line_feed = into[first + 1] == '\0';
  const size_t stored = *line_feed ? first + 1 : first - 1;
  if (lines_->used < at + stored + 1) lines_->used = at + stored + 1;
  return stored;
}

const char* ControlFileInput::IdentifierLine(int* length, ScanNotes* notes) {
  if (notes != nullptr) *notes = ScanNotes();
  *length = 0;
  if (!Match('@')) return nullptr;
  char* line = FreshLine();
  const int first = Next();
  if (first == EOF || first == '\n') {
    pending_ = first;
    return nullptr;
  }
  line[0] = static_cast<char>(first);
  size_t n = 1;
  bool line_feed = false;
  while (!line_feed && n < kWidth) {
    const size_t got = Chunk(line, n, kWidth - n, &line_feed);
    if (got == 0) break;
    n += got;
  }
  Took(line, n);
  if (line_feed) --n;  // skipped as white space next
  line[n] = '\0';
  if (notes != nullptr && n == kWidth) {
    pending_ = Next();
    notes->cut = pending_ != EOF && pending_ != '\n';
  }
  SkipSpace();
  *length = static_cast<int>(n);
  return line;
}

bool ControlFileInput::AttributeLine(const char** key, int* key_length, const char** value,
                                     int* value_length, ScanNotes* notes) {
  if (notes != nullptr) *notes = ScanNotes();
  if (!Match('{')) return false;
  char* line = FreshLine();
  const int first = Next();
  if (first == EOF || first == '}') {
    pending_ = first;  // no key
    return false;
  }
  // The key: every byte up to the first "}", line feeds included. The line is read on past
  // the "}" to its end, which is where the value ends.
  line[0] = static_cast<char>(first);
  size_t n = 1;
  const char* close = nullptr;
  bool line_feed = false;
  while (close == nullptr) {
    if (n == kWidth) {
      const int next = Next();
      if (next != '}') {
        pending_ = next;
        Took(line, n);
        if (notes != nullptr) notes->key_too_long = next != EOF;
        return false;
      }
      line[n++] = '}';
      close = line + n - 1;
      line_feed = false;
      break;
    }
    const size_t got = Chunk(line, n, kWidth - n, &line_feed);
    if (got == 0) {
      Took(line, n);  // the file ends within the key
      return false;
    }
    close = static_cast<const char*>(std::memchr(line + n, '}', got));
    n += got;
  }
  // The value: the rest of the line, up to the width.
  const size_t value_at = static_cast<size_t>(close - line) + 1;
  size_t v = n - value_at - (line_feed ? 1 : 0);
  while (!line_feed && v < kWidth) {
    const size_t got = Chunk(line, value_at + v, kWidth - v, &line_feed);
    if (got == 0) break;
    v += got - (line_feed ? 1 : 0);
  }
  if (v == 0) {
    // No value: the key and its "}" stay taken, a line feed after them unread.
    Took(line, value_at);
    if (line_feed) pending_ = '\n';
    return false;
  }
  Took(line, value_at + v + (line_feed ? 1 : 0));
  line[value_at - 1] = '\0';
  line[value_at + v] = '\0';
  *key = line;
  *key_length = static_cast<int>(value_at - 1);
  *value = line + value_at;
  *value_length = static_cast<int>(v);
  if (notes != nullptr && v == kWidth) {
    pending_ = Next();
    notes->cut = pending_ != EOF && pending_ != '\n';
  }
  SkipSpace();
  return true;
}
