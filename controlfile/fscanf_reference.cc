#include "controlfile/fscanf_reference.h"

#include <memory>

#include "controlfile/control_scanner.h"

std::vector<ScannedRecord> ReadWithFscanf(FILE* file) {
  std::vector<ScannedRecord> records;
  std::unique_ptr<char[]> first(new char[65536]);
  std::unique_ptr<char[]> second(new char[65536]);
  while (std::fscanf(file, "@%65535[^\n]\n", first.get()) == 1) {
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
  std::string first, second;
  while (ScanIdentifierLine(file, &first)) {
    ScannedRecord record;
    record.identifier = first.c_str();
    while (ScanAttributeLine(file, &first, &second)) {
      record.attributes.emplace_back(first.c_str(), second.c_str());
    }
    records.push_back(std::move(record));
  }
  return records;
}
