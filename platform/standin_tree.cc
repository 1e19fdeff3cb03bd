#include "standin_tree.h"

#include <filesystem>
#include <vector>

#include "standin_document_format.h"
#include "standin_paths.h"

namespace {

class TreePrinter {
 public:
  explicit TreePrinter(std::ostream& out) : out_(out) {
    std::error_code error;
    cwd_ = std::filesystem::current_path(error).generic_string();
  }

  // The line of a document: its file and its product's part number; then its components.
  void Document(const std::string& storage_name, const std::vector<StandinRoot>& roots, int depth) {
    const StandinRoot* product = nullptr;
    for (const StandinRoot& root : roots) {
      if (root.is_product) {
        product = &root;
        break;
      }
    }
    out_ << "  " << (product ? "[" + EscapeStandinText(product->part_number) + "]" : "(no product)")
         << "\n";
    if (product == nullptr) return;
    open_.push_back(storage_name);
    for (const StandinComponent& component : product->components) {
      out_ << std::string(2 * depth + 2, ' ') << EscapeStandinText(component.instance_name);
      if (!component.has_reference) {
        out_ << "  (no reference)\n";
        continue;
      }
      const std::string& reference = component.reference;
      const std::string child = ReferenceStorageName(reference, DirectoryOf(storage_name));
      std::vector<StandinRoot> child_roots;
      if (reference.empty() || !ReadStandinDocument(child, &child_roots)) {
        out_ << "  " << EscapeStandinText(reference) << "  (cannot be opened)\n";
        continue;
      }
      out_ << "  " << EscapeStandinText(RelativePath(child, cwd_));
      bool cycle = false;
      for (const std::string& ancestor : open_)
        cycle = cycle || StorageKey(ancestor) == StorageKey(child);
      if (cycle) {
        out_ << "  (refers back to an enclosing document)\n";
        continue;
      }
      Document(child, child_roots, depth + 1);
    }
    open_.pop_back();
  }

 private:
  std::ostream& out_;
  std::string cwd_;
  std::vector<std::string> open_;  // the documents enclosing the one printed
};

}  // namespace

bool PrintStandinTree(const std::string& path, std::ostream& out, std::ostream& errors) {
  const std::string storage_name = StorageName(path);
  std::vector<StandinRoot> roots;
  if (path.empty() || !ReadStandinDocument(storage_name, &roots)) {
    errors << "Quorvel-tree: " << path << ": not a readable stand-in document" << std::endl;
    return false;
  }
  out << EscapeStandinText(path);
  TreePrinter(out).Document(storage_name, roots, 0);
  return true;
}
