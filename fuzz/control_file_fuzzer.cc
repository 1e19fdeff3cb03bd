// libFuzzer target for the control-file reader: any bytes must read without a crash, a hang
// or a read past a buffer, with the same records from a file stream as from memory, and the
// rename plan must build and dump, and Quorvel-check report, whatever was read.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

#include "ZTRConfigTopicManager.h"
#include "check/plan_check.h"
#include "check/reading_map.h"
#include "check/report.h"
#include "controlfile/control_scanner.h"
#include "controlfile/ztr_object.h"
#include "controlfile/ztr_object_manager.h"
#include "plan/ztr_document_manager.h"

namespace {

bool SameRecord(const ZTRObject& a, const ZTRObject& b) {
  if (!(a.GetIdentifier() == b.GetIdentifier()) || a.GetKeys().Size() != b.GetKeys().Size()) {
    return false;
  }
  for (int k = 1; k <= a.GetKeys().Size(); ++k) {
    if (!(a.GetKeys()[k] == b.GetKeys()[k]) || !(a.GetValues()[k] == b.GetValues()[k])) {
      return false;
    }
  }
  return true;
}

// The file the whole reader reads each input from, removed when the fuzzer exits.
class ScratchFile {
 public:
  ScratchFile() : path_("/tmp/quorvel-fuzz-" + std::to_string(getpid()) + ".ztr") {}
  ~ScratchFile() { std::remove(path_.c_str()); }
  const char* path() const { return path_.c_str(); }

 private:
  std::string path_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Everything runs with the console on, written to memory: the fuzzer's own output stays clean.
  std::ostringstream console, log;
  std::streambuf* old = std::cout.rdbuf(console.rdbuf());
  g_ZTRConfig.SetTraceLevel(1);
  const char* bytes = reinterpret_cast<const char*>(data);
  // Memory and a file stream over the same bytes give the same records.
  FILE* stream = fmemopen(const_cast<char*>(bytes), size, "rb");
  BufferBytes buffer(bytes, bytes + size);
  for (;;) {
    ZTRObject from_buffer, from_stream;
    const bool read_buffer = from_buffer.ReadFromBuffer(&buffer);
    const bool read_stream = stream != nullptr && size > 0 && from_stream.ReadFromFile(stream);
    if (size > 0 && read_buffer != read_stream) std::abort();
    if (!read_buffer) break;
    if (size > 0 && !SameRecord(from_buffer, from_stream)) std::abort();
  }
  if (stream != nullptr) std::fclose(stream);

  // The whole reader, the plan built from it, and both dumps.
  static const ScratchFile scratch;
  FILE* file = std::fopen(scratch.path(), "wb");
  if (file == nullptr) {
    std::cout.rdbuf(old);
    return 0;
  }
  std::fwrite(data, 1, size, file);
  std::fclose(file);
  {
    ZTRObjectManager objects;
    ReadingMap map;
    objects.ReadFile(scratch.path(), &map);
    objects.Dump();
    ZTRDocumentManager plan(objects, &log);
    plan.Dump();
    // Quorvel-check's findings on the same reading.
    Report report;
    map.Check(&report);
    CheckedPlan listed;
    CheckPlan(objects, plan, map, &listed, &report);
    report.Print("fuzz.ztr", console);
    if (plan.DocumentInstanceCount() > 0) {
      plan.FindDocumentName(plan.DocumentInstanceAt(1).ParentPartNumber);
    }
  }
  std::cout.rdbuf(old);
  return 0;
}
