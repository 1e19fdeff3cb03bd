#include "plan/rename_records.h"

#include "output/output.h"

namespace {

const CATUnicodeString& OrFallback(const CATUnicodeString& value,
                                   const CATUnicodeString& fallback) {
  return value == CATUnicodeString() ? fallback : value;
}

}  // namespace

void ZTRDocument::Dump() const {
  ConsoleLine("ZTRDocument");
  ConsoleLine("PartNumber: ", PartNumber.ConvertToChar());
  ConsoleLine("ExternalLocation: ", ExternalLocation.ConvertToChar());
}

ZTRChangeableDocument::ZTRChangeableDocument(const CATUnicodeString& part_number,
                                             const CATUnicodeString& external_location,
                                             const CATUnicodeString& new_part_number,
                                             const CATUnicodeString& new_external_location)
    : ZTRDocument(part_number, external_location),
      NewPartNumber(OrFallback(new_part_number, part_number)),
      NewExternalLocation(OrFallback(new_external_location, external_location)) {}

void ZTRChangeableDocument::Dump() const {
  ConsoleLine("ZTRChangeableDocument");
  ZTRDocument::Dump();
  ConsoleLine("NewPartNumber: ", NewPartNumber.ConvertToChar());
  ConsoleLine("NewExternalLocation: ", NewExternalLocation.ConvertToChar());
}

ZTRDocumentInstance::ZTRDocumentInstance(const CATUnicodeString& parent_part_number,
                                         const CATUnicodeString& instance_name,
                                         const CATUnicodeString& new_instance_name)
    : ParentPartNumber(parent_part_number),
      Instancename(instance_name),
      NewInstancename(OrFallback(new_instance_name, instance_name)) {}

void ZTRDocumentInstance::Dump() const {
  ConsoleLine("ZTRDocumentInstance");
  ConsoleLine("ParentPartNumber: ", ParentPartNumber.ConvertToChar());
  ConsoleLine("Instancename: ", Instancename.ConvertToChar());
  ConsoleLine("NewInstancename: ", NewInstancename.ConvertToChar());
}
