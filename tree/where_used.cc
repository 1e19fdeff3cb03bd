#include "tree/where_used.h"

#include <map>
#include <set>
#include <vector>

#include "findings/display_text.h"
#include "system/paths.h"
#include "tree/tree_printer.h"

namespace {

std::string PartNumber(const IndexedDocument& document) {
  return document.has_product ? "  [" + DisplayText(document.part_number) + "]" : "  (no product)";
}

std::string Indent(size_t level) {
  if (level <= static_cast<size_t>(kDeepestIndent)) return std::string(2 * level, ' ');
  return std::string(2 * kDeepestIndent, ' ') + "(level " + std::to_string(level) + ") ";
}

class WhereUsedPrinter {
 public:
  WhereUsedPrinter(ProjectIndex& index, std::ostream& out) : index_(index), out_(out) {}

  // One inverted tree under the line `first`, for the file known by `keys`.
  void Print(const std::string& first, const std::vector<std::string>& keys) {
    Emit(first);
    for (const std::string& key : keys) on_path_[key] = lines_;
    path_.push_back({index_.UsersOf(keys), 0, keys});
    while (!path_.empty()) {
      Frame& frame = path_.back();
      if (frame.next == frame.uses.size()) {
        for (const std::string& key : frame.keys) on_path_.erase(key);
        path_.pop_back();
        continue;
      }
      const DocumentUse use = frame.uses[frame.next++];
      std::string line = Indent(path_.size());
      for (size_t i = 0; i < use.instances.size(); ++i) {
        line += (i > 0 ? ", " : "") + DisplayText(use.instances[i]);
      }
      line += "  " + DisplayText(use.user.name) + PartNumber(use.user);
      users_.insert(use.user.key);
      std::vector<DocumentUse> above = index_.UsersOf({use.user.key});
      const auto on_path = on_path_.find(use.user.key);
      const auto shown = first_line_.find(use.user.key);
      bool expand = false;
      if (above.empty()) {
        products_.insert(use.user.key);
      } else if (on_path != on_path_.end()) {
        line += "  (cycle: see line " + std::to_string(on_path->second) + ")";
      } else if (shown != first_line_.end()) {
        line += "  (see line " + std::to_string(shown->second) + ")";
      } else {
        expand = true;
      }
      Emit(line);
      if (expand) {
        first_line_[use.user.key] = lines_;
        on_path_[use.user.key] = lines_;
        path_.push_back({std::move(above), 0, {use.user.key}});
      }
    }
  }

  long users() const { return static_cast<long>(users_.size()); }
  long products() const { return static_cast<long>(products_.size()); }

 private:
  struct Frame {
    std::vector<DocumentUse> uses;
    size_t next;
    std::vector<std::string> keys;  // of the document whose users these are
  };

  void Emit(const std::string& line) {
    out_ << line << '\n';
    ++lines_;
  }

  ProjectIndex& index_;
  std::ostream& out_;
  std::vector<Frame> path_;
  std::map<std::string, long> first_line_;  // where a document's users are shown
  std::map<std::string, long> on_path_;     // the documents on the path printed, by line
  std::set<std::string> users_, products_;
  long lines_ = 0;
};

}  // namespace

long PrintWhereUsed(FileSystem& files, ProjectIndex& index, const std::string& what,
                    std::ostream& out) {
  WhereUsedPrinter printer(index, out);
  const std::string name = StorageName(what);
  const std::vector<std::string> keys = index.KeysOfFile(what);
  IndexedDocument document;
  bool indexed = false, referenced = false;
  for (const std::string& key : keys) {
    if (!indexed) indexed = index.FindDocument(key, &document);
    if (!referenced) referenced = index.IsReferenced(key);
  }
  FileFacts facts;
  if (!name.empty() && (indexed || referenced || files.CurrentFacts(name, &facts))) {
    printer.Print(DisplayText(indexed ? document.name : name) +
                      (indexed ? PartNumber(document) : "  (not a document of the project)"),
                  keys);
  } else {
    const std::vector<IndexedDocument> documents = index.DocumentsWithPartNumber(what);
    if (documents.empty()) return -1;
    for (const IndexedDocument& found : documents) {
      printer.Print(DisplayText(found.name) + PartNumber(found), {found.key});
    }
  }
  if (printer.users() == 0) {
    out << "\nNo document of the project uses it.\n";
  } else {
    out << '\n'
        << printer.users() << (printer.users() == 1 ? " document uses" : " documents use")
        << " it; " << printer.products() << " of them "
        << (printer.products() == 1 ? "is a product" : "are products") << " that nothing uses.\n";
  }
  return printer.users();
}
