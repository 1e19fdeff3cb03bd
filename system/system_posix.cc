#include "system/system.h"

bool OnWindows() { return false; }

void BinaryStandardOutput() {}
