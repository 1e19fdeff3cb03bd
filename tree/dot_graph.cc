#include "tree/dot_graph.h"

#include <vector>

#include "findings/display_text.h"

namespace {

// `text` inside a quoted Graphviz string. Its only line feeds are the label's own line breaks:
// the texts from documents are displayed with escapes.
std::string DotString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    if (c == '"' || c == '\\') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

std::string Changed(bool plan, const std::string& old, const std::string& now) {
  return plan && old != now ? DisplayText(old) + " -> " + DisplayText(now) : DisplayText(now);
}

}  // namespace

void WriteDotGraph(const ShownStructure& structure, bool plan, bool changed_only,
                   const std::string& cwd, std::ostream& out) {
  out << "digraph structure {\n  node [shape=box];\n";
  const size_t count = structure.nodes.size();
  const std::vector<bool> holds =
      changed_only ? NodesHoldingChanges(structure) : std::vector<bool>(count, true);
  const auto visible = [&](const ShownInstance& instance) {
    return !changed_only || InstanceChanges(structure, instance) ||
           (instance.node >= 0 && holds[instance.node]);
  };
  // The files reached from the root by visible instances, each written once.
  std::vector<bool> reached(count, false);
  std::vector<int> pending;
  if (count > 0) {
    reached[0] = true;
    pending.push_back(0);
  }
  long unresolved = 0;
  std::string edges;
  for (size_t next = 0; next < pending.size(); ++next) {
    const int n = pending[next];
    const ShownNode& node = structure.nodes[n];
    std::string label = node.file != node.old_file && plan
                            ? DisplayFile(node.old_file, cwd) + " -> " + DisplayFile(node.file, cwd)
                            : DisplayFile(node.file, cwd);
    if (node.foreign) {
      label += "\n(written by the run from a document outside this structure)";
    } else if (node.has_product) {
      label += "\n[" + Changed(plan, node.old_part_number, node.part_number) + "]";
    } else {
      label += "\n(no product)";
    }
    out << "  n" << n << " [label=" << DotString(label)
        << (plan && NodeChanges(node) ? ", color=blue, fontcolor=blue" : "") << "];\n";
    for (const ShownInstance& instance : node.instances) {
      if (!visible(instance)) continue;
      std::string target;
      if (instance.node < 0) {
        target = "u" + std::to_string(unresolved++);
        out << "  " << target << " [label=\"(unresolved)\", shape=plaintext];\n";
      } else {
        target = "n" + std::to_string(instance.node);
        if (!reached[instance.node]) {
          reached[instance.node] = true;
          pending.push_back(instance.node);
        }
      }
      std::string name = Changed(plan, instance.old_name, instance.name);
      std::string style;
      if (!instance.stale_new_file.empty()) {
        name += "\n(old file)";
        style = ", color=red, fontcolor=red, style=dashed";
      } else if (plan && instance.name != instance.old_name) {
        style = ", color=blue, fontcolor=blue";
      }
      edges += "  n" + std::to_string(n) + " -> " + target + " [label=" + DotString(name) + style +
               "];\n";
    }
  }
  out << edges << "}\n";
}
