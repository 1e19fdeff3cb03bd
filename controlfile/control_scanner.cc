#include "controlfile/control_scanner.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "standin_unlocked_io.h"

namespace {

constexpr size_t kWidth = kControlFieldWidth;

}  // namespace

// Where fields that run over a refill are gathered, each with room for a closing NUL.
struct ControlFileInput::Rooms {
  char key[kWidth + 1];
  char value[kWidth + 1];
};

ControlFileInput::ControlFileInput(FILE* file, std::string* taken) : file_(file), taken_(taken) {
  thread_local std::unique_ptr<Rooms> rooms(new Rooms);
  rooms_ = rooms.get();
  StandinLockFile(file_);
}

ControlFileInput::~ControlFileInput() {
  if (in_stream_) {
    StandinSkipBuffered(file_, static_cast<size_t>(next_ - begin_));
  } else if (next_ < end_) {
    std::ungetc(static_cast<unsigned char>(refilled_), file_);
  }
  StandinUnlockFile(file_);
}

bool ControlFileInput::Fill() {
  if (next_ < end_) return true;
  for (int i = 0; i < pin_count_; ++i) {
    const Pinned& pin = pins_[i];
    if (*pin.text == pin.room) continue;
    std::memcpy(pin.room, *pin.text, pin.length);
    *pin.text = pin.room;
  }
  if (in_stream_) StandinSkipBuffered(file_, static_cast<size_t>(next_ - begin_));
  const char* bytes = nullptr;
  const size_t count = StandinBufferedBytes(file_, &bytes);
  in_stream_ = count > 0;
  if (in_stream_) {
    begin_ = next_ = bytes;
    end_ = bytes + count;
    return true;
  }
  // The runtime refills its buffer as it hands out the next byte; the rest of its buffer is in
  // view after that byte.
  const int c = StandinTakeByte(file_);
  if (c == EOF) {
    begin_ = next_ = end_ = nullptr;
    return false;
  }
  refilled_ = static_cast<char>(c);
  begin_ = next_ = &refilled_;
  end_ = next_ + 1;
  return true;
}

void ControlFileInput::Advance(size_t count) {
  taken_count_ += count;
  if (taken_ != nullptr) taken_->append(next_, count);
  next_ += count;
}

bool ControlFileInput::Match(char literal) {
  if (Peek() != static_cast<unsigned char>(literal)) return false;
  Advance(1);
  return true;
}

void ControlFileInput::SkipSpace() {
  while (Fill()) {
    const char* space_end = next_;
    while (space_end < end_ && IsControlFileSpace(static_cast<unsigned char>(*space_end))) {
      ++space_end;
    }
    const bool more = space_end == end_;
    Advance(static_cast<size_t>(space_end - next_));
    if (!more) return;
  }
}

void ControlFileInput::Pin(const char** text, size_t length, char* room) {
  pins_[pin_count_++] = Pinned{text, length, room};
}

size_t ControlFileInput::Field(char stop, char* room, const char** field) {
  *field = room;
  size_t n = 0;
  if (!Fill()) return 0;
  for (;;) {
    const size_t look = std::min(static_cast<size_t>(end_ - next_), kWidth - n);
    const char* hit = static_cast<const char*>(std::memchr(next_, stop, look));
    const size_t count = hit != nullptr ? static_cast<size_t>(hit - next_) : look;
    if (n == 0 && (hit != nullptr || count == kWidth)) {
      *field = next_;  // the whole field is in view
      Advance(count);
      return count;
    }
    std::memcpy(room + n, next_, count);
    n += count;
    Advance(count);
    if (hit != nullptr || n == kWidth || !Fill()) break;
  }
  room[n] = '\0';
  return n;
}

// Most lines lie whole in view, with the white space after them: such a line is matched with
// a search or two and taken at once. The view must hold a byte after the white space, as the
// white space may go on past it.
const char* ControlFileInput::LineInView(char first, const char** after) {
  if (!Fill() || *next_ != first || !in_stream_) return nullptr;
  const char* line = next_ + 1;
  const size_t look = std::min(static_cast<size_t>(end_ - line), 2 * kWidth + 1);
  const char* line_feed = static_cast<const char*>(std::memchr(line, '\n', look));
  if (line_feed == nullptr) return nullptr;
  const char* space_end = line_feed + 1;
  while (space_end < end_ && IsControlFileSpace(static_cast<unsigned char>(*space_end))) {
    ++space_end;
  }
  if (space_end == end_) return nullptr;
  *after = space_end;
  return line_feed;
}

bool ControlFileInput::AttributeInView(const char** key, size_t* key_length, const char** value,
                                       size_t* value_length) {
  const char* after = nullptr;
  const char* line_feed = LineInView('{', &after);
  if (line_feed == nullptr) return false;
  const char* line = next_ + 1;
  const char* close =
      static_cast<const char*>(std::memchr(line, '}', static_cast<size_t>(line_feed - line)));
  // A key with a line feed in it, or a field too long, or none: the field by field way.
  if (close == nullptr || close == line || static_cast<size_t>(close - line) > kWidth ||
      close + 1 == line_feed || static_cast<size_t>(line_feed - close - 1) > kWidth) {
    return false;
  }
  *key = line;
  *key_length = static_cast<size_t>(close - line);
  *value = close + 1;
  *value_length = static_cast<size_t>(line_feed - close - 1);
  Advance(static_cast<size_t>(after - next_));
  return true;
}

size_t ControlFileInput::LineEnd(const char** field, ScanNotes* notes) {
  const size_t n = Field('\n', rooms_->value, field);
  if (n == 0) return 0;  // what ended it stays unread
  Pin(field, n, rooms_->value);
  if (notes != nullptr && n == kWidth) {
    const int next = Peek();
    notes->cut = next != EOF && next != '\n';
  }
  SkipSpace();
  return n;
}

const char* ControlFileInput::IdentifierLine(size_t* length, ScanNotes* notes) {
  if (notes != nullptr) *notes = ScanNotes();
  pin_count_ = 0;
  const char* after = nullptr;
  const char* line_feed = LineInView('@', &after);
  if (line_feed != nullptr && line_feed > next_ + 1 &&
      static_cast<size_t>(line_feed - next_ - 1) <= kWidth) {
    const char* identifier = next_ + 1;
    *length = static_cast<size_t>(line_feed - identifier);
    Advance(static_cast<size_t>(after - next_));
    return identifier;
  }
  *length = 0;
  if (!Match('@')) return nullptr;
  *length = LineEnd(&identifier_, notes);
  return *length > 0 ? identifier_ : nullptr;
}

bool ControlFileInput::AttributeLine(const char** key, size_t* key_length, const char** value,
                                     size_t* value_length, ScanNotes* notes) {
  if (notes != nullptr) *notes = ScanNotes();
  pin_count_ = 0;
  if (AttributeInView(key, key_length, value, value_length)) return true;
  if (!Match('{')) return false;
  // The key: every byte up to the first "}", line feeds included.
  const size_t k = Field('}', rooms_->key, &key_);
  if (k == 0) return false;  // no key: the "}" or the end of the file stays unread
  Pin(&key_, k, rooms_->key);
  if (!Match('}')) {
    // The key went on past the width, or the file ended within it.
    if (notes != nullptr) notes->key_too_long = k == kWidth && Peek() != EOF;
    return false;
  }
  // Without a value, the key and its "}" stay taken and what follows them unread.
  const size_t v = LineEnd(&value_, notes);
  if (v == 0) return false;
  *key = key_;
  *key_length = k;
  *value = value_;
  *value_length = v;
  return true;
}
