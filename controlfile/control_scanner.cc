#include "controlfile/control_scanner.h"

namespace {

bool IsScanSpace(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Matches one literal byte; a different byte stays unread.
bool MatchLiteral(FILE* file, int literal) {
  const int c = getc_unlocked(file);
  if (c == literal) return true;
  if (c != EOF) ungetc(c, file);
  return false;
}

// Matches up to kControlFieldWidth bytes other than `stop` into `field`; `stop` stays unread.
// True when at least one byte matched.
bool ScanField(FILE* file, int stop, std::string* field) {
  field->clear();
  for (int n = 0; n < kControlFieldWidth; ++n) {
    const int c = getc_unlocked(file);
    if (c == EOF) break;
    if (c == stop) {
      ungetc(c, file);
      break;
    }
    field->push_back(static_cast<char>(c));
  }
  return !field->empty();
}

void SkipSpace(FILE* file) {
  int c;
  do {
    c = getc_unlocked(file);
  } while (c != EOF && IsScanSpace(c));
  if (c != EOF) ungetc(c, file);
}

}  // namespace

bool ScanIdentifierLine(FILE* file, std::string* identifier) {
  flockfile(file);
  const bool matched = MatchLiteral(file, '@') && ScanField(file, '\n', identifier);
  if (matched) SkipSpace(file);
  funlockfile(file);
  return matched;
}

bool ScanAttributeLine(FILE* file, std::string* key, std::string* value) {
  flockfile(file);
  const bool matched = MatchLiteral(file, '{') && ScanField(file, '}', key) &&
                       MatchLiteral(file, '}') && ScanField(file, '\n', value);
  if (matched) SkipSpace(file);
  funlockfile(file);
  return matched;
}
