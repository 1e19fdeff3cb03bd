// ZTRObjectManager: the object store, every record of the control file in file order. It owns
// its objects; the pointers it hands out stay valid until it is destroyed.
#ifndef CONTROLFILE_ZTR_OBJECT_MANAGER_H
#define CONTROLFILE_ZTR_OBJECT_MANAGER_H

#include "CATListPV.h"
#include "CATString.h"
#include "CATUnicodeString.h"
#include "controlfile/control_file_observer.h"
#include "controlfile/ztr_object.h"

class ZTRObjectManager {
 public:
  ZTRObjectManager() = default;
  ~ZTRObjectManager();
  ZTRObjectManager(const ZTRObjectManager&) = delete;
  ZTRObjectManager& operator=(const ZTRObjectManager&) = delete;

  // Appends every record of the named file. False only when the file cannot be opened (a
  // directory cannot); a file that holds no record reads as true. An `observer` is told
  // where each record and attribute line was found, and where lines did not match.
  bool ReadFile(const CATUnicodeString& file_name, ControlFileObserver* observer = nullptr);

  // The first object whose identifier equals `identifier` exactly, or null.
  const ZTRObject* FindObject(const CATString& identifier) const;

  // Writes every object to the console while the trace switch is on.
  void Dump() const;

  int Size() const { return Objects.Size(); }
  // The object at `position`, from 1 to Size().
  const ZTRObject* GetObject(int position) const {
    return static_cast<const ZTRObject*>(Objects[position]);
  }

 private:
  CATRawCollPV Objects;
};

#endif  // CONTROLFILE_ZTR_OBJECT_MANAGER_H
