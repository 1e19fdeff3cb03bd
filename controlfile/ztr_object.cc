#include "controlfile/ztr_object.h"

#include <cstring>
#include <memory>
#include <string>

#include "controlfile/control_scanner.h"
#include "output/output.h"

namespace {

const char kLineBreakMarker[] = "@EOL@";
constexpr size_t kMarkerLength = sizeof kLineBreakMarker - 1;

// The attributes of the record being read or changed, kept for the thread's later records.
AttributeBuilder& Builder() {
  thread_local AttributeBuilder builder;
  return builder;
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

// Passes the bytes taken since the last call on to the observer.
void Tell(ControlFileObserver* observer, std::string* taken) {
  if (taken->empty()) return;
  observer->OnBytes(taken->data(), taken->size());
  taken->clear();
}

}  // namespace

ZTRObject::~ZTRObject() { AttributeBuilder::Release(Values); }

void ZTRObject::Keep(const AttributeBuilder* attributes, ObjectStorage* storage) {
  const ZTRTextList old = Values;
  if (attributes != nullptr) {
    attributes->Build(storage, &Identifier, &Keys, &Values);
  } else {
    Identifier = "";
    Keys = ZTRTextList();
    Values = ZTRTextList();
  }
  AttributeBuilder::Release(old);
}

bool ZTRObject::ReadFromFile(FILE* file, ControlFileReading* reading) {
  Keep(nullptr, nullptr);
  ControlFileObserver* observer = reading != nullptr ? reading->observer : nullptr;
  std::string taken;
  ControlFileInput input(file, observer != nullptr ? &taken : nullptr);
  const size_t start = reading != nullptr ? reading->offset : 0;
  ScanNotes notes;
  ScanNotes* wanted = observer != nullptr ? &notes : nullptr;

  // An identifier is the line's text up to a NUL byte; an empty one is none.
  size_t length = 0;
  const char* identifier = input.IdentifierLine(&length, wanted);
  if (identifier != nullptr) length = TextLength(identifier, length);
  if (identifier == nullptr || length == 0) {
    if (observer != nullptr) {
      Tell(observer, &taken);
      observer->OnMismatch(start, false);
    }
    if (reading != nullptr) reading->offset = start + input.Taken();
    ConsoleLine("ZTRObject: ID not found in file");
    return false;
  }
  if (observer != nullptr) {
    Tell(observer, &taken);
    observer->OnRecord(start, notes.cut);
  }
  // The identifier without the carriage returns at its end.
  while (length > 0 && identifier[length - 1] == '\r') --length;
  AttributeBuilder& attributes = Builder();
  attributes.Start(identifier, length);
  size_t line = start + input.Taken();
  const char* key;
  const char* value;
  size_t key_length = 0;
  while (input.AttributeLine(&key, &key_length, &value, &length, wanted)) {
    if (observer != nullptr) {
      Tell(observer, &taken);
      observer->OnAttribute(line, CATString(key, TextLength(key, key_length)), notes.cut);
    }
    attributes.Add(key, key_length, value, length, false);
    line = start + input.Taken();
  }
  if (observer != nullptr) {
    Tell(observer, &taken);
    observer->OnMismatch(line, notes.key_too_long);
  }
  Keep(&attributes, reading != nullptr ? reading->storage : nullptr);
  if (reading != nullptr) reading->offset = start + input.Taken();
  return true;
}

bool ZTRObject::SetAttribute(const CATString& key, const CATString& value) {
  AttributeBuilder& attributes = Builder();
  attributes.Start(Identifier, std::strlen(Identifier));
  for (int i = 1; i <= Keys.Size(); ++i) attributes.AddStored(Keys.Text(i), Values.Text(i));
  attributes.Add(key.CastToCharPtr(), static_cast<size_t>(key.GetLengthInChar()),
                 value.CastToCharPtr(), static_cast<size_t>(value.GetLengthInChar()));
  Keep(&attributes, nullptr);
  return true;
}

CATString ZTRObject::GetAttribute(const CATString& key) const {
  CATString upper_key = key;
  upper_key.ToUpper();
  const int position = Keys.Locate(upper_key.CastToCharPtr());
  if (position == 0) return CATString();
  return Decoded(Values.Text(position));
}

CATListValCATString ZTRObject::GetAttributeList(const CATString& key) const {
  return Items(GetAttribute(key));
}

void ZTRObject::Dump() const {
  ConsoleLine("ZTRObject:");
  ConsoleLine("ID:[", Identifier, "]");
  for (int j = 1; j <= Keys.Size(); ++j) {
    const char* key = Keys.Text(j);
    const char* value = Values.Text(j);
    if (value[0] == '{') {
      ConsoleLine(key, "->");
      const CATListValCATString items = Items(Decoded(value));
      for (int i = 1; i <= items.Size(); ++i) ConsoleLine(items[i].CastToCharPtr());
    } else {
      ConsoleLine(key, ":[", value, "]");
    }
  }
}
