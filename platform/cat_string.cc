#include "CATString.h"

CATString::CATString(const char* text) : text_(text ? text : "") {}

void CATString::ToUpper() {
  for (char& c : text_) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
}

void CATString::Strip(CATStripMode mode, char c) {
  if (mode != CATStripModeLeading) {
    size_t end = text_.size();
    while (end > 0 && text_[end - 1] == c) --end;
    text_.erase(end);
  }
  if (mode != CATStripModeTrailing) {
    size_t begin = 0;
    while (begin < text_.size() && text_[begin] == c) ++begin;
    text_.erase(0, begin);
  }
}

int CATString::FindPosition(const CATString& sub, int start) const {
  if (start < 0) start = 0;
  size_t pos = text_.find(sub.text_, static_cast<size_t>(start));
  return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

CATString CATString::SubString(int start, int length) const {
  CATString result;
  if (start < 0 || length <= 0 || static_cast<size_t>(start) >= text_.size()) return result;
  result.text_ = text_.substr(static_cast<size_t>(start), static_cast<size_t>(length));
  return result;
}

void CATString::ReplaceSubString(int start, int length, const CATString& replacement) {
  if (start < 0 || static_cast<size_t>(start) > text_.size() || length < 0) return;
  text_.replace(static_cast<size_t>(start), static_cast<size_t>(length), replacement.text_);
}
