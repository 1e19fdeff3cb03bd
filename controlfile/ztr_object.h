// ZTRObject: one record of the control file, an identifier with attribute keys and values.
// Keys are upper case and unique; values are stored encoded, a line break as "@EOL@".
#ifndef CONTROLFILE_ZTR_OBJECT_H
#define CONTROLFILE_ZTR_OBJECT_H

#include <cstdio>

#include "CATListOfCATString.h"
#include "CATString.h"
#include "controlfile/control_file_observer.h"
#include "controlfile/control_scanner.h"

class ZTRObject {
 public:
  // Reads one record from the file's position: an identifier line and the attribute lines
  // after it, up to the first line that is not one. False when no identifier line is there.
  bool ReadFromFile(FILE* file);
  // The same, from the bytes of a file read into memory, telling `observer` (when there is
  // one) where it found what.
  bool ReadFromBuffer(BufferBytes* bytes, ControlFileObserver* observer = nullptr);

  // Stores one attribute: the key upper-cased, the value with blanks cut from both ends and
  // carriage returns from its end. A key given again keeps its position and takes the new
  // value. Always true.
  bool SetAttribute(const CATString& key, const CATString& value);

  // The value under `key` (any case), line breaks restored; empty when the key is absent.
  CATString GetAttribute(const CATString& key) const;

  // The value under `key` split into its items in braces; see the list rules in the .cc.
  CATListValCATString GetAttributeList(const CATString& key) const;

  // Writes the record to the console while the trace switch is on.
  void Dump() const;

  const CATString& GetIdentifier() const { return Identifier; }
  const CATListValCATString& GetKeys() const { return Keys; }
  const CATListValCATString& GetValues() const { return Values; }

 private:
  template <typename Bytes>
  bool ReadRecord(Bytes& bytes, ControlFileObserver* observer);
  // SetAttribute on copies that it may change and move into the lists.
  void StoreAttribute(CATString key, CATString value);

  CATString Identifier;
  CATListValCATString Keys;
  CATListValCATString Values;
};

#endif  // CONTROLFILE_ZTR_OBJECT_H
