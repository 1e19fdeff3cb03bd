#include "bench/structure_generator.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

const int kPartsPerAssembly = 9;

bool Write(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return static_cast<bool>(out);
}

int Assemblies(int documents) { return std::max(1, (documents - 1) / (kPartsPerAssembly + 1)); }

// The bytes of "{PREFIX0}" to "{PREFIX<count - 1>}".
size_t ListLength(const std::string& prefix, int count) {
  size_t length = 0;
  for (int i = 0; i < count; ++i) length += prefix.size() + 2 + std::to_string(i).size();
  return length;
}

}  // namespace

int Parts(int documents) { return documents - 1 - Assemblies(documents); }

size_t LongestRootList(int documents) {
  const int assemblies = Assemblies(documents);
  const int parts = Parts(documents);
  const size_t parents = 5 + ListLength("A", assemblies);  // "{TOP}" first
  const size_t children = ListLength("P", parts);
  const size_t instances = ListLength("IA", assemblies) + ListLength("IP", parts);
  return std::max({parents, children, instances});
}

int LargestStructure() {
  int fits = 2;
  int too_many = 1 << 20;
  while (too_many - fits > 1) {
    const int middle = fits + (too_many - fits) / 2;
    (LongestRootList(middle) <= 65535 ? fits : too_many) = middle;
  }
  return fits;
}

bool GenerateStructure(int documents, const std::string& folder) {
  if (documents < 2 || LongestRootList(documents) > 65535) return false;
  std::filesystem::create_directories(folder + "/assemblies");
  std::filesystem::create_directories(folder + "/parts");
  const int assemblies = Assemblies(documents);
  const int parts = Parts(documents);

  std::string parents = "{TOP}", children, instances;
  std::string records = "@TOP\n{PARTNUMBER}TOP-ASM\n{EXTERNAL_LOCATION}top.CATProduct\n";
  std::string top = "STANDIN-DOCUMENT 1\nproduct\npartnumber TOP-ASM\n";
  for (int a = 0; a < assemblies; ++a) {
    const std::string n = std::to_string(a);
    const std::string file = "assemblies/sub-" + n + ".CATProduct";
    const std::string part_number = "SUB-" + n;
    top += "component Sub." + n + "\nreference " + file + "\n";
    parents += "{A" + n + "}";
    records += "@A" + n + "\n{PARTNUMBER}" + part_number + "\n{EXTERNAL_LOCATION}" + file + "\n";
    instances += "{IA" + n + "}";
    records += "@IA" + n + "\n{PARENT_PARTNUMBER}TOP-ASM\n{INSTANCENAME}Sub." + n +
               "\n{NEW_INSTANCENAME}Assembly." + n + "\n";
    std::string sub = "STANDIN-DOCUMENT 1\nproduct\npartnumber " + part_number + "\n";
    // Parts go round the assemblies so that every part is used exactly once.
    for (int p = a; p < parts; p += assemblies) {
      const std::string m = std::to_string(p);
      sub += "component Part." + m + "\nreference ../parts/part-" + m + ".CATPart\n";
      children += "{P" + m + "}";
      records += "@P" + m + "\n{PARTNUMBER}PRT-" + m + "\n{EXTERNAL_LOCATION}parts/part-" + m +
                 ".CATPart\n{NEW_PARTNUMBER}PRT-" + m + "-B\n{NEW_EXTERNAL_LOCATION}parts/part-" +
                 m + "-b.CATPart\n";
      instances += "{IP" + m + "}";
      records += "@IP" + m + "\n{PARENT_PARTNUMBER}" + part_number + "\n{INSTANCENAME}Part." + m +
                 "\n{NEW_INSTANCENAME}Renamed." + m + "\n";
      if (!Write(folder + "/parts/part-" + m + ".CATPart",
                 "STANDIN-DOCUMENT 1\nproduct\npartnumber PRT-" + m + "\n")) {
        return false;
      }
    }
    if (!Write(folder + "/" + file, sub)) return false;
  }
  const std::string control = "@ROOT\n{PARENT_OBJECTS}" + parents + "\n{CHILD_OBJECTS}" + children +
                              "\n{INSTANCE_OBJECTS}" + instances + "\n" + records;
  return Write(folder + "/top.CATProduct", top) && Write(folder + "/rename.ztr", control);
}
