#include "bench/structure_generator.h"

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

struct Document {
  std::string id, file, part_number;
};

}  // namespace

bool GenerateStructure(int documents, const std::string& folder) {
  std::filesystem::create_directories(folder + "/assemblies");
  std::filesystem::create_directories(folder + "/parts");
  const int assemblies = std::max(1, (documents - 1) / (kPartsPerAssembly + 1));
  const int parts = documents - 1 - assemblies;

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
