// CATUnicodeString: the platform's text class. The stand-in keeps 8-bit text byte for byte:
// no character set conversion and no case folding anywhere.
#ifndef CATUNICODESTRING_H
#define CATUNICODESTRING_H

#include <cstddef>
#include <string>

class CATUnicodeString {
 public:
  CATUnicodeString() = default;
  // Copies the C string up to its terminating NUL; a null pointer gives the empty text.
  CATUnicodeString(const char* text)  // NOLINT(google-explicit-constructor): as on the platform
      : text_(text ? text : "") {}
  // The `length` bytes at `bytes`, NUL bytes included.
  CATUnicodeString(const char* bytes, size_t length) : text_(bytes, length) {}

  // The 8-bit form, GetLengthInChar() bytes and a terminating NUL, valid until the text is
  // next changed or destroyed.
  const char* ConvertToChar() const { return text_.c_str(); }
  int GetLengthInChar() const { return static_cast<int>(text_.size()); }

  CATUnicodeString& operator+=(const CATUnicodeString& other) {
    text_ += other.text_;
    return *this;
  }
  friend CATUnicodeString operator+(CATUnicodeString a, const CATUnicodeString& b) {
    return a += b;
  }
  friend bool operator==(const CATUnicodeString& a, const CATUnicodeString& b) {
    return a.text_ == b.text_;
  }
  friend bool operator!=(const CATUnicodeString& a, const CATUnicodeString& b) {
    return a.text_ != b.text_;
  }

 private:
  std::string text_;
};

#endif  // CATUNICODESTRING_H
