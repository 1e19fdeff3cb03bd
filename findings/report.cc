#include "findings/report.h"

#include <algorithm>

void Report::Print(const std::string& file, std::ostream& out) const {
  PrintFindings(file, out);
  PrintCount(Errors(), Warnings(), out);
}

void Report::PrintFindings(const std::string& file, std::ostream& out) const {
  std::vector<Finding> sorted = findings_;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const Finding& a, const Finding& b) { return a.line < b.line; });
  for (const Finding& finding : sorted) {
    out << DisplayText(file) << ":";
    if (finding.place.empty()) {
      out << finding.line;
    } else {
      out << finding.place;
    }
    out << ": " << (finding.error ? "error" : "warning") << ": " << finding.message << "\n";
  }
}

size_t Report::Errors() const {
  return static_cast<size_t>(std::count_if(findings_.begin(), findings_.end(),
                                           [](const Finding& finding) { return finding.error; }));
}

void PrintCount(size_t errors, size_t warnings, std::ostream& out) {
  out << errors << (errors == 1 ? " error, " : " errors, ") << warnings
      << (warnings == 1 ? " warning" : " warnings") << std::endl;
}

int Report::ExitCode() const {
  if (findings_.empty()) return 0;
  for (const Finding& finding : findings_) {
    if (finding.error) return 2;
  }
  return 1;
}
