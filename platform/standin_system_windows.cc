#include "standin_system.h"

bool StandinOnWindows() { return true; }
