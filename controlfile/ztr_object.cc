#include "controlfile/ztr_object.h"

#include <memory>
#include <utility>

#include "controlfile/control_scanner.h"
#include "driver/output.h"

namespace {

const CATString kLineBreakMarker("@EOL@");
const CATString kLineFeed("\n");

// Replaces each `from` with `to`, first occurrence first, until none is left.
void ReplaceAll(CATString* text, const CATString& from, const CATString& to) {
  for (int p = text->FindPosition(from); p >= 0; p = text->FindPosition(from)) {
    text->ReplaceSubString(p, from.GetLengthInChar(), to);
  }
}

}  // namespace

bool ZTRObject::ReadFromFile(FILE* file) {
  FileBytes bytes(file);
  return ReadRecord(bytes, nullptr);
}

bool ZTRObject::ReadFromBuffer(BufferBytes* bytes, ControlFileObserver* observer) {
  return ReadRecord(*bytes, observer);
}

template <typename Bytes>
bool ZTRObject::ReadRecord(Bytes& bytes, ControlFileObserver* observer) {
  Keys.RemoveAll();
  Values.RemoveAll();
  // The two field buffers, kept for the thread's later records: a record needs them only
  // while it is read, and every scan terminates what it writes.
  thread_local std::unique_ptr<char[]> first(new char[kControlFieldBuffer]);
  thread_local std::unique_ptr<char[]> second(new char[kControlFieldBuffer]);
  ScanNotes notes;
  ScanNotes* wanted = observer != nullptr ? &notes : nullptr;
  long line = observer != nullptr ? bytes.Offset() : 0;
  if (!ScanIdentifierLine(bytes, first.get(), wanted)) {
    if (observer != nullptr) observer->OnMismatch(static_cast<size_t>(line), false);
    ConsoleLine("ZTRObject: ID not found in file");
    return false;
  }
  if (observer != nullptr) observer->OnRecord(static_cast<size_t>(line), notes.cut);
  // Fields are taken as C strings: a NUL byte ends the text.
  Identifier = CATString(first.get());
  Identifier.Strip(CATString::CATStripModeTrailing, '\r');
  for (;;) {
    if (observer != nullptr) line = bytes.Offset();
    if (!ScanAttributeLine(bytes, first.get(), second.get(), wanted)) break;
    if (observer != nullptr)
      observer->OnAttribute(static_cast<size_t>(line), first.get(), notes.cut);
    StoreAttribute(first.get(), second.get());
  }
  if (observer != nullptr) observer->OnMismatch(static_cast<size_t>(line), notes.key_too_long);
  return true;
}

bool ZTRObject::SetAttribute(const CATString& key, const CATString& value) {
  StoreAttribute(key, value);
  return true;
}

void ZTRObject::StoreAttribute(CATString key, CATString value) {
  key.ToUpper();
  value.Strip(CATString::CATStripModeBoth, ' ');
  value.Strip(CATString::CATStripModeTrailing, '\r');
  ReplaceAll(&value, kLineFeed, kLineBreakMarker);
  const int position = Keys.Locate(key);
  if (position > 0) {
    Values[position] = std::move(value);
  } else {
    Keys.Append(std::move(key));
    Values.Append(std::move(value));
  }
}

CATString ZTRObject::GetAttribute(const CATString& key) const {
  CATString result;
  CATString upper_key = key;
  upper_key.ToUpper();
  const int position = Keys.Locate(upper_key);
  if (position > 0 && Values.Size() >= position) result = Values[position];
  ReplaceAll(&result, kLineBreakMarker, kLineFeed);
  return result;
}

// Each item is the text after a "{" up to the next "}" (or the end); text outside braces is
// ignored; a non-empty value without any "{" is one item.
CATListValCATString ZTRObject::GetAttributeList(const CATString& key) const {
  CATListValCATString items;
  const CATString value = GetAttribute(key);
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

void ZTRObject::Dump() const {
  ConsoleLine("ZTRObject:");
  ConsoleLine("ID:[", Identifier.CastToCharPtr(), "]");
  for (int j = 1; j <= Keys.Size() && j <= Values.Size(); ++j) {
    const char* key = Keys[j].CastToCharPtr();
    const CATString& value = Values[j];
    if (value.CastToCharPtr()[0] == '{') {
      ConsoleLine(key, "->");
      const CATListValCATString items = GetAttributeList(Keys[j]);
      for (int i = 1; i <= items.Size(); ++i) ConsoleLine(items[i].CastToCharPtr());
    } else {
      ConsoleLine(key, ":[", value.CastToCharPtr(), "]");
    }
  }
}
