#include "planner/control_file_writer.h"

#include <algorithm>
#include <utility>

#include "CATString.h"
#include "controlfile/control_scanner.h"
#include "controlfile/ztr_object.h"
#include "findings/listed_objects.h"
#include "findings/report.h"

namespace {

enum List { kParents, kChildren, kInstances };
const char* const kListKeys[] = {"PARENT_OBJECTS", "CHILD_OBJECTS", "INSTANCE_OBJECTS"};

// A value as the reader reads it back: a line break as "@EOL@".
std::string Encoded(const std::string& value) {
  std::string encoded;
  for (char c : value) {
    if (c == '\n') {
      encoded += "@EOL@";
    } else {
      encoded += c;
    }
  }
  return encoded;
}

// An attribute line; none for an empty value, which would end the reading (and an absent key
// reads as empty).
void Attribute(const char* key, const std::string& value, std::string* out) {
  if (value.empty()) return;
  *out += std::string("{") + key + "}" + Encoded(value) + "\n";
}

class Writer {
 public:
  Writer(const RenamePlan& plan, size_t limit)
      : plan_(plan),
        limit_(limit),
        file_(plan.documents.size()),
        part_number_(file_.size()),
        role_(file_.size(), kNone) {
    for (size_t d = 0; d < file_.size(); ++d) {
      file_[d] = plan.documents[d].file;
      part_number_[d] = plan.documents[d].part_number;
    }
  }

  bool Write(std::vector<std::string>* files, std::string* error) {
    for (int d : plan_.changes) {
      if (!Add(d, -1)) return Refuse(plan_.documents[static_cast<size_t>(d)].id, error);
    }
    for (size_t i = 0; i < plan_.instances.size(); ++i) {
      if (!Add(-1, static_cast<int>(i))) return Refuse(plan_.instances[i].id, error);
    }
    if (!Empty() || files_.empty()) Flush();
    *files = std::move(files_);
    return true;
  }

 private:
  enum Role { kNone, kPending, kParent, kChild };

  static bool Refuse(const std::string& id, std::string* error) {
    *error = Quoted(id) + " with the documents it needs is more than one control file holds";
    return false;
  }
  size_t Item(int d) const { return plan_.documents[static_cast<size_t>(d)].id.size() + 2; }
  bool Empty() const { return children_.empty() && instances_.empty(); }

  // Adds a changed document or a renamed instance to the control file being made, or to a new
  // one when it does not fit.
  bool Add(int document, int instance) {
    for (int attempt = 0; attempt < 2; ++attempt) {
      size_t bytes[3] = {bytes_[0], bytes_[1], bytes_[2]};
      std::vector<int> parents;
      auto need = [&](int d) {
        if (role_[static_cast<size_t>(d)] != kNone || d == document) return;
        role_[static_cast<size_t>(d)] = kPending;
        parents.push_back(d);
        bytes[kParents] += Item(d);
      };
      if (document >= 0) {
        bytes[kChildren] += Item(document);
        if (role_[static_cast<size_t>(document)] == kParent) bytes[kParents] -= Item(document);
        for (int holder : plan_.documents[static_cast<size_t>(document)].holders) need(holder);
        if (children_.empty()) {
          for (int d : plan_.saved_with_changes) need(d);
        }
      } else {
        bytes[kInstances] += plan_.instances[static_cast<size_t>(instance)].id.size() + 2;
        need(plan_.instances[static_cast<size_t>(instance)].parent);
      }
      if (bytes[0] > limit_ || bytes[1] > limit_ || bytes[2] > limit_) {
        for (int parent : parents) role_[static_cast<size_t>(parent)] = kNone;
        if (Empty()) return false;
        Flush();
        continue;
      }
      std::copy(bytes, bytes + 3, bytes_);
      for (int parent : parents) {
        role_[static_cast<size_t>(parent)] = kParent;
        parents_.push_back(parent);
      }
      if (document >= 0) {
        role_[static_cast<size_t>(document)] = kChild;
        children_.push_back(document);
      } else {
        instances_.push_back(instance);
      }
      return true;
    }
    return false;
  }

  // Writes the control file being made, then takes its changes as done for the next one.
  void Flush() {
    std::string lists[3], records;
    auto list = [&](List l, const std::string& id) { lists[l] += "{" + id + "}"; };
    auto document = [&](int d) {
      const PlanDocument& planned = plan_.documents[static_cast<size_t>(d)];
      records += "\n@" + planned.id + "\n";
      Attribute("PARTNUMBER", part_number_[static_cast<size_t>(d)], &records);
      Attribute("EXTERNAL_LOCATION", file_[static_cast<size_t>(d)], &records);
      return planned;
    };
    for (int d : parents_) {
      if (role_[static_cast<size_t>(d)] != kParent) continue;  // changed later in this file
      list(kParents, plan_.documents[static_cast<size_t>(d)].id);
      document(d);
    }
    for (int d : children_) {
      list(kChildren, plan_.documents[static_cast<size_t>(d)].id);
      const PlanDocument& planned = document(d);
      if (planned.new_part_number != part_number_[static_cast<size_t>(d)]) {
        Attribute("NEW_PARTNUMBER", planned.new_part_number, &records);
      }
      if (planned.new_file != file_[static_cast<size_t>(d)]) {
        Attribute("NEW_EXTERNAL_LOCATION", planned.new_file, &records);
      }
    }
    for (int i : instances_) {
      const PlanInstance& instance = plan_.instances[static_cast<size_t>(i)];
      list(kInstances, instance.id);
      records += "\n@" + instance.id + "\n";
      Attribute("PARENT_PARTNUMBER", part_number_[static_cast<size_t>(instance.parent)], &records);
      Attribute("INSTANCENAME", instance.name, &records);
      Attribute("NEW_INSTANCENAME", instance.new_name, &records);
    }
    std::string text = plan_.copy ? std::string("@ROOT\n{") + kCopyKey +
                                        "}the documents of "
                                        "CHILD_OBJECTS are saved as copies\n"
                                  : std::string("@ROOT\n");
    for (int l = 0; l < 3; ++l) {
      if (!lists[l].empty()) text += std::string("{") + kListKeys[l] + "}" + lists[l] + "\n";
    }
    files_.push_back(text + records);

    for (int d : parents_) role_[static_cast<size_t>(d)] = kNone;
    for (int d : children_) {
      role_[static_cast<size_t>(d)] = kNone;
      file_[static_cast<size_t>(d)] = plan_.documents[static_cast<size_t>(d)].new_file;
      part_number_[static_cast<size_t>(d)] =
          plan_.documents[static_cast<size_t>(d)].new_part_number;
    }
    parents_.clear();
    children_.clear();
    instances_.clear();
    std::fill(bytes_, bytes_ + 3, 0);
  }

  const RenamePlan& plan_;
  const size_t limit_;
  // Each document's file and part number as the control files written so far leave them.
  std::vector<std::string> file_, part_number_;
  std::vector<Role> role_;  // in the control file being made
  std::vector<int> parents_, children_, instances_;
  size_t bytes_[3] = {0, 0, 0};
  std::vector<std::string> files_;
};

}  // namespace

std::string WhyNotCarried(const std::string& value) {
  if (value.empty()) return "it is empty, and an attribute line without a value ends the record";
  if (value.find('\0') != std::string::npos) return "reading ends it at its NUL byte";
  const std::string encoded = Encoded(value);
  if (encoded.size() > static_cast<size_t>(kControlFieldWidth)) {
    return "reading keeps 65,535 bytes of it";
  }
  // What the reader makes of the line: the value stored as the line holds it, then looked up.
  ZTRObject record;
  record.SetAttribute("VALUE", CATString(encoded.data(), encoded.size()));
  const CATString stored = record.GetAttribute("VALUE");
  const std::string read(stored.CastToCharPtr(), static_cast<size_t>(stored.GetLengthInChar()));
  if (read == value) return std::string();
  std::string why = "it would be read back as " + Quoted(read);
  if (value.front() == ' ' || value.back() == ' ') {
    why += ", as reading drops the blanks at its ends";
  } else if (value.back() == '\r') {
    why += ", as reading drops the carriage returns at its end";
  } else {
    why += ", as reading takes every \"@EOL@\" for a line break";
  }
  return why;
}

bool WriteControlFiles(const RenamePlan& plan, std::vector<std::string>* files, std::string* error,
                       size_t list_limit) {
  return Writer(plan, list_limit).Write(files, error);
}
