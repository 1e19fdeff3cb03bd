// libFuzzer target for the control-file reader: any bytes must read without a crash, a hang
// or a read past a buffer, giving the records that fscanf with the same patterns gives and
// leaving the stream where fscanf leaves it, and the rename plan must build and dump, and
// Quorvel-check report, whatever was read.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "ZTRConfigTopicManager.h"
#include "check/plan_check.h"
#include "controlfile/fscanf_reference.h"
#include "controlfile/ztr_object.h"
#include "controlfile/ztr_object_manager.h"
#include "findings/reading_map.h"
#include "findings/report.h"
#include "plan/ztr_document_manager.h"

namespace {

// The record the store keeps for what fscanf yields.
bool SameRecord(const ZTRObject& object, const ScannedRecord& scanned) {
  CATString identifier(scanned.identifier.c_str());
  identifier.Strip(CATString::CATStripModeTrailing, '\r');
  ZTRObject wanted;
  for (const auto& attribute : scanned.attributes) {
    wanted.SetAttribute(attribute.first.c_str(), attribute.second.c_str());
  }
  if (!(object.GetIdentifier() == identifier) ||
      object.AttributeCount() != wanted.AttributeCount()) {
    return false;
  }
  for (int k = 1; k <= wanted.AttributeCount(); ++k) {
    if (std::strcmp(object.Key(k), wanted.Key(k)) != 0 ||
        std::strcmp(object.Value(k), wanted.Value(k)) != 0) {
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
  // Record by record from a stream, as fscanf reads them, with a runtime buffer of a few bytes
  // so that lines are cut across refills.
  std::vector<ScannedRecord> expected;
  if (size > 0) {
    FILE* reference = fmemopen(const_cast<char*>(bytes), size, "rb");
    FILE* stream = fmemopen(const_cast<char*>(bytes), size, "rb");
    if (reference == nullptr || stream == nullptr) std::abort();
    std::vector<char> buffer(1 + size % 61);
    std::setvbuf(stream, buffer.data(), _IOFBF, buffer.size());
    expected = ReadWithFscanf(reference);
    size_t read = 0;
    for (ZTRObject object; object.ReadFromFile(stream); ++read) {
      if (read >= expected.size() || !SameRecord(object, expected[read])) std::abort();
    }
    if (read != expected.size() || std::ftell(stream) != std::ftell(reference)) std::abort();
    std::fclose(reference);
    std::fclose(stream);
  }

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
    if (static_cast<size_t>(objects.Size()) != expected.size()) std::abort();
    for (int i = 1; i <= objects.Size(); ++i) {
      if (!SameRecord(*objects.GetObject(i), expected[static_cast<size_t>(i) - 1])) std::abort();
    }
    objects.Dump();
    ZTRDocumentManager plan(objects, &log);
    plan.Dump();
    // Quorvel-check's findings on the same reading.
    Report report;
    map.Check(&report);
    CheckedPlan listed;
    CheckPlan(Disk(), objects, plan, map, &listed, &report);
    report.Print("fuzz.ztr", console);
    if (plan.DocumentInstanceCount() > 0) {
      plan.FindDocumentName(plan.DocumentInstanceAt(1).ParentPartNumber);
    }
  }
  std::cout.rdbuf(old);
  return 0;
}
