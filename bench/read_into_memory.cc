// read_into_memory FILE: reads a file into memory that it keeps, a mebibyte at a time, and
// prints how many bytes it read: what keeping a file's text costs in the system's ordinary
// pages. The tool's reader is timed beside it.
#include <cstdio>
#include <memory>
#include <vector>

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::fprintf(stderr, "Usage: %s FILE\n", argv[0]);
    return 3;
  }
  FILE* file = std::fopen(argv[1], "rb");
  if (file == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  const size_t chunk = size_t{1} << 20;
  std::vector<std::unique_ptr<char[]>> kept;
  long bytes = 0;
  for (size_t n = chunk; n == chunk;) {
    kept.emplace_back(new char[chunk]);
    n = std::fread(kept.back().get(), 1, chunk, file);
    bytes += static_cast<long>(n);
  }
  std::fclose(file);
  std::printf("%ld bytes\n", bytes);
  return 0;
}
