// Quorvel-tree document: prints a stand-in product structure as an indented tree.
#include <iostream>

#include "standin_tree.h"

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::cerr << "Usage: " << (argc > 0 ? argv[0] : "Quorvel-tree") << " document" << std::endl;
    return 2;
  }
  return PrintStandinTree(argv[1], std::cout, std::cerr) ? 0 : 1;
}
