#include "bench/control_file_generator.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

const char kEndOfFileDocument[] = "missing/end-of-file.CATPart";
const char kMissingParent[] = "NO-SUCH-PART";

namespace {

class Writer {
 public:
  explicit Writer(const std::string& path) : file_(std::fopen(path.c_str(), "wb")) {}
  ~Writer() {
    if (file_ != nullptr) std::fclose(file_);
  }
  bool Open() const { return file_ != nullptr; }
  void Record(const std::string& identifier, GeneratedControlFile* facts) {
    Put("@" + identifier + "\n");
    ++facts->records;
  }
  void Attribute(const std::string& key, const std::string& value, GeneratedControlFile* facts) {
    Put("{" + key + "}" + value + "\n");
    ++facts->attributes;
  }
  bool Close(GeneratedControlFile* facts) {
    facts->bytes = bytes_;
    const bool written = std::fclose(file_) == 0 && !failed_;
    file_ = nullptr;
    return written;
  }

 private:
  void Put(const std::string& text) {
    failed_ |= std::fwrite(text.data(), 1, text.size(), file_) != text.size();
    bytes_ += static_cast<long>(text.size());
  }
  FILE* file_;
  long bytes_ = 0;
  bool failed_ = false;
};

// An ordinary record, as most of a control file's records are.
void Part(Writer* out, long i, GeneratedControlFile* facts) {
  const std::string n = std::to_string(i);
  out->Record("D" + n, facts);
  out->Attribute("PARTNUMBER", "PRT-" + n + "-A", facts);
  out->Attribute("EXTERNAL_LOCATION", "C:\\Projects\\Bracket\\parts\\part_" + n + ".CATPart",
                 facts);
  out->Attribute("NEW_PARTNUMBER", "PRT-" + n + "-B", facts);
  if (i % 2 == 0) {
    out->Attribute("NEW_EXTERNAL_LOCATION", "C:\\Projects\\Bracket\\new\\part_" + n + ".CATPart",
                   facts);
  }
}

}  // namespace

bool WriteReadingControlFile(const std::string& path, long records, GeneratedControlFile* facts) {
  *facts = GeneratedControlFile();
  Writer out(path);
  if (!out.Open() || records < 2) return false;
  out.Record("ROOT", facts);
  out.Attribute("PARENT_OBJECTS", "{END}", facts);
  for (long i = 1; i <= records - 2; ++i) Part(&out, i, facts);
  out.Record("END", facts);
  out.Attribute("PARTNUMBER", "END-OF-FILE", facts);
  out.Attribute("EXTERNAL_LOCATION", kEndOfFileDocument, facts);
  facts->documents = 1;
  return out.Close(facts);
}

bool WritePlanControlFile(const std::string& path, long records, const std::string& document,
                          GeneratedControlFile* facts) {
  *facts = GeneratedControlFile();
  Writer out(path);
  if (!out.Open() || records < 11) return false;
  const long others = records - 1;
  const int documents = static_cast<int>(std::min(others / 10, 5000L));
  const int changeable = documents / 2;
  const int instances = documents;
  // Records 1 to `others` in a shuffled order: the first are the documents, then the
  // changeable documents, then the instances, each list in that order.
  std::vector<long> order(static_cast<size_t>(others));
  for (long i = 0; i < others; ++i) order[static_cast<size_t>(i)] = i + 1;
  std::mt19937 random(20240607);
  for (size_t i = order.size() - 1; i > 0; --i) std::swap(order[i], order[random() % (i + 1)]);
  enum Role : char { kPart, kDocument, kChangeable, kInstance };
  std::vector<char> role(static_cast<size_t>(others) + 1, kPart);
  std::vector<long> parent(static_cast<size_t>(others) + 1, 0);
  std::string lists[3];
  const char* keys[3] = {"PARENT_OBJECTS", "CHILD_OBJECTS", "INSTANCE_OBJECTS"};
  size_t next = 0;
  for (int list = 0; list < 3; ++list) {
    const int count = list == 0 ? documents : list == 1 ? changeable : instances;
    for (int k = 0; k < count; ++k) {
      const long i = order[next++];
      role[static_cast<size_t>(i)] = static_cast<char>(kDocument + list);
      lists[list] += "{D" + std::to_string(i) + "}";
      // An instance's parent: one of the documents, picked anew each time.
      if (list == 2) parent[static_cast<size_t>(i)] = order[random() % documents];
    }
  }
  const long last_instance = order[next - 1];
  out.Record("ROOT", facts);
  for (int list = 0; list < 3; ++list) out.Attribute(keys[list], lists[list], facts);
  for (long i = 1; i <= others; ++i) {
    const std::string n = std::to_string(i);
    switch (role[static_cast<size_t>(i)]) {
      case kPart:
        Part(&out, i, facts);
        break;
      case kDocument:
      case kChangeable:
        out.Record("D" + n, facts);
        out.Attribute("PARTNUMBER", "PRT-" + n + "-A", facts);
        out.Attribute("EXTERNAL_LOCATION", document, facts);
        break;
      case kInstance:
        out.Record("D" + n, facts);
        out.Attribute("PARENT_PARTNUMBER",
                      i == last_instance
                          ? std::string(kMissingParent)
                          : "PRT-" + std::to_string(parent[static_cast<size_t>(i)]) + "-A",
                      facts);
        out.Attribute("INSTANCENAME", "Missing." + n, facts);
        out.Attribute("NEW_INSTANCENAME", "Renamed." + n, facts);
        break;
    }
  }
  facts->documents = documents;
  facts->changeable_documents = changeable;
  facts->instances = instances;
  return out.Close(facts);
}
