#include <iostream>

#include "check/control_file_check.h"

int main(int argc, char* argv[]) { return RunControlFileCheck(argc, argv, std::cout, std::cerr); }
