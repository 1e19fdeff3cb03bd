#include "findings/companion_main.h"
#include "planner/plan_command.h"
#include "system/system.h"

int main(int argc, char* argv[]) {
  // Tables and control files go out as the bytes written, to a pipe or a file alike.
  BinaryStandardOutput();
  return RunCompanionMain(RunPlanCommand, argc, argv);
}
