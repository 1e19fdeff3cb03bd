// ZTRObjectManager: the object store, every record of the control file in file order. It owns
// its objects; the pointers it hands out stay valid until it is destroyed.
#ifndef CONTROLFILE_ZTR_OBJECT_MANAGER_H
#define CONTROLFILE_ZTR_OBJECT_MANAGER_H

#include <cstddef>
#include <deque>
#include <memory_resource>
#include <utility>
#include <vector>

#include "CATString.h"
#include "CATUnicodeString.h"
#include "controlfile/control_file_observer.h"
#include "controlfile/ztr_object.h"

class ZTRObjectManager {
 public:
  // Appends every record of the named file, read as a stream up to the first line that is no
  // record's: what follows is read no further than the chunk that holds that line, and from a
  // pipe not at all. False only when the file cannot be opened or read (a directory cannot); a
  // file that holds no record reads as true. An `observer` is told where each record and
  // attribute line was found, and where lines did not match, then given the rest of the file.
  bool ReadFile(const CATUnicodeString& file_name, ControlFileObserver* observer = nullptr);
  // The same for a control file's text held in memory, which cannot fail.
  void ReadText(std::string_view text, ControlFileObserver* observer = nullptr);

  // The first object whose identifier equals `identifier` exactly, or null. The first calls
  // search from the start; once they have gone through as many objects as the store holds,
  // the store indexes its identifiers, and each call takes the same time however many objects
  // there are.
  const ZTRObject* FindObject(const CATString& identifier) const;

  // Writes every object to the console while the trace switch is on.
  void Dump() const;

  int Size() const { return static_cast<int>(objects_.size()); }
  // The object at `position`, from 1 to Size(); another position aborts the process.
  const ZTRObject* GetObject(int position) const;

 private:
  // The objects' texts, freed all at once with the store.
  std::pmr::monotonic_buffer_resource texts_;
  std::deque<ZTRObject> objects_;
  // Objects gone through by FindObject's searches from the start, before the index is built.
  mutable size_t searched_ = 0;
  // Each object's position by the hash of its identifier, in order: the objects with one
  // identifier lie together, the first first.
  mutable std::vector<std::pair<size_t, size_t>> by_hash_;
};

#endif  // CONTROLFILE_ZTR_OBJECT_MANAGER_H
