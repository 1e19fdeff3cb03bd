// CATString: the platform's 8-bit string, holding its bytes unchanged.
#ifndef CATSTRING_H
#define CATSTRING_H

#include <cstddef>
#include <string>

class CATString {
 public:
  enum CATStripMode { CATStripModeLeading, CATStripModeTrailing, CATStripModeBoth };

  CATString() = default;
  // Copies the C string up to its terminating NUL; a null pointer gives the empty string.
  CATString(const char* text);  // NOLINT(google-explicit-constructor): as on the platform
  // The `length` bytes at `bytes`, NUL bytes included.
  CATString(const char* bytes, size_t length) : text_(bytes, length) {}

  // GetLengthInChar() bytes and a terminating NUL.
  const char* CastToCharPtr() const { return text_.c_str(); }
  int GetLengthInChar() const { return static_cast<int>(text_.size()); }

  // Upper-cases the ASCII letters a-z; every other byte stays.
  void ToUpper();
  // Removes every `c` at the end or ends that `mode` names.
  void Strip(CATStripMode mode = CATStripModeBoth, char c = ' ');
  // Position (from 0) of the first occurrence of `sub` at or after `start`, or -1.
  int FindPosition(const CATString& sub, int start = 0) const;
  // The `length` bytes from `start` (from 0), clipped to the string.
  CATString SubString(int start, int length) const;
  // Replaces the `length` bytes from `start` with `replacement`.
  void ReplaceSubString(int start, int length, const CATString& replacement);

  friend bool operator==(const CATString& a, const CATString& b) { return a.text_ == b.text_; }
  friend bool operator!=(const CATString& a, const CATString& b) { return a.text_ != b.text_; }

 private:
  std::string text_;
};

#endif  // CATSTRING_H
