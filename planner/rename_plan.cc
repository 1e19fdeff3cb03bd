#include "planner/rename_plan.h"

#include <algorithm>
#include <map>
#include <utility>

#include "planner/control_file_writer.h"
#include "system/files.h"
#include "system/paths.h"

namespace {

const size_t kIdentifierLength = 60;

class PlanBuilder {
 public:
  PlanBuilder(FileSystem& files, const RenameTable& table, RenamePlan* plan, Report* report,
              const Replaceable& replaceable)
      : files_(files), table_(table), plan_(plan), report_(report), replaceable_(replaceable) {}

  bool Build() {
    IndexDocuments();
    LinkInstances();
    CheckNewNames();
    CheckListedValues();
    if (report_->ExitCode() == 2) return false;
    OrderChanges();
    Identify();
    return report_->ExitCode() < 2;
  }

 private:
  struct Document {
    const TableDocument* row;
    std::string same_file, new_same_file;
    bool changes = false;
  };

  void Refuse(int line, const std::string& column, const std::string& value,
              const std::string& why) {
    // A file in full; a value past any part number or instance name cut, as it would fill the
    // screen, with its length.
    const bool cut = value.size() > 200 && !IsFileColumn(column);
    report_->ErrorAt(line, CellPlace(table_, line, column),
                     column + " " + CellValue(column, cut ? value.substr(0, 80) : value) +
                         (cut ? " (cut, of " + std::to_string(value.size()) + " bytes)" : "") +
                         ": " + why);
  }
  std::string AtLine(int line) const { return RowName(table_, line); }

  // Values the control file will carry, checked where they are used.
  void CheckValue(int line, const char* column, const std::string& value) {
    const std::string why = WhyNotCarried(value);
    if (!why.empty()) Refuse(line, column, value, "cannot be written into a control file: " + why);
  }

  void IndexDocuments() {
    for (size_t d = 0; d < table_.documents.size(); ++d) {
      const TableDocument& row = table_.documents[d];
      Document document{&row, FileKey(row.file), {}};
      const bool new_number =
          !row.new_part_number.empty() && row.new_part_number != row.part_number;
      document.new_same_file = row.new_file.empty() ? document.same_file : FileKey(row.new_file);
      document.changes = new_number || document.new_same_file != document.same_file;
      const auto added = by_file_.emplace(document.same_file, static_cast<int>(d));
      if (!added.second) {
        Refuse(row.line, "file", row.file,
               "is listed already, on " + AtLine(table_.documents[added.first->second].line));
      }
      by_number_[row.part_number].push_back(static_cast<int>(d));
      documents_.push_back(document);
      plan_->documents.push_back({"",
                                  row.file,
                                  row.part_number,
                                  row.new_file.empty() ? row.file : row.new_file,
                                  new_number ? row.new_part_number : row.part_number,
                                  {}});
    }
  }

  void LinkInstances() {
    std::map<std::pair<std::string, std::string>, int> seen;  // (parent, name) -> line
    std::set<std::pair<int, int>> linked;                     // (document, holder)
    children_.resize(documents_.size());
    for (const TableInstance& row : table_.instances) {
      const bool renamed = !row.new_name.empty() && row.new_name != row.name;
      int document = -1;
      if (!row.instance_of.empty()) {
        const auto found = by_file_.find(FileKey(row.instance_of));
        if (found == by_file_.end()) {
          Refuse(row.line, "instance_of", row.instance_of, "is no document's file in the table");
          continue;
        }
        document = found->second;
      }
      const auto parents = by_number_.find(row.parent_part_number);
      if (parents == by_number_.end()) {
        // Only a problem where the control file needs the parent.
        if (renamed || (document >= 0 && documents_[static_cast<size_t>(document)].changes)) {
          Refuse(row.line, "parent_part_number", row.parent_part_number,
                 "is no document's part number in the table");
        }
        continue;
      }
      for (int parent : parents->second) {
        if (document < 0 || !linked.emplace(document, parent).second) continue;
        children_[static_cast<size_t>(parent)].push_back(document);
        plan_->documents[static_cast<size_t>(document)].holders.push_back(parent);
      }
      const auto first = seen.emplace(std::make_pair(row.parent_part_number, row.name), row.line);
      if (!renamed) continue;
      if (!first.second) {
        Refuse(row.line, "instance", row.name,
               "is listed under this parent already, on " + AtLine(first.first->second));
      }
      if (parents->second.size() > 1) {
        Refuse(row.line, "parent_part_number", row.parent_part_number,
               "is the part number of several documents; the tool would look for the instance "
               "in the first one only");
      }
      CheckValue(row.line, "parent_part_number", row.parent_part_number);
      CheckValue(row.line, "instance", row.name);
      CheckValue(row.line, "new_instance", row.new_name);
      plan_->instances.push_back({"", parents->second.front(), row.name, row.new_name});
      instance_lines_.push_back(row.line);
    }
  }

  // New part numbers, files and instance names must be new: nobody else's now or after.
  void CheckNewNames() {
    std::map<std::string, int> numbers, files;  // new ones -> line
    for (size_t d = 0; d < documents_.size(); ++d) {
      const Document& document = documents_[d];
      if (!document.changes) continue;
      const TableDocument& row = *document.row;
      const PlanDocument& planned = plan_->documents[d];
      if (planned.new_part_number != row.part_number) {
        CheckValue(row.line, "new_part_number", row.new_part_number);
        const auto carriers = by_number_.find(planned.new_part_number);
        if (carriers != by_number_.end()) {
          Refuse(row.line, "new_part_number", row.new_part_number,
                 "is the part number of " + Carrier(carriers->second.front()));
        }
        const auto taken = numbers.emplace(planned.new_part_number, row.line);
        if (!taken.second) {
          Refuse(row.line, "new_part_number", row.new_part_number,
                 "is given on " + AtLine(taken.first->second) + " as well");
        }
      }
      if (document.new_same_file == document.same_file) continue;
      CheckValue(row.line, "new_file", row.new_file);
      const auto other = by_file_.find(document.new_same_file);
      FileId there;
      if (other != by_file_.end()) {
        Refuse(row.line, "new_file", row.new_file, "is the file of " + Carrier(other->second));
      } else if (files_.FindFileId(StorageName(row.new_file), &there) &&
                 !(replaceable_ && replaceable_(row.new_file, planned.new_part_number))) {
        Refuse(row.line, "new_file", row.new_file,
               "a file is there already, which the run would replace; choose another name or "
               "remove it");
      }
      const auto taken = files.emplace(document.new_same_file, row.line);
      if (!taken.second) {
        Refuse(row.line, "new_file", row.new_file,
               "is given on " + AtLine(taken.first->second) + " as well");
      }
    }
    // Instance names under one parent: the platform refuses a name that another has.
    std::map<std::pair<int, std::string>, int> names;  // (parent, name) -> line
    for (size_t i = 0; i < table_.instances.size(); ++i) {
      const TableInstance& row = table_.instances[i];
      const auto parents = by_number_.find(row.parent_part_number);
      if (parents == by_number_.end()) continue;
      names.emplace(std::make_pair(parents->second.front(), row.name), row.line);
    }
    std::map<std::pair<int, std::string>, int> given;
    for (size_t i = 0; i < plan_->instances.size(); ++i) {
      const PlanInstance& instance = plan_->instances[i];
      const int line = instance_lines_[i];
      const auto key = std::make_pair(instance.parent, instance.new_name);
      const auto other = names.find(key);
      if (other != names.end()) {
        Refuse(line, "new_instance", instance.new_name,
               other->second > 0 ? "is the name of the instance on " + AtLine(other->second) +
                                       " under the same parent"
                                 : "is the name of another instance under the same parent");
      }
      const auto taken = given.emplace(key, line);
      if (!taken.second) {
        Refuse(line, "new_instance", instance.new_name,
               "is given under the same parent on " + AtLine(taken.first->second) + " as well");
      }
    }
  }

  // The part number and file of every document the control file lists, each checked once: at
  // its row, or, for a document the table leaves out, at the row that has it listed.
  void CheckListedValues() {
    std::vector<int> cause(documents_.size(), 0);  // the line that lists it; 0: not listed
    auto list = [&](int d, int line) {
      if (cause[static_cast<size_t>(d)] == 0) cause[static_cast<size_t>(d)] = line;
    };
    for (size_t d = 0; d < documents_.size(); ++d) {
      if (!documents_[d].changes) continue;
      list(static_cast<int>(d), documents_[d].row->line);
      for (int holder : plan_->documents[d].holders) list(holder, documents_[d].row->line);
    }
    for (size_t i = 0; i < plan_->instances.size(); ++i) {
      list(plan_->instances[i].parent, instance_lines_[i]);
    }
    for (size_t d = 0; d < documents_.size(); ++d) {
      if (cause[d] == 0) continue;
      const TableDocument& row = *documents_[d].row;
      for (const char* column : {"file", "part_number"}) {
        const std::string& value = column[0] == 'f' ? row.file : row.part_number;
        const std::string why = WhyNotCarried(value);
        if (why.empty()) continue;
        if (row.line > 0) {
          Refuse(row.line, column, value, "cannot be written into a control file: " + why);
        } else {
          report_->ErrorAt(cause[d], "",
                           "the document " + QuotedFile(row.file) +
                               ", which the table leaves out, is saved with this row's change, "
                               "but its " +
                               column + " " + CellValue(column, value) +
                               " cannot be written into a control file: " + why);
        }
      }
    }
  }

  // Changed documents after every document they refer to, so that a document saved under a
  // new file refers to the new files of its children: depth first, each after its children.
  void OrderChanges() {
    std::vector<char> seen(documents_.size(), 0);
    std::vector<std::pair<int, size_t>> path;
    for (size_t start = 0; start < documents_.size(); ++start) {
      if (seen[start]) continue;
      seen[start] = 1;
      path.emplace_back(static_cast<int>(start), 0);
      while (!path.empty()) {
        auto& [document, next] = path.back();
        const std::vector<int>& children = children_[static_cast<size_t>(document)];
        if (next < children.size()) {
          const int child = children[next++];
          if (!seen[static_cast<size_t>(child)]) {
            seen[static_cast<size_t>(child)] = 1;
            path.emplace_back(child, 0);
          }
          continue;
        }
        if (documents_[static_cast<size_t>(document)].changes) plan_->changes.push_back(document);
        path.pop_back();
      }
    }
  }

  void Identify() {
    std::set<std::string> taken = {"ROOT"};
    auto name = [&](int d) {
      PlanDocument& document = plan_->documents[static_cast<size_t>(d)];
      if (document.id.empty()) {
        document.id = UniqueIdentifier(
            document.part_number.empty() ? StemOf(document.file) : document.part_number, &taken);
      }
    };
    for (int d : plan_->changes) {
      name(d);
      for (int holder : plan_->documents[static_cast<size_t>(d)].holders) name(holder);
    }
    for (PlanInstance& instance : plan_->instances) {
      name(instance.parent);
      instance.id = UniqueIdentifier(
          plan_->documents[static_cast<size_t>(instance.parent)].part_number + "/" + instance.name,
          &taken);
    }
  }

  // The document at `d` as the one that has a name already.
  std::string Carrier(int d) const {
    const TableDocument& row = table_.documents[static_cast<size_t>(d)];
    return row.line > 0 ? "the document on " + AtLine(row.line)
                        : "the document " + QuotedFile(row.file) + ", which the table leaves out";
  }

  FileSystem& files_;
  const RenameTable& table_;
  RenamePlan* plan_;
  Report* report_;
  const Replaceable& replaceable_;
  std::vector<Document> documents_;
  std::map<std::string, int> by_file_;
  std::map<std::string, std::vector<int>> by_number_;
  std::vector<std::vector<int>> children_;
  std::vector<int> instance_lines_;
};

}  // namespace

std::string UniqueIdentifier(const std::string& text, std::set<std::string>* taken) {
  std::string base;
  for (unsigned char c : text.substr(0, kIdentifierLength)) {
    const bool plain = c > ' ' && c != '{' && c != '}' && c != 0x7f;
    base += plain ? static_cast<char>(c) : '_';
  }
  // Cut before a UTF-8 character that does not fit whole.
  auto continuation = [](char c) { return (static_cast<unsigned char>(c) & 0xc0) == 0x80; };
  if (text.size() > base.size() && continuation(text[base.size()])) {
    while (!base.empty() && continuation(base.back())) base.pop_back();
    if (!base.empty()) base.pop_back();
  }
  if (base.empty()) base = "OBJECT";
  std::string id = base;
  for (int n = 2; !taken->insert(id).second; ++n) id = base + "~" + std::to_string(n);
  return id;
}

bool PlanFromTable(FileSystem& files, const RenameTable& table, RenamePlan* plan, Report* report,
                   const Replaceable& replaceable) {
  *plan = RenamePlan();
  return PlanBuilder(files, table, plan, report, replaceable).Build();
}

size_t MakeCopy(FileSystem& files, RenamePlan* plan, std::vector<std::string>* own_file_missing) {
  std::vector<bool> copied(plan->documents.size(), false);
  for (const int d : plan->changes) {
    const PlanDocument& document = plan->documents[static_cast<size_t>(d)];
    copied[static_cast<size_t>(d)] = true;
    if (files.SameFile(document.new_file, document.file)) {
      own_file_missing->push_back(document.file);
    }
  }
  for (PlanDocument& document : plan->documents) {
    std::vector<int> holders;
    for (const int holder : document.holders) {
      if (copied[static_cast<size_t>(holder)]) holders.push_back(holder);
    }
    document.holders = holders;
  }
  std::vector<PlanInstance> instances;
  for (const PlanInstance& instance : plan->instances) {
    if (copied[static_cast<size_t>(instance.parent)]) instances.push_back(instance);
  }
  const size_t left = plan->instances.size() - instances.size();
  plan->instances = instances;
  plan->saved_with_changes.clear();
  plan->copy = true;
  return left;
}
