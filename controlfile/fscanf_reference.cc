#include "controlfile/fscanf_reference.h"

#include <memory>

std::vector<ScannedRecord> ReadWithFscanf(FILE* file) {
  std::vector<ScannedRecord> records;
  std::unique_ptr<char[]> first(new char[65536]);
  std::unique_ptr<char[]> second(new char[65536]);
  // An identifier is the line's text up to a NUL byte; an empty one is none.
  while (std::fscanf(file, "@%65535[^\n]\n", first.get()) == 1 && first[0] != '\0') {
    ScannedRecord record;
    record.identifier = first.get();
    while (std::fscanf(file, "{%65535[^}]}%65535[^\n]\n", first.get(), second.get()) == 2) {
      record.attributes.emplace_back(first.get(), second.get());
    }
    records.push_back(std::move(record));
  }
  return records;
}
