// Where the reader found each record and attribute of a control file, by line, and what went
// wrong in the reading itself: lines never read, fields cut at the width, keys dropped or
// given twice. Filled as the reader's observer.
#ifndef FINDINGS_READING_MAP_H
#define FINDINGS_READING_MAP_H

#include <string>
#include <vector>

#include "controlfile/control_file_observer.h"
#include "findings/report.h"

class ReadingMap : public ControlFileObserver {
 public:
  struct Attribute {
    int line;
    std::string key;  // upper-cased, as the store keeps it
    bool value_cut;
  };
  struct Record {
    int line;
    bool identifier_cut;
    std::vector<Attribute> attributes;
  };

  void OnBytes(const char* bytes, size_t size) override;
  // The rest after the stop is read to count the lines never read, up to a limit: an input
  // that goes on (a device, a pipe that keeps writing) is not read for ever.
  bool WantsRest() const override { return bytes_.size() < stop_ + kRestLimit; }
  void OnRecord(size_t offset, bool cut) override;
  void OnAttribute(size_t offset, const CATString& key, bool value_cut) override;
  void OnMismatch(size_t offset, bool key_too_long) override;

  // The records in file order, as the store holds them.
  const std::vector<Record>& records() const { return records_; }
  // The line of the attribute whose value record `index` keeps for `key`, or the record's own
  // line when it has no such attribute.
  int KeyLine(size_t index, const std::string& key) const;

  void Check(Report* report) const;

 private:
  int LineOf(size_t offset) const;
  // The column (from 1) of the first NUL byte on `line`, or 0 when it has none.
  size_t NulColumn(int line) const;
  // Why the line at `offset`, where reading stopped, could not be read.
  std::string WhyNotRead(size_t offset) const;

  static constexpr size_t kRestLimit = size_t{16} << 20;
  std::string bytes_;
  std::vector<size_t> line_starts_{0};  // where each line begins
  std::vector<Record> records_;
  std::vector<size_t> dropped_keys_;
  bool mismatched_ = false;  // no line has matched since the first mismatch at stop_
  size_t stop_ = 0;
  bool stop_key_too_long_ = false;
};

#endif  // FINDINGS_READING_MAP_H
