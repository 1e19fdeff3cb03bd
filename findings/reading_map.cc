#include "findings/reading_map.h"

#include <algorithm>
#include <map>

#include "controlfile/control_scanner.h"

void ReadingMap::OnBytes(const char* bytes, size_t size) {
  const size_t from = bytes_.size();
  bytes_.append(bytes, size);
  for (size_t i = from; i < bytes_.size(); ++i) {
    if (bytes_[i] == '\n') line_starts_.push_back(i + 1);
  }
}

void ReadingMap::OnRecord(size_t offset, bool cut) {
  records_.push_back({LineOf(offset), cut, {}});
  mismatched_ = false;
}

void ReadingMap::OnAttribute(size_t offset, const CATString& key, bool value_cut) {
  CATString upper = key;
  upper.ToUpper();
  records_.back().attributes.push_back({LineOf(offset), upper.CastToCharPtr(), value_cut});
}

void ReadingMap::OnMismatch(size_t offset, bool key_too_long) {
  if (key_too_long) dropped_keys_.push_back(offset);
  if (!mismatched_) {
    stop_ = offset;
    stop_key_too_long_ = key_too_long;
  }
  mismatched_ = true;
}

int ReadingMap::LineOf(size_t offset) const {
  return static_cast<int>(std::upper_bound(line_starts_.begin(), line_starts_.end(), offset) -
                          line_starts_.begin());
}

int ReadingMap::KeyLine(size_t index, const std::string& key) const {
  const Record& record = records_[index];
  for (auto it = record.attributes.rbegin(); it != record.attributes.rend(); ++it) {
    if (it->key == key) return it->line;
  }
  return record.line;
}

std::string ReadingMap::WhyNotRead(size_t offset) const {
  if (stop_key_too_long_) return "an attribute line whose key is longer than 65,535 characters";
  if (offset > 0 && !IsControlFileSpace(bytes_[offset - 1])) {
    return "the rest of a line cut at 65,535 characters is read as a line of its own";
  }
  const size_t end = std::min(bytes_.find('\n', offset), bytes_.size());
  const std::string line = bytes_.substr(offset, end - offset);
  if (offset == 0 && line[0] != '@') return "the file must begin with \"@\"";
  if (line[0] == '@') return "an identifier line with no identifier";
  if (line[0] != '{') return "neither an identifier line (@...) nor an attribute line ({KEY}VALUE)";
  if (line.size() > 1 && line[1] == '}') return "an attribute line with an empty key";
  const size_t close = line.find('}');
  if (close == std::string::npos) return "an attribute line without its closing \"}\"";
  if (close + 1 == line.size()) return "an attribute line with an empty value";
  return "a line that is not read";
}

size_t ReadingMap::NulColumn(int line) const {
  if (line < 1 || static_cast<size_t>(line) > line_starts_.size()) return 0;
  const size_t start = line_starts_[static_cast<size_t>(line - 1)];
  const size_t end = static_cast<size_t>(line) < line_starts_.size()
                         ? line_starts_[static_cast<size_t>(line)]
                         : bytes_.size();
  const size_t nul = bytes_.find('\0', start);
  return nul < end ? nul - start + 1 : 0;
}

void ReadingMap::Check(Report* report) const {
  for (const Record& record : records_) {
    if (const size_t column = NulColumn(record.line)) {
      report->Error(record.line, "a NUL byte at column " + std::to_string(column) +
                                     " ends the identifier there for the tool; remove it");
    }
    if (record.identifier_cut) {
      report->Error(record.line,
                    "identifier longer than 65,535 characters; it is cut to its first 65,535");
    }
    std::map<std::string, int> first_lines;
    for (const Attribute& attribute : record.attributes) {
      if (const size_t column = NulColumn(attribute.line)) {
        report->Error(attribute.line, "a NUL byte at column " + std::to_string(column) +
                                          " ends the value of " + Quoted(attribute.key) +
                                          " there for the tool; remove it");
      }
      if (attribute.value_cut) {
        report->Error(attribute.line, "value of " + Quoted(attribute.key) +
                                          " longer than 65,535 characters; it is cut to its "
                                          "first 65,535");
      }
      const auto inserted = first_lines.emplace(attribute.key, attribute.line);
      if (!inserted.second) {
        report->Warning(attribute.line, "key " + Quoted(attribute.key) +
                                            " given twice in this record " + "(first at line " +
                                            std::to_string(inserted.first->second) +
                                            "); the later value wins");
      }
    }
  }
  for (size_t offset : dropped_keys_) {
    report->Error(LineOf(offset), "key longer than 65,535 characters; the attribute is dropped");
  }
  if (mismatched_ && stop_ < bytes_.size()) {
    const int line = LineOf(stop_);
    int ignored = 0;
    for (size_t l = static_cast<size_t>(line); l < line_starts_.size(); ++l) {
      const size_t end = l + 1 < line_starts_.size() ? line_starts_[l + 1] : bytes_.size();
      ignored += std::any_of(bytes_.begin() + line_starts_[l], bytes_.begin() + end,
                             [](char c) { return !IsControlFileSpace(c); })
                     ? 1
                     : 0;
    }
    report->Error(line, "reading stops here: " + WhyNotRead(stop_) + "; this line and " +
                            (WantsRest() ? "the " + std::to_string(ignored) +
                                               " non-empty lines after it are ignored"
                                         : "all after it (more than 16 MiB) are ignored"));
  }
}
