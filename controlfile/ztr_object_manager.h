// ZTRObjectManager: the object store, every record of the control file in file order. It owns
// its objects; the pointers it hands out stay valid until it is destroyed.
#ifndef CONTROLFILE_ZTR_OBJECT_MANAGER_H
#define CONTROLFILE_ZTR_OBJECT_MANAGER_H

#include <cstdint>
#include <vector>

#include "CATListPV.h"
#include "CATString.h"
#include "CATUnicodeString.h"
#include "controlfile/control_file_observer.h"
#include "controlfile/object_storage.h"
#include "controlfile/ztr_object.h"

class ZTRObjectManager {
 public:
  ZTRObjectManager() = default;
  ~ZTRObjectManager();
  ZTRObjectManager(const ZTRObjectManager&) = delete;
  ZTRObjectManager& operator=(const ZTRObjectManager&) = delete;

  // Appends every record of the named file, read as a stream up to the first line that is no
  // record's: nothing after it is read. False only when the file cannot be opened or read (a
  // directory cannot); a file that holds no record reads as true. An `observer` is told where
  // each record and attribute line was found, and where lines did not match.
  bool ReadFile(const CATUnicodeString& file_name, ControlFileObserver* observer = nullptr);

  // The first object whose identifier equals `identifier` exactly, or null. The first calls
  // search from the start; once they have gone through as many objects as the store holds,
  // the store indexes its identifiers, and each call takes the same time however many objects
  // there are.
  const ZTRObject* FindObject(const CATString& identifier) const;

  // Writes every object to the console while the trace switch is on.
  void Dump() const;

  int Size() const { return Objects.Size(); }
  // The object at `position`, from 1 to Size().
  const ZTRObject* GetObject(int position) const {
    return static_cast<const ZTRObject*>(Objects[position]);
  }

 private:
  void IndexIdentifiers() const;

  CATRawCollPV Objects;
  // The objects and their attributes live here.
  ObjectStorage Storage;
  // Objects gone through by FindObject's searches from the start, before the index is built.
  mutable size_t Searched = 0;
  // Open addressing by identifier: for the first object with each identifier, the identifier's
  // hash in the high half and the object's position in the low half; 0 in a free slot.
  mutable std::vector<uint64_t> FirstWithIdentifier;
};

#endif  // CONTROLFILE_ZTR_OBJECT_MANAGER_H
