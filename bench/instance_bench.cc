// Times a whole run of Quorvel that renames 12,000 instances (or the count given as argument)
// of one part under one product, checks that every instance was renamed in the saved product,
// and prints the time and the peak memory of the run.
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "bench/whole_run.h"

namespace {

// Identifiers of three characters, so that 12,000 of them fit INSTANCE_OBJECTS' one line.
std::string Identifier(int n) {
  static const char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  std::string id(3, '0');
  for (int i = 2; i >= 0; --i, n /= 62) id[static_cast<size_t>(i)] = kDigits[n % 62];
  return id;
}

bool Write(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return static_cast<bool>(out);
}

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool Generate(int instances, const std::string& folder) {
  std::string product = "STANDIN-DOCUMENT 1\nproduct\npartnumber ASM\n";
  std::string listed, records;
  for (int i = 0; i < instances; ++i) {
    const std::string n = std::to_string(i);
    product += "component Bolt." + n + "\nreference bolt.CATPart\n";
    listed += "{" + Identifier(i) + "}";
    records += "@" + Identifier(i) + "\n{PARENT_PARTNUMBER}ASM\n{INSTANCENAME}Bolt." + n +
               "\n{NEW_INSTANCENAME}Screw." + n + "\n";
  }
  return Write(folder + "/asm.CATProduct", product) &&
         Write(folder + "/bolt.CATPart", "STANDIN-DOCUMENT 1\nproduct\npartnumber BOLT\n") &&
         Write(folder + "/rename.ztr", "@ROOT\n{PARENT_OBJECTS}{ASM}\n{INSTANCE_OBJECTS}" + listed +
                                           "\n@ASM\n{PARTNUMBER}ASM\n{EXTERNAL_LOCATION}"
                                           "asm.CATProduct\n" +
                                           records);
}

bool AllRenamed(int instances, const std::string& folder) {
  std::string expected = "STANDIN-DOCUMENT 1\nproduct\npartnumber ASM\n";
  for (int i = 0; i < instances; ++i) {
    expected += "component Screw." + std::to_string(i) + "\nreference bolt.CATPart\n";
  }
  return Read(folder + "/asm.CATProduct") == expected;
}

}  // namespace

int main(int argc, char* argv[]) {
  const int instances = argc > 1 ? std::atoi(argv[1]) : 12000;
  if (instances < 1 || instances > 62 * 62 * 62) {
    std::fprintf(stderr, "usage: instance_bench [instances, 1 to %d]\n", 62 * 62 * 62);
    return 3;
  }
  char folder[] = "/tmp/quorvel-instances-XXXXXX";
  if (mkdtemp(folder) == nullptr || !Generate(instances, folder)) {
    std::fprintf(stderr, "cannot generate %d instances\n", instances);
    return 1;
  }
  const WholeRun run = RunInFolder(QUORVEL_BINARY, folder);
  const bool complete =
      run.exit_code == 0 &&
      LastLineOf(std::string(folder) + "/rename.ztr.log") == "All files saved successfully." &&
      AllRenamed(instances, folder);
  std::printf(
      "%5d instances renamed under one product: %6.2f s (%.2f s CPU), peak memory %6.1f MiB%s\n",
      instances, run.seconds, run.cpu_seconds, run.peak_kib / 1024.0,
      complete ? "" : "  (run did not complete)");
  std::filesystem::remove_all(folder);
  return complete ? 0 : 1;
}
