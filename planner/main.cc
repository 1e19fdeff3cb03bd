#include "findings/companion_main.h"
#include "planner/plan_command.h"

int main(int argc, char* argv[]) { return RunCompanionMain(RunPlanCommand, argc, argv); }
