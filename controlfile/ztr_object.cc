#include "controlfile/ztr_object.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "output/output.h"

namespace {

const char kLineBreakMarker[] = "@EOL@";
constexpr size_t kMarkerLength = sizeof kLineBreakMarker - 1;
// Up to this many keys, a key given again is found by comparing it with each earlier one.
constexpr size_t kKeysWithoutIndex = 16;

// Appends the stored form of `key`: ASCII letters upper-cased, then a NUL.
void AppendKey(std::pmr::string* text, std::string_view key) {
  const size_t at = text->size();
  text->resize(at + key.size() + 1);
  char* out = &(*text)[at];
  for (const char c : key) *out++ = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Appends the stored form of `value`, which holds no line feed: blanks cut from both ends
// first, then carriage returns from its end (a blank before a carriage return stays), a NUL.
void AppendValue(std::pmr::string* text, std::string_view value) {
  value.remove_prefix(std::min(value.find_first_not_of(' '), value.size()));
  value = value.substr(0, value.find_last_not_of(' ') + 1);
  value = value.substr(0, value.find_last_not_of('\r') + 1);
  text->append(value).push_back('\0');
}

// A stored value with each "@EOL@" turned back into a line feed. One pass from the left gives
// what replacing the first marker until none is left gives: a line feed never begins a marker.
CATString Decoded(const char* value) {
  const char* marker = std::strstr(value, kLineBreakMarker);
  if (marker == nullptr) return CATString(value);
  std::string text;
  for (; marker != nullptr; marker = std::strstr(value, kLineBreakMarker)) {
    text.append(value, static_cast<size_t>(marker - value));
    text.push_back('\n');
    value = marker + kMarkerLength;
  }
  text.append(value);
  return CATString(text.c_str());
}

// Each item is the text after a "{" up to the next "}" (or the end); text outside braces is
// ignored; a non-empty value without any "{" is one item.
CATListValCATString Items(const CATString& value) {
  CATListValCATString items;
  const int length = value.GetLengthInChar();
  int open = value.FindPosition("{");
  while (open >= 0 && open < length) {
    int close = value.FindPosition("}", open + 1);
    if (close < 0) close = length;
    items.Append(value.SubString(open + 1, close - open - 1));
    open = value.FindPosition("{", close);
  }
  if (items.Size() == 0 && length > 0) items.Append(value);
  return items;
}

}  // namespace

ZTRObject::Reader::Reader(FILE* file, ControlFileObserver* observer, bool read_ahead)
    : input_(file, observer, read_ahead), observer_(observer) {}

ZTRObject::Reader::Reader(std::string_view bytes, ControlFileObserver* observer)
    : input_(bytes, observer), observer_(observer) {}

bool ZTRObject::Reader::Read(ZTRObject* object) {
  std::pmr::string& text = object->text_;
  text.clear();
  ScanNotes notes;
  size_t line = input_.Taken();
  // An identifier is the line's text up to a NUL byte; an empty one is none.
  std::string_view identifier;
  if (!input_.IdentifierLine(&identifier, &notes) || identifier.empty()) {
    if (observer_ != nullptr) observer_->OnMismatch(line, false);
    ConsoleLine("ZTRObject: ID not found in file");
    return false;
  }
  if (observer_ != nullptr) observer_->OnRecord(line, notes.cut);
  // The identifier without the carriage returns at its end.
  text.append(identifier.substr(0, identifier.find_last_not_of('\r') + 1)).push_back('\0');
  entries_.clear();
  if (!index_.empty()) index_ = {};
  scattered_ = false;
  std::string_view key, value;
  for (line = input_.Taken(); input_.AttributeLine(&key, &value, &notes); line = input_.Taken()) {
    if (observer_ != nullptr) {
      observer_->OnAttribute(line, CATString(key.data(), key.size()), notes.cut);
    }
    Add(&text, key, value);
  }
  if (observer_ != nullptr) observer_->OnMismatch(line, notes.key_too_long);
  if (scattered_) {
    std::pmr::string laid_out = text.substr(0, object->FirstKey());
    for (const Entry& e : entries_) {
      laid_out.append(text, e.key, e.key_length + 1).append(text, e.value, e.value_length + 1);
    }
    text.swap(laid_out);
  }
  return true;
}

void ZTRObject::Reader::Add(std::pmr::string* text, std::string_view key, std::string_view value) {
  const size_t key_at = text->size();
  AppendKey(text, key);
  const size_t key_length = text->size() - key_at - 1;
  const std::string_view stored(text->data() + key_at, key_length);
  const auto equal = [&](const Entry& e) {
    return e.key_length == key_length && text->compare(e.key, key_length, stored) == 0;
  };
  auto found = entries_.end();
  if (index_.empty()) {
    found = std::find_if(entries_.begin(), entries_.end(), equal);
  } else if (const auto hit = index_.find(std::string(stored)); hit != index_.end()) {
    found = entries_.begin() + static_cast<std::ptrdiff_t>(hit->second);
  }
  if (found != entries_.end()) text->resize(key_at);  // the key is there already
  const size_t value_at = text->size();
  AppendValue(text, value);
  const size_t value_length = text->size() - value_at - 1;
  if (found != entries_.end()) {
    found->value = value_at;
    found->value_length = value_length;
    scattered_ = true;
    return;
  }
  entries_.push_back(Entry{key_at, key_length, value_at, value_length});
  if (entries_.size() <= kKeysWithoutIndex) return;
  for (size_t e = index_.size(); e < entries_.size(); ++e) {
    index_.emplace(text->substr(entries_[e].key, entries_[e].key_length), e);
  }
}

bool ZTRObject::ReadFromFile(FILE* file) { return Reader(file).Read(this); }

size_t ZTRObject::ValueOf(const char* key) const {
  for (size_t at = FirstKey(); at < text_.size(); at = Next(Next(at))) {
    if (std::strcmp(text_.c_str() + at, key) == 0) return Next(at);
  }
  return std::string::npos;
}

bool ZTRObject::SetAttribute(const CATString& key, const CATString& value) {
  if (text_.empty()) text_.push_back('\0');  // no identifier
  // Each text ends at its first NUL byte; a line feed is written "@EOL@" (no blank or carriage
  // return is one, so the value may be trimmed after that).
  std::string encoded = value.CastToCharPtr();
  for (size_t at = 0; (at = encoded.find('\n', at)) != std::string::npos; at += kMarkerLength) {
    encoded.replace(at, 1, kLineBreakMarker);
  }
  std::pmr::string stored_key, stored_value;
  AppendKey(&stored_key, key.CastToCharPtr());
  AppendValue(&stored_value, encoded);
  const size_t at = ValueOf(stored_key.c_str());
  if (at == std::string::npos) {
    text_ += stored_key + stored_value;
  } else {
    text_.replace(at, Next(at) - at, stored_value);
  }
  return true;
}

int ZTRObject::AttributeCount() const {
  int count = 0;
  for (size_t at = FirstKey(); at < text_.size(); at = Next(Next(at))) ++count;
  return count;
}

size_t ZTRObject::KeyAt(int position) const {
  size_t at = FirstKey();
  for (int i = 1; i < position && at < text_.size(); ++i) at = Next(Next(at));
  if (position < 1 || at >= text_.size()) {
    std::fprintf(stderr, "list position %d outside 1..%d\n", position, AttributeCount());
    std::abort();
  }
  return at;
}

const char* ZTRObject::Key(int position) const { return text_.c_str() + KeyAt(position); }

const char* ZTRObject::Value(int position) const { return text_.c_str() + Next(KeyAt(position)); }

CATString ZTRObject::GetAttribute(const CATString& key) const {
  CATString upper_key = key;
  upper_key.ToUpper();
  const size_t at = ValueOf(upper_key.CastToCharPtr());
  return at == std::string::npos ? CATString() : Decoded(text_.c_str() + at);
}

CATListValCATString ZTRObject::GetAttributeList(const CATString& key) const {
  return Items(GetAttribute(key));
}

void ZTRObject::Dump() const {
  ConsoleLine("ZTRObject:");
  ConsoleLine("ID:[", text_.c_str(), "]");
  for (size_t at = FirstKey(); at < text_.size(); at = Next(Next(at))) {
    const char* key = text_.c_str() + at;
    const char* value = text_.c_str() + Next(at);
    if (value[0] == '{') {
      ConsoleLine(key, "->");
      const CATListValCATString items = Items(Decoded(value));
      for (int i = 1; i <= items.Size(); ++i) ConsoleLine(items[i].CastToCharPtr());
    } else {
      ConsoleLine(key, ":[", value, "]");
    }
  }
}
