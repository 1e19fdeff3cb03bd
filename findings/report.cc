#include "findings/report.h"

#include <algorithm>
#include <cstdio>

void Report::Print(const std::string& file, std::ostream& out) const {
  std::vector<Finding> sorted = findings_;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const Finding& a, const Finding& b) { return a.line < b.line; });
  int errors = 0;
  for (const Finding& finding : sorted) {
    errors += finding.error ? 1 : 0;
    out << file << ":";
    if (finding.place.empty()) {
      out << finding.line;
    } else {
      out << finding.place;
    }
    out << ": " << (finding.error ? "error" : "warning") << ": " << finding.message << "\n";
  }
  const size_t warnings = sorted.size() - static_cast<size_t>(errors);
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

std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  for (unsigned char c : text) {
    if (c == '\n') {
      quoted += "\\n";
    } else if (c == '\r') {
      quoted += "\\r";
    } else if (c == '\\' || c == '"') {
      quoted += '\\';
      quoted += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7f) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
      quoted += escaped;
    } else {
      quoted += static_cast<char>(c);
    }
  }
  return quoted + "\"";
}
