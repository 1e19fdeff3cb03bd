// The findings of a check, printed the way compilers print theirs, so that editors can jump to
// them: "FILE:LINE: error: MESSAGE" or "FILE:LINE: warning: MESSAGE", sorted by line, then a
// count "N errors, M warnings" (in the singular for one). Messages name values and files as
// findings/display_text.h quotes them; the file of the prefix is escaped the same way.
#ifndef FINDINGS_REPORT_H
#define FINDINGS_REPORT_H

#include <ostream>
#include <string>
#include <vector>

#include "findings/display_text.h"

class Report {
 public:
  void Error(int line, const std::string& message) { Add(line, true, message); }
  void Warning(int line, const std::string& message) { Add(line, false, message); }
  // An error at a place of the line that is printed instead of it, such as a workbook's cell
  // "D7"; it sorts by its line all the same.
  void ErrorAt(int line, const std::string& place, const std::string& message) {
    findings_.push_back({line, true, message, place});
  }

  // Prints every finding, in line order (findings of one line in the order they were made),
  // and the count.
  void Print(const std::string& file, std::ostream& out) const;
  // The findings alone, for a report over several files that ends with one count.
  void PrintFindings(const std::string& file, std::ostream& out) const;
  size_t Errors() const;
  size_t Warnings() const { return findings_.size() - Errors(); }

  // 0 no finding, 1 warnings only, 2 at least one error.
  int ExitCode() const;

 private:
  struct Finding {
    int line;
    bool error;
    std::string message;
    std::string place;  // printed instead of the line when not empty
  };
  void Add(int line, bool error, const std::string& message) {
    findings_.push_back({line, error, message, std::string()});
  }

  std::vector<Finding> findings_;
};

// "N errors, M warnings", in the singular for one.
void PrintCount(size_t errors, size_t warnings, std::ostream& out);

#endif  // FINDINGS_REPORT_H
