// The tool's two outputs. A log line is written whatever the trace switch says; a console
// line only while the switch is on, tested afresh for every line. Either is its parts written
// one after the other with nothing between them, then a newline and a flush.
#ifndef OUTPUT_OUTPUT_H
#define OUTPUT_OUTPUT_H

#include <iostream>
#include <ostream>

#include "ZTRConfigTopicManager.h"

// The trace switch: on while the configuration's trace level is above 0.
inline bool TraceSwitchOn() { return g_ZTRConfig.GetTraceLevel() > 0; }

template <typename... Parts>
void ConsoleLine(const Parts&... parts) {
  if (!TraceSwitchOn()) return;
  (std::cout << ... << parts) << std::endl;
}

// A stream in a failed state (a log file that could not be opened) loses the line silently.
template <typename... Parts>
void LogLine(std::ostream* log, const Parts&... parts) {
  (*log << ... << parts) << std::endl;
}

#endif  // OUTPUT_OUTPUT_H
