// Told, while the reader reads a control file, where it found what: for tools that report on a
// control file rather than run it. Offsets count bytes from the start of the file.
#ifndef CONTROLFILE_CONTROL_FILE_OBSERVER_H
#define CONTROLFILE_CONTROL_FILE_OBSERVER_H

#include <cstddef>
#include <string>

#include "CATString.h"

class ControlFileObserver {
 public:
  virtual ~ControlFileObserver() = default;
  // The file's bytes, before any record is read.
  virtual void OnBytes(const std::string& bytes) = 0;
  // A record's identifier line; `cut` when the identifier was cut at the width.
  virtual void OnRecord(size_t offset, bool cut) = 0;
  // An attribute line of the record last begun, with its key as written.
  virtual void OnAttribute(size_t offset, const CATString& key, bool value_cut) = 0;
  // Where a record's or an attribute's line was looked for and none matched; `key_too_long`
  // when the line's key went on past the width.
  virtual void OnMismatch(size_t offset, bool key_too_long) = 0;
};

#endif  // CONTROLFILE_CONTROL_FILE_OBSERVER_H
