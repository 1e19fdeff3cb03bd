// What spreadsheets do to text in cells that are not formatted as text, as when they open a
// CSV table: leading zeros dropped, numbers rewritten ("1.10" as "1.1", "1E5" as "100000",
// long ones in exponent form), dates read ("3-4"), formulas run ("=1+1"), blanks at the ends
// dropped. A workbook whose cells are text keeps every value as it is.
#ifndef PLANNER_SPREADSHEET_CHANGES_H
#define PLANNER_SPREADSHEET_CHANGES_H

#include <string>

// Why a spreadsheet would change or run `text` when it reads it into a cell that is not text,
// in a few words ("leading zeros", "a formula"); empty when it would keep it.
std::string SpreadsheetRisk(const std::string& text);

// How a spreadsheet may have made `shown` of `held`, in a few words ("its leading zeros were
// dropped"); empty when the difference does not look like a spreadsheet's.
std::string SpreadsheetChange(const std::string& held, const std::string& shown);

// Whether `text` has the exponent form in which spreadsheets write long numbers, such as
// "1.23456789012346E+017" or "1.2E+5", which nobody types as a name.
bool InExponentForm(const std::string& text);

#endif  // PLANNER_SPREADSHEET_CHANGES_H
