// Times Quorvel-plan write on hostile workbooks, each beside reading the same file into memory
// (read_into_memory): a zip bomb whose sheet expands to more than a gibibyte (or the mebibytes
// given), and one shared string of 2 MiB that 1,000 cells show. Each must be refused (exit 2)
// in about the time the file takes to read, not to expand, and within 256 MiB of memory; the
// benchmark fails otherwise.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/whole_run.h"
#include "testing/crafted_workbook.h"

namespace {

struct Hostile {
  const char* name;
  std::vector<CraftedEntry> entries;
};

std::vector<Hostile> HostileWorkbooks(uint64_t bomb_mib) {
  const std::string cell = "<row r=\"2\"><c r=\"A2\" t=\"s\"><v>0</v></c></row>";
  std::vector<CraftedEntry> bomb = WorkbookParts(cell, "<si><t>x</t></si>");
  const uint64_t spaces = bomb_mib << 20;
  bomb.back() = {"xl/worksheets/sheet1.xml", DeflatedSpaces("<worksheet>", spaces, "</worksheet>"),
                 spaces + 23};
  std::string shown;  // 1,000 cells that show the one shared string
  for (int row = 1; row <= 1000; ++row) {
    shown += "<row r=\"" + std::to_string(row) + "\"><c t=\"s\"><v>0</v></c></row>";
  }
  std::vector<CraftedEntry> shared = WorkbookParts(shown, "");
  const uint64_t text = uint64_t{2} << 20;
  shared[2] = {"xl/sharedStrings.xml", DeflatedSpaces("<sst><si><t>", text, "</t></si></sst>"),
               text + 12 + 15};
  return {{"zip bomb", bomb}, {"a 2 MiB shared string in 1,000 cells", shared}};
}

}  // namespace

int main(int argc, char* argv[]) {
  const uint64_t bomb_mib = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1126;
  if (bomb_mib < 16) {
    std::fprintf(stderr, "Usage: %s [BOMB_MIB, at least 16]\n", argv[0]);
    return 3;
  }
  const std::string folder = std::filesystem::absolute("workbook-bench").string();
  std::filesystem::create_directories(folder);
  bool all_refused = true;
  for (const Hostile& hostile : HostileWorkbooks(bomb_mib)) {
    const std::string path = folder + "/t.xlsx";
    std::filesystem::remove(path);
    if (!WriteCraftedZip(path, hostile.entries)) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
    const WholeRun read = RunInFolder(READ_INTO_MEMORY_BINARY, folder, {path}, true);
    const WholeRun write = RunInFolder(QUORVEL_PLAN_BINARY, folder, {"write", path}, true);
    const bool refused = write.exit_code == 2 && write.signal == 0 && write.peak_kib <= 256 * 1024;
    all_refused = all_refused && refused;
    std::printf("%-40s %8.1f KiB  read %6.3f s %7ld KiB  write %6.3f s %7ld KiB  %s\n",
                hostile.name, static_cast<double>(std::filesystem::file_size(path)) / 1024,
                read.seconds, read.peak_kib, write.seconds, write.peak_kib,
                refused ? "refused" : "NOT REFUSED WITHIN 256 MiB");
  }
  std::filesystem::remove_all(folder);
  return all_refused ? 0 : 1;
}
