// The three kinds of rename record. A record holds copies of its control-file values; a new
// value given empty falls back to the current one.
#ifndef PLAN_RENAME_RECORDS_H
#define PLAN_RENAME_RECORDS_H

#include "CATUnicodeString.h"

// A document opened in the session and saved again under its own file path.
class ZTRDocument {
 public:
  ZTRDocument(const CATUnicodeString& part_number, const CATUnicodeString& external_location)
      : ExternalLocation(external_location), PartNumber(part_number) {}
  // Writes the record to the console while the trace switch is on.
  void Dump() const;

  CATUnicodeString ExternalLocation;
  CATUnicodeString PartNumber;
};

// A document that gets a new part number and is saved under a new file path.
class ZTRChangeableDocument : public ZTRDocument {
 public:
  ZTRChangeableDocument(const CATUnicodeString& part_number,
                        const CATUnicodeString& external_location,
                        const CATUnicodeString& new_part_number,
                        const CATUnicodeString& new_external_location);
  void Dump() const;

  CATUnicodeString NewPartNumber;
  CATUnicodeString NewExternalLocation;
};

// A component instance, under the product of the document with ParentPartNumber, that gets a
// new instance name.
class ZTRDocumentInstance {
 public:
  ZTRDocumentInstance(const CATUnicodeString& parent_part_number,
                      const CATUnicodeString& instance_name,
                      const CATUnicodeString& new_instance_name);
  void Dump() const;

  CATUnicodeString ParentPartNumber;
  CATUnicodeString Instancename;
  CATUnicodeString NewInstancename;
};

#endif  // PLAN_RENAME_RECORDS_H
