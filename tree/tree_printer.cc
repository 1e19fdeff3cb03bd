#include "tree/tree_printer.h"

#include <vector>

#include "findings/display_text.h"

namespace {

class TreePrinter {
 public:
  TreePrinter(const ShownStructure& structure, const TreeOptions& options, const std::string& cwd,
              std::ostream& out)
      : structure_(structure), options_(options), cwd_(cwd), out_(out) {
    const size_t count = structure.nodes.size();
    if (options.changed_only) holds_ = NodesHoldingChanges(structure);
    first_line_.assign(count, 0);
    path_line_.assign(count, 0);
  }

  bool Print() {
    if (structure_.nodes.empty()) return true;
    std::string line = FileAndPartNumber(structure_.nodes[0]);
    Emit(line);
    Enter(0);
    while (!path_.empty()) {
      Frame& frame = path_.back();
      const std::vector<ShownInstance>& instances = structure_.nodes[frame.node].instances;
      while (frame.next < instances.size() && !Visible(instances[frame.next])) ++frame.next;
      if (frame.next == instances.size()) {
        path_line_[frame.node] = 0;
        path_.pop_back();
        continue;
      }
      const ShownInstance& instance = instances[frame.next++];
      if (options_.expand_limit > 0 && lines_ >= options_.expand_limit) return false;
      line = Indent(path_.size()) + Changed(instance.old_name, instance.name);
      const int child = instance.node;
      bool expand = false;
      if (child < 0) {
        line += "  (unresolved)";
      } else {
        line += "  " + FileAndPartNumber(structure_.nodes[child]);
        if (!instance.stale_new_file.empty()) {
          stale_ = true;
          line += "  (old file; the run saves its document as " +
                  DisplayFile(instance.stale_new_file, cwd_) + ")";
        }
        if (HasVisibleInstances(child)) {
          if (path_line_[child] > 0) {
            line += "  (cycle: see line " + std::to_string(path_line_[child]) + ")";
          } else if (options_.expand_limit == 0 && first_line_[child] > 0) {
            line += "  (see line " + std::to_string(first_line_[child]) + ")";
          } else {
            expand = true;
          }
        }
      }
      Emit(line);
      if (expand) Enter(child);
    }
    if (options_.plan) {
      out_ << "\nLegend: OLD -> NEW       changed by the run (instance name, file, part number)\n"
              "        (see line N)     the file's instances are shown on line N\n";
      if (stale_) {
        out_ << "        (old file; ...)  a link the run leaves on a renamed document's old file\n";
      }
    }
    return true;
  }

 private:
  struct Frame {
    int node;
    size_t next;
  };

  void Emit(const std::string& line) {
    out_ << line << '\n';
    ++lines_;
  }

  void Enter(int node) {
    if (first_line_[node] == 0) first_line_[node] = lines_;
    path_line_[node] = lines_;
    path_.push_back({node, 0});
  }

  bool Visible(const ShownInstance& instance) const {
    return !options_.changed_only || InstanceChanges(structure_, instance) ||
           (instance.node >= 0 && holds_[instance.node]);
  }

  bool HasVisibleInstances(int node) const {
    for (const ShownInstance& instance : structure_.nodes[node].instances) {
      if (Visible(instance)) return true;
    }
    return false;
  }

  static std::string Indent(size_t level) {
    if (level <= static_cast<size_t>(kDeepestIndent)) return std::string(2 * level, ' ');
    return std::string(2 * kDeepestIndent, ' ') + "(level " + std::to_string(level) + ") ";
  }

  // `now`, or "OLD -> NOW" in a preview that changes it; escaped.
  std::string Changed(const std::string& old, const std::string& now) const {
    if (options_.plan && old != now) return DisplayText(old) + " -> " + DisplayText(now);
    return DisplayText(now);
  }

  std::string File(const std::string& storage_name) const {
    return DisplayFile(storage_name, cwd_);
  }

  std::string FileAndPartNumber(const ShownNode& node) const {
    std::string text = File(node.file);
    if (options_.plan && node.old_file != node.file) text = File(node.old_file) + " -> " + text;
    if (node.foreign) return text + "  (written by the run from a document outside this structure)";
    if (!node.has_product) return text + "  (no product)";
    return text + "  [" + Changed(node.old_part_number, node.part_number) + "]";
  }

  const ShownStructure& structure_;
  const TreeOptions& options_;
  const std::string& cwd_;
  std::ostream& out_;
  std::vector<bool> holds_;
  std::vector<long> first_line_;  // where a node's instances are shown in full
  std::vector<long> path_line_;   // the line of a node on the path printed, 0 when not on it
  std::vector<Frame> path_;
  long lines_ = 0;
  bool stale_ = false;  // a line shows a link left on an old file
};

}  // namespace

bool PrintTree(const ShownStructure& structure, const TreeOptions& options, const std::string& cwd,
               std::ostream& out) {
  return TreePrinter(structure, options, cwd, out).Print();
}
