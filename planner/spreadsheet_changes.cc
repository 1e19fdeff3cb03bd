#include "planner/spreadsheet_changes.h"

#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

bool Digit(char c) { return c >= '0' && c <= '9'; }

// The digits from `*at` on (from 0 with no `at`), which it moves past; returns how many.
size_t Digits(const std::string& text, size_t* at) {
  size_t from = 0;
  if (at == nullptr) at = &from;
  const size_t start = *at;
  while (*at < text.size() && Digit(text[*at])) ++*at;
  return *at - start;
}

// A number as spreadsheets read one: a sign, digits with a decimal point, an exponent.
struct Number {
  bool plus = false;
  std::string whole, fraction;  // the digits before and after the point
  bool point = false, exponent = false;
};

bool ReadNumber(const std::string& text, Number* number) {
  size_t at = 0;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) number->plus = text[at++] == '+';
  size_t start = at;
  Digits(text, &at);
  number->whole = text.substr(start, at - start);
  if (at < text.size() && text[at] == '.') {
    number->point = true;
    start = ++at;
    Digits(text, &at);
    number->fraction = text.substr(start, at - start);
  }
  if (number->whole.empty() && number->fraction.empty()) return false;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    number->exponent = true;
    if (++at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    if (Digits(text, &at) == 0) return false;
  }
  return at == text.size();
}

bool IsNumber(const std::string& text) {
  Number number;
  return ReadNumber(text, &number);
}

bool LeadingZeros(const Number& number) {
  return number.whole.size() > 1 && number.whole[0] == '0';
}

// Why a spreadsheet would write the number `text` back otherwise; empty when as it is.
std::string NumberRisk(const std::string& text) {
  Number number;
  if (!ReadNumber(text, &number)) return std::string();
  if (LeadingZeros(number)) return "leading zeros";
  size_t significant = number.whole.size() + number.fraction.size();
  for (size_t i = 0; i < number.whole.size() && number.whole[i] == '0'; ++i) --significant;
  const bool trailing_zeros =
      number.point && (number.fraction.empty() || number.fraction.back() == '0');
  if (number.plus || number.exponent || trailing_zeros || number.whole.empty() ||
      significant > 15) {
    return "a number";
  }
  return std::string();
}

bool Letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool MonthName(const std::string& word) {
  static const char* const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                        "jul", "aug", "sep", "oct", "nov", "dec"};
  if (word.size() < 3) return false;
  std::string lower;
  for (char c : word.substr(0, 3)) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  for (const char* month : kMonths) {
    if (lower == month) return true;
  }
  return false;
}

// A day or month (1 to 2 digits up to 31, or a month's name), or a year (2 or 4 digits).
bool DayOrMonth(const std::string& group) {
  if (MonthName(group)) return true;
  return !group.empty() && group.size() <= 2 && Digit(group[0]) && std::atoi(group.c_str()) <= 31;
}
bool Year(const std::string& group) {
  return (group.size() == 2 || group.size() == 4) && Digit(group[0]);
}

// What spreadsheets read as a date or a time: "3-4", "1/2", "4-Mar", "2024-03-04", "4.3.24",
// "12:30".
bool DateLike(const std::string& text) {
  std::vector<std::string> groups(1);
  char separator = 0;
  for (char c : text) {
    if (Digit(c) || Letter(c)) {
      groups.back() += c;
    } else if ((c == '-' || c == '/' || c == '.' || c == ':') &&
               (separator == 0 || c == separator)) {
      separator = c;
      groups.emplace_back();
    } else {
      return false;
    }
  }
  for (const std::string& group : groups) {
    const bool digits = !group.empty() && Digits(group, nullptr) == group.size();
    if (!digits && !MonthName(group)) return false;
    if (!digits && group.size() > 9) return false;
  }
  if (separator == ':') {
    for (const std::string& group : groups) {
      if (group.size() > 2 || MonthName(group)) return false;
    }
    return groups.size() <= 3;
  }
  if (groups.size() == 2) return separator != '.' && DayOrMonth(groups[0]) && DayOrMonth(groups[1]);
  if (groups.size() != 3) return false;
  return (groups[0].size() == 4 && DayOrMonth(groups[1]) && DayOrMonth(groups[2])) ||
         (DayOrMonth(groups[0]) && DayOrMonth(groups[1]) && Year(groups[2]));
}

bool TruthValue(const std::string& text) {
  std::string upper;
  for (char c : text) upper += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  return upper == "TRUE" || upper == "FALSE";
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool FormulaStart(const std::string& text) {
  return !text.empty() && (text[0] == '=' || text[0] == '+' || text[0] == '-' || text[0] == '@') &&
         !IsNumber(text);
}

}  // namespace

std::string SpreadsheetRisk(const std::string& text) {
  if (text.empty()) return std::string();
  if (Trimmed(text) != text) return "blanks at its ends";
  if (FormulaStart(text)) return "a formula";
  const std::string number = NumberRisk(text);
  if (!number.empty()) return number;
  if (DateLike(text)) return "a date";
  if (TruthValue(text) && text != "TRUE" && text != "FALSE") return "a truth value";
  return std::string();
}

std::string SpreadsheetChange(const std::string& held, const std::string& shown) {
  if (held == shown) return std::string();
  if (Trimmed(held) == shown) return "the blanks at its ends were dropped";
  if (FormulaStart(held)) return "it was run as a formula";
  Number before, after;
  if (ReadNumber(held, &before) && ReadNumber(shown, &after)) {
    const double a = std::strtod(held.c_str(), nullptr), b = std::strtod(shown.c_str(), nullptr);
    if (std::fabs(a - b) <= 1e-14 * std::fmax(std::fabs(a), std::fabs(b))) {
      if (InExponentForm(shown)) return "it was written back as a number in exponent form";
      if (LeadingZeros(before)) return "its leading zeros were dropped";
      return "it was read as a number and written back as one";
    }
  }
  if (DateLike(held) || DateLike(shown)) return "it was read as a date";
  if (TruthValue(held) && TruthValue(shown)) return "it was read as a truth value";
  return std::string();
}

bool InExponentForm(const std::string& text) {
  size_t at = text.empty() || (text[0] != '+' && text[0] != '-') ? 0 : 1;
  if (Digits(text, &at) != 1) return false;
  if (at < text.size() && text[at] == '.') {
    ++at;
    if (Digits(text, &at) == 0) return false;
  }
  if (at + 2 >= text.size() || (text[at] != 'E' && text[at] != 'e') ||
      (text[at + 1] != '+' && text[at + 1] != '-')) {
    return false;
  }
  at += 2;
  return Digits(text, &at) > 0 && at == text.size();
}
