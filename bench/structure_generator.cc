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
  if (documents < 3 || LongestRootList(documents) > 65535) return false;
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

bool GenerateCampaign(int documents, const std::string& folder) {
  namespace fs = std::filesystem;
  const int kStandard = 3, kPurchased = 2, kOwn = 2;
  // Each pair of groups: two groups and their frame, each with kOwn parts of its own.
  const int pairs = std::max(1, (documents - 1 - kStandard - kPurchased) / (3 * (1 + kOwn)));
  for (const char* sub : {"asm", "parts", "lib", "buy"}) fs::create_directories(folder + "/" + sub);
  const auto document = [](const std::string& part_number) {
    return "STANDIN-DOCUMENT 1\nproduct\npartnumber " + part_number + "\n";
  };
  const auto component = [](const std::string& instance, const std::string& file) {
    return "component " + instance + "\nreference " + file + "\n";
  };
  bool written = true;
  for (int d = 0; d < kStandard; ++d) {
    const std::string n = std::to_string(d + 4);
    written = written && Write(folder + "/lib/screw m" + n + ".CATPart", document("STD-M" + n));
  }
  for (int m = 0; m < kPurchased; ++m) {
    const std::string file = folder + "/buy/motor " + std::to_string(m) + ".CATPart";
    written = written && Write(file, document("BUY-" + std::to_string(m)));
    std::error_code ignored;
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read,
                    ignored);
  }
  // Own parts and standard screws under an assembly.
  const auto parts = [&](const std::string& id, std::string* text) {
    for (int i = 0; i < kOwn; ++i) {
      const std::string name = id + "-" + std::to_string(i);
      *text += component("Part " + name + ".1", "../parts/part " + name + ".CATPart");
      written =
          written && Write(folder + "/parts/part " + name + ".CATPart", document("PRT-" + name));
    }
    for (int d = 0; d < kStandard; ++d) {
      const std::string n = std::to_string(d + 4);
      for (int k = 1; k <= 2; ++k) {
        *text +=
            component("Screw M" + n + "." + std::to_string(k), "../lib/screw m" + n + ".CATPart");
      }
    }
  };
  std::string top = document("CAMP-TOP");
  for (int g = 0; g < 2 * pairs; ++g) {
    const std::string n = std::to_string(g), frame = std::to_string(g / 2);
    top += component("Group " + n + ".1", "asm/group " + n + ".CATProduct");
    std::string group =
        document("GRP-" + n) + component("Frame.1", "shared frame " + frame + ".CATProduct") +
        component("Motor.1", "../buy/motor " + std::to_string(g % kPurchased) + ".CATPart");
    parts(n, &group);
    written = written && Write(folder + "/asm/group " + n + ".CATProduct", group);
    if (g % 2 == 0) {
      std::string shared = document("FRM-" + frame);
      parts("F" + frame, &shared);
      written = written && Write(folder + "/asm/shared frame " + frame + ".CATProduct", shared);
    }
  }
  return written && Write(folder + "/top.CATProduct", top);
}
