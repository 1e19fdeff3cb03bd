#include <iostream>

#include "tree/tree_command.h"

int main(int argc, char* argv[]) { return RunTreeCommand(argc, argv, std::cout, std::cerr); }
