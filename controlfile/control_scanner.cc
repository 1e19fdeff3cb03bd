#include "controlfile/control_scanner.h"

#include <algorithm>
#include <cstring>

bool ReadControlFileBytes(const char* name, std::string* bytes) {
  FILE* file = std::fopen(name, "rb");
  if (file == nullptr) return false;
  bytes->clear();
  char chunk[1 << 16];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes->append(chunk, n);
  // Some systems open a folder as a file that fails its first read.
  const bool unreadable = bytes->empty() && std::ferror(file);
  std::fclose(file);
  return !unreadable;
}

bool FileBytes::Match(char literal) {
  const int c = std::getc(file_);
  if (c == static_cast<unsigned char>(literal)) return true;
  if (c != EOF) ungetc(c, file_);
  return false;
}

// Matches up to kControlFieldWidth bytes other than `stop` and terminates them; `stop` stays
// unread. Returns the number of bytes matched.
int FileBytes::Field(char stop, char* field) {
  int n = 0;
  while (n < kControlFieldWidth) {
    const int c = std::getc(file_);
    if (c == EOF) break;
    if (c == static_cast<unsigned char>(stop)) {
      ungetc(c, file_);
      break;
    }
    field[n++] = static_cast<char>(c);
  }
  field[n] = '\0';
  return n;
}

void FileBytes::SkipSpace() {
  int c;
  do {
    c = std::getc(file_);
  } while (c != EOF && IsControlFileSpace(c));
  if (c != EOF) ungetc(c, file_);
}

int FileBytes::Peek() {
  const int c = std::getc(file_);
  if (c != EOF) ungetc(c, file_);
  return c;
}

bool BufferBytes::Match(char literal) {
  if (next_ == end_ || *next_ != literal) return false;
  ++next_;
  return true;
}

int BufferBytes::Field(char stop, char* field) {
  const size_t available =
      std::min(static_cast<size_t>(end_ - next_), static_cast<size_t>(kControlFieldWidth));
  const void* found = std::memchr(next_, stop, available);
  const size_t n = found ? static_cast<size_t>(static_cast<const char*>(found) - next_) : available;
  std::memcpy(field, next_, n);
  field[n] = '\0';
  next_ += n;
  return static_cast<int>(n);
}

void BufferBytes::SkipSpace() {
  while (next_ != end_ && IsControlFileSpace(static_cast<unsigned char>(*next_))) ++next_;
}
