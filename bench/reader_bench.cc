// Reads a generated control file of 100,000 records (three or four attributes each) in one
// run with the tool's reader and with a reference that hands the two line patterns to
// fscanf, and prints both times and their ratio. Both take every field of every record into
// the same two 65,536-byte buffers and add up what they found, so the times compare the
// reading itself. The time of the whole ReadFile, which also builds the object store, is
// printed beside them. Each reading runs seven times and the best time counts.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

#include "controlfile/control_scanner.h"
#include "controlfile/ztr_object_manager.h"

namespace {

const int kRecords = 100000;
const int kRounds = 7;

std::string ControlFile() {
  std::string text = "@ROOT\n{PARENT_OBJECTS}{D1}\n{CHILD_OBJECTS}{D2}\n";
  for (int i = 1; i < kRecords; ++i) {
    const std::string n = std::to_string(i);
    text += "@D" + n + "\n";
    text += "{PARTNUMBER}PRT-" + n + "-A\n";
    text += "{EXTERNAL_LOCATION}C:\\Projects\\Bracket\\parts\\part_" + n + ".CATPart\n";
    text += "{NEW_PARTNUMBER}PRT-" + n + "-B\n";
    if (i % 2 == 0) {
      text += "{NEW_EXTERNAL_LOCATION}C:\\Projects\\Bracket\\new\\part_" + n + ".CATPart\n";
    }
  }
  return text;
}

// What a reading found: records, attributes and the bytes of their fields as C strings.
struct Tally {
  long records = 0;
  long attributes = 0;
  long field_bytes = 0;
  bool operator==(const Tally& o) const {
    return records == o.records && attributes == o.attributes && field_bytes == o.field_bytes;
  }
};

class Buffers {
 public:
  char* first() { return first_.get(); }
  char* second() { return second_.get(); }

 private:
  std::unique_ptr<char[]> first_{new char[kControlFieldBuffer]()};
  std::unique_ptr<char[]> second_{new char[kControlFieldBuffer]()};
};

Tally ReadWithTheToolsScanner(const char* path, Buffers* buffers) {
  Tally tally;
  std::string contents;
  if (!ReadControlFileBytes(path, &contents)) return tally;
  BufferBytes bytes(contents.data(), contents.data() + contents.size());
  while (ScanIdentifierLine(bytes, buffers->first())) {
    ++tally.records;
    tally.field_bytes += static_cast<long>(std::strlen(buffers->first()));
    while (ScanAttributeLine(bytes, buffers->first(), buffers->second())) {
      ++tally.attributes;
      tally.field_bytes +=
          static_cast<long>(std::strlen(buffers->first()) + std::strlen(buffers->second()));
    }
  }
  return tally;
}

Tally ReadWithFscanf(const char* path, Buffers* buffers) {
  Tally tally;
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return tally;
  while (std::fscanf(file, "@%65535[^\n]\n", buffers->first()) == 1) {
    ++tally.records;
    tally.field_bytes += static_cast<long>(std::strlen(buffers->first()));
    while (std::fscanf(file, "{%65535[^}]}%65535[^\n]\n", buffers->first(), buffers->second()) ==
           2) {
      ++tally.attributes;
      tally.field_bytes +=
          static_cast<long>(std::strlen(buffers->first()) + std::strlen(buffers->second()));
    }
  }
  std::fclose(file);
  return tally;
}

template <typename Read>
double BestMilliseconds(Read read) {
  double best = 1e99;
  for (int round = 0; round < kRounds; ++round) {
    const auto start = std::chrono::steady_clock::now();
    read();
    const std::chrono::duration<double, std::milli> spent =
        std::chrono::steady_clock::now() - start;
    if (spent.count() < best) best = spent.count();
  }
  return best;
}

}  // namespace

int main() {
  char path[] = "/tmp/quorvel-reader-bench-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) {
    std::perror("mkstemp");
    return 1;
  }
  close(fd);
  const std::string text = ControlFile();
  std::ofstream(path, std::ios::binary) << text;

  Buffers buffers;
  Tally tool_tally, reference_tally;
  const double tool =
      BestMilliseconds([&] { tool_tally = ReadWithTheToolsScanner(path, &buffers); });
  const double reference =
      BestMilliseconds([&] { reference_tally = ReadWithFscanf(path, &buffers); });
  int objects = 0;
  std::unique_ptr<ZTRObjectManager> store;
  const double whole = BestMilliseconds([&] {
    store.reset();  // the previous round's store is freed before the clock starts again
    store = std::make_unique<ZTRObjectManager>();
    store->ReadFile(path);
    objects = store->Size();
  });
  std::remove(path);

  std::printf("control file: %ld records, %ld attributes, %zu bytes\n", tool_tally.records,
              tool_tally.attributes, text.size());
  std::printf("tool reader:       %7.1f ms\n", tool);
  std::printf("fscanf reference:  %7.1f ms\n", reference);
  std::printf("ratio: the tool's reader is %.1f times faster\n", reference / tool);
  std::printf("whole ReadFile, object store built: %.1f ms for %d objects\n", whole, objects);
  if (!(tool_tally == reference_tally) || objects != tool_tally.records) {
    std::printf("the readers disagree\n");
    return 1;
  }
  return 0;
}
