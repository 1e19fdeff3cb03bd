// A reference reader of control files for tests and benchmarks only: it hands the two line
// patterns to the C runtime's fscanf, literally, and keeps what fscanf yields. The tool's own
// reader must give exactly the same records for every input.
#ifndef CONTROLFILE_FSCANF_REFERENCE_H
#define CONTROLFILE_FSCANF_REFERENCE_H

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

struct ScannedRecord {
  std::string identifier;                                       // as a C string, CRs kept
  std::vector<std::pair<std::string, std::string>> attributes;  // raw key and value, in order
};

// Reads records from the file's position until an identifier line fails to match or its
// identifier is empty.
std::vector<ScannedRecord> ReadWithFscanf(FILE* file);

#endif  // CONTROLFILE_FSCANF_REFERENCE_H
