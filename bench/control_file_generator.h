// Generated control files for timing the tool: records of three or four attributes each, as a
// product structure's control file has them, with ROOT first. What each run must show in its
// log is known in advance, so that a benchmark can check that the run did the work it timed.
#ifndef BENCH_CONTROL_FILE_GENERATOR_H
#define BENCH_CONTROL_FILE_GENERATOR_H

#include <string>

struct GeneratedControlFile {
  long records = 0;
  long attributes = 0;
  long bytes = 0;
  // Listed under ROOT.
  int documents = 0;
  int changeable_documents = 0;
  int instances = 0;
};

// `records` records (at least 2). ROOT lists one document, the file's last record, whose file
// does not exist: a run reads the whole file, builds a plan of that one document and ends at
// loading it, which the log shows only when the reader read to the end (kEndOfFileDocument).
bool WriteReadingControlFile(const std::string& path, long records, GeneratedControlFile* facts);
extern const char kEndOfFileDocument[];

// `records` records (at least 11) with a tenth of them, at most 5,000 documents, 2,500 changeable
// documents and 5,000 instances, listed under ROOT in a shuffled order and spread over the whole
// file. Every listed document is the stand-in document `document` (a file name in the control
// file's folder) under its own part number; every instance names a listed document's part
// number and an instance name that the document does not have, except the last, whose parent
// part number no document has (kMissingParent): a run loads every listed document, looks
// every instance's parent up, and stops at the last instance, saving nothing.
bool WritePlanControlFile(const std::string& path, long records, const std::string& document,
                          GeneratedControlFile* facts);
extern const char kMissingParent[];

#endif  // BENCH_CONTROL_FILE_GENERATOR_H
