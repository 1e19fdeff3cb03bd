// A platform string as the companions handle text: every byte of it, NUL bytes included, so
// that a value cut short by a NUL is never taken for a shorter value.
#ifndef PLAN_TEXT_H
#define PLAN_TEXT_H

#include <string>

#include "CATUnicodeString.h"

inline std::string Text(const CATUnicodeString& text) {
  return std::string(text.ConvertToChar(), static_cast<size_t>(text.GetLengthInChar()));
}

#endif  // PLAN_TEXT_H
