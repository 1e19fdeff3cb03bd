#include "findings/companion_main.h"
#include "tree/tree_command.h"

int main(int argc, char* argv[]) { return RunCompanionMain(RunTreeCommand, argc, argv); }
