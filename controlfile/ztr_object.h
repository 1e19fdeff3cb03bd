// ZTRObject: one record of the control file, an identifier with attribute keys and values.
// Keys are upper case and unique; values are stored encoded, a line break as "@EOL@".
#ifndef CONTROLFILE_ZTR_OBJECT_H
#define CONTROLFILE_ZTR_OBJECT_H

#include <cstddef>
#include <cstdio>

#include "CATListOfCATString.h"
#include "CATString.h"
#include "controlfile/attribute_block.h"
#include "controlfile/control_file_observer.h"
#include "controlfile/object_storage.h"

// What the records of one whole-file reading share: where they are stored, who is told where
// lines were found, and how many bytes of the file the records before took.
struct ControlFileReading {
  ObjectStorage* storage = nullptr;
  ControlFileObserver* observer = nullptr;
  size_t offset = 0;
};

class ZTRObject {
 public:
  ZTRObject() = default;
  ~ZTRObject();
  ZTRObject(const ZTRObject&) = delete;
  ZTRObject& operator=(const ZTRObject&) = delete;

  // Reads one record from the file's position: an identifier line and the attribute lines
  // after it, up to the first line that is not one; the file is left just after what was
  // matched. False when no identifier line is there, or its identifier is empty. Within a
  // whole-file reading, `reading` says where the record is kept and who is told about it.
  bool ReadFromFile(FILE* file, ControlFileReading* reading = nullptr);

  // Stores one attribute: the key upper-cased, the value with blanks cut from both ends and
  // carriage returns from its end. A key given again keeps its position and takes the new
  // value. Always true. Each call lays the record out anew, in time that grows with it (the
  // reader gathers a record's attributes before it lays it out once).
  bool SetAttribute(const CATString& key, const CATString& value);

  // The value under `key` (any case), line breaks restored; empty when the key is absent.
  CATString GetAttribute(const CATString& key) const;

  // The value under `key` split into its items in braces; see the list rules in the .cc.
  CATListValCATString GetAttributeList(const CATString& key) const;

  // Writes the record to the console while the trace switch is on.
  void Dump() const;

  CATString GetIdentifier() const { return CATString(Identifier); }
  // The identifier's text, valid as long as the object.
  const char* IdentifierText() const { return Identifier; }
  const ZTRTextList& GetKeys() const { return Keys; }
  const ZTRTextList& GetValues() const { return Values; }

 private:
  // Makes the record the one `attributes` holds (with `storage`, kept there), or none.
  void Keep(const AttributeBuilder* attributes, ObjectStorage* storage);

  const char* Identifier = "";
  ZTRTextList Keys;
  ZTRTextList Values;
};

#endif  // CONTROLFILE_ZTR_OBJECT_H
