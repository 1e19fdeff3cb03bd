#include "system/system.h"

bool OnWindows() { return true; }
