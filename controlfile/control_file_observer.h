// Told, while the reader reads a control file, where it found what: for tools that report on a
// control file rather than run it. Offsets count bytes from the start of the file.
#ifndef CONTROLFILE_CONTROL_FILE_OBSERVER_H
#define CONTROLFILE_CONTROL_FILE_OBSERVER_H

#include <cstddef>

#include "CATString.h"

class ControlFileObserver {
 public:
  virtual ~ControlFileObserver() = default;
  // The file's bytes in order, a piece at a time: those the reader takes, each piece before
  // the calls below that concern it; then, once the reading has stopped, the rest of the file,
  // a piece at a time for as long as WantsRest() is true.
  virtual void OnBytes(const char* bytes, size_t size) = 0;
  virtual bool WantsRest() const { return false; }
  // A record's identifier line; `cut` when the identifier was cut at the width.
  virtual void OnRecord(size_t offset, bool cut) = 0;
  // An attribute line of the record last begun, with its key as written.
  virtual void OnAttribute(size_t offset, const CATString& key, bool value_cut) = 0;
  // Where a record's or an attribute's line was looked for and none matched; `key_too_long`
  // when the line's key went on past the width.
  virtual void OnMismatch(size_t offset, bool key_too_long) = 0;
};

#endif  // CONTROLFILE_CONTROL_FILE_OBSERVER_H
