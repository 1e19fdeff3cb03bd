#include <iostream>

#include "planner/plan_command.h"

int main(int argc, char* argv[]) { return RunPlanCommand(argc, argv, std::cout, std::cerr); }
