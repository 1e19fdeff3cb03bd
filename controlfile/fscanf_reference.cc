#include "controlfile/fscanf_reference.h"

#include <memory>

#include "controlfile/control_scanner.h"

std::vector<ScannedRecord> ReadWithFscanf(FILE* file, bool buffers_per_record) {
  std::vector<ScannedRecord> records;
  std::unique_ptr<char[]> first(new char[65536]);
  std::unique_ptr<char[]> second(new char[65536]);
  for (;;) {
    if (buffers_per_record) {
      first.reset(new char[65536]());
      second.reset(new char[65536]());
    }
    if (std::fscanf(file, "@%65535[^\n]\n", first.get()) != 1) break;
    ScannedRecord record;
    record.identifier = first.get();
    while (std::fscanf(file, "{%65535[^}]}%65535[^\n]\n", first.get(), second.get()) == 2) {
      record.attributes.emplace_back(first.get(), second.get());
    }
    records.push_back(std::move(record));
  }
  return records;
}

std::vector<ScannedRecord> ReadWithScanner(FILE* file) {
  std::vector<ScannedRecord> records;
  std::unique_ptr<char[]> first(new char[kControlFieldBuffer]);
  std::unique_ptr<char[]> second(new char[kControlFieldBuffer]);
  FileBytes bytes(file);
  while (ScanIdentifierLine(bytes, first.get())) {
    ScannedRecord record;
    record.identifier = first.get();
    while (ScanAttributeLine(bytes, first.get(), second.get())) {
      record.attributes.emplace_back(first.get(), second.get());
    }
    records.push_back(std::move(record));
  }
  return records;
}
