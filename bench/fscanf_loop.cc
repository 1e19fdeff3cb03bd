// fscanf_loop FILE: reads a control file with the tool's two line patterns handed to fscanf,
// every field into one of two 65,536-byte buffers and nothing kept, and prints how many
// records and attributes it read. What the tool's reader is timed against.
#include <cstdio>
#include <memory>

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
  std::unique_ptr<char[]> first(new char[65536]);
  std::unique_ptr<char[]> second(new char[65536]);
  long records = 0;
  long attributes = 0;
  while (std::fscanf(file, "@%65535[^\n]\n", first.get()) == 1) {
    ++records;
    while (std::fscanf(file, "{%65535[^}]}%65535[^\n]\n", first.get(), second.get()) == 2) {
      ++attributes;
    }
  }
  std::fclose(file);
  std::printf("%ld records, %ld attributes\n", records, attributes);
  return 0;
}
