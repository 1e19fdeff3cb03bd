#include "check/control_file_check.h"
#include "findings/companion_main.h"

int main(int argc, char* argv[]) { return RunCompanionMain(RunControlFileCheck, argc, argv); }
