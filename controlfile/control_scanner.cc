#include "controlfile/control_scanner.h"

#include <algorithm>
#include <cstring>

#include "system/system.h"

namespace {

// What a read ahead asks for at a time.
constexpr size_t kChunk = size_t{1} << 16;

}  // namespace

ControlFileInput::ControlFileInput(FILE* file, ControlFileObserver* observer, bool read_ahead)
    : file_(file),
      observer_(observer),
      start_(read_ahead ? StreamPosition(file) : -1),  // -1 as well when the file cannot seek
      buffer_(new char[start_ >= 0 ? kChunk : 1]),
      next_(buffer_.get()),
      end_(next_),
      key_room_(new char[kControlFieldWidth]),
      value_room_(new char[kControlFieldWidth]) {}

ControlFileInput::ControlFileInput(std::string_view bytes, ControlFileObserver* observer)
    : file_(nullptr),
      observer_(observer),
      start_(-1),
      next_(bytes.data()),
      end_(bytes.data() + bytes.size()),
      nul_read_(std::memchr(bytes.data(), '\0', bytes.size()) != nullptr),
      key_room_(new char[kControlFieldWidth]),
      value_room_(new char[kControlFieldWidth]) {}

ControlFileInput::~ControlFileInput() {
  if (file_ == nullptr) return;  // bytes in memory: nothing to give back
  if (start_ >= 0) {
    SetStreamPosition(file_, start_ + static_cast<int64_t>(taken_));
  } else if (next_ < end_) {
    std::ungetc(static_cast<unsigned char>(*next_), file_);
  }
}

bool ControlFileInput::Fill() {
  if (next_ < end_) return true;
  if (file_ == nullptr) return false;
  char* bytes = buffer_.get();
  size_t count = 0;
  if (start_ >= 0) {
    count = std::fread(bytes, 1, kChunk, file_);
  } else {
    const int c = std::getc(file_);
    bytes[0] = static_cast<char>(c);
    count = c != EOF ? 1 : 0;
  }
  next_ = bytes;
  end_ = bytes + count;
  nul_read_ = nul_read_ || std::memchr(bytes, '\0', count) != nullptr;
  return count > 0;
}

void ControlFileInput::Advance(size_t count) {
  if (observer_ != nullptr) observer_->OnBytes(next_, count);
  taken_ += count;
  next_ += count;
}

bool ControlFileInput::Match(char literal) {
  if (Peek() != static_cast<unsigned char>(literal)) return false;
  Advance(1);
  return true;
}

std::string_view ControlFileInput::Field(char stop, char* room) {
  size_t n = 0;
  while (n < kControlFieldWidth && Fill()) {
    const size_t look = std::min(static_cast<size_t>(end_ - next_), kControlFieldWidth - n);
    const char* hit = static_cast<const char*>(std::memchr(next_, stop, look));
    const size_t count = hit != nullptr ? static_cast<size_t>(hit - next_) : look;
    std::memcpy(room + n, next_, count);
    n += count;
    Advance(count);
    if (hit != nullptr) break;
  }
  const char* nul = nul_read_ ? static_cast<const char*>(std::memchr(room, '\0', n)) : nullptr;
  return std::string_view(room, nul != nullptr ? static_cast<size_t>(nul - room) : n);
}

bool ControlFileInput::LineEnd(std::string_view* field, ScanNotes* notes) {
  const size_t taken = taken_;
  *field = Field('\n', value_room_.get());
  if (taken_ == taken) return false;  // no field: what ended it stays unread
  // A field that ends before the width ends where the line or the file ends.
  notes->cut = Peek() != EOF && Peek() != '\n';
  while (IsControlFileSpace(Peek())) Advance(1);
  return true;
}

bool ControlFileInput::IdentifierLine(std::string_view* identifier, ScanNotes* notes) {
  *notes = ScanNotes();
  return Match('@') && LineEnd(identifier, notes);
}

bool ControlFileInput::AttributeLine(std::string_view* key, std::string_view* value,
                                     ScanNotes* notes) {
  *notes = ScanNotes();
  if (!Match('{')) return false;
  // The key: every byte up to the first "}", line feeds included.
  const size_t taken = taken_;
  *key = Field('}', key_room_.get());
  if (taken_ == taken) return false;  // no key: the "}" or the end of the file stays unread
  if (!Match('}')) {
    // The key went on past the width, or the file ended within it.
    notes->key_too_long = Peek() != EOF;
    return false;
  }
  // Without a value, the key and its "}" stay taken and what follows them unread.
  return LineEnd(value, notes);
}
