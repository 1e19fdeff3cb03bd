#include "tree/shown_structure.h"

#include "structure/session_reading.h"
#include "system/system.h"

namespace {}  // namespace

ShownStructure UnchangedStructure(const ProductStructure& structure) {
  ShownStructure shown;
  shown.nodes.reserve(structure.documents.size());
  for (const StructureDocument& document : structure.documents) {
    ShownNode node;
    node.file = node.old_file = document.storage_name.ConvertToChar();
    node.has_product = document.has_product;
    node.part_number = node.old_part_number = document.part_number.ConvertToChar();
    node.instances.reserve(document.instances.size());
    for (const StructureInstance& instance : document.instances) {
      ShownInstance shown_instance;
      shown_instance.name = shown_instance.old_name = instance.name.ConvertToChar();
      shown_instance.node = instance.document;
      node.instances.push_back(std::move(shown_instance));
    }
    shown.nodes.push_back(std::move(node));
  }
  return shown;
}

bool ReadStructureOf(FileSystem& files, const std::string& path, ProductStructure* structure,
                     std::string* why) {
  if (ReadProductStructure(files, path, structure)) return true;
  *why = WhyNotReadable(path);
  if (why->empty()) *why = "not a document the platform can open";
  return false;
}

bool NodeChanges(const ShownNode& node) {
  return node.file != node.old_file || node.part_number != node.old_part_number;
}

bool InstanceChanges(const ShownStructure& structure, const ShownInstance& instance) {
  return instance.name != instance.old_name || !instance.stale_new_file.empty() ||
         (instance.node >= 0 && NodeChanges(structure.nodes[instance.node]));
}

std::vector<bool> NodesHoldingChanges(const ShownStructure& structure) {
  const size_t count = structure.nodes.size();
  std::vector<std::vector<int>> users(count);
  std::vector<bool> holds(count, false);
  std::vector<int> pending;
  for (size_t n = 0; n < count; ++n) {
    for (const ShownInstance& instance : structure.nodes[n].instances) {
      if (instance.node >= 0) users[instance.node].push_back(static_cast<int>(n));
      if (!holds[n] && InstanceChanges(structure, instance)) {
        holds[n] = true;
        pending.push_back(static_cast<int>(n));
      }
    }
  }
  // Every user of a node that holds a change holds it too.
  while (!pending.empty()) {
    const int node = pending.back();
    pending.pop_back();
    for (int user : users[node]) {
      if (holds[user]) continue;
      holds[user] = true;
      pending.push_back(user);
    }
  }
  return holds;
}
