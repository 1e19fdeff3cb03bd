#include <iostream>
#include <sstream>
#include <string>

#include "planner/plan_command.h"

int main(int argc, char* argv[]) {
#ifdef _WIN32
  // Windows writes standard output in text mode: every line feed goes out as CR LF, and so a
  // CSV line's CR LF as CR CR LF. The output is gathered, and each CR LF in it handed over as
  // a line feed, so that what comes out, to a pipe or a file, is the bytes written. (A line
  // feed without a carriage return still goes out as CR LF: -o FILE writes such bytes as
  // they are.)
  std::ostringstream gathered;
  const int result = RunPlanCommand(argc, argv, gathered, std::cerr);
  const std::string text = gathered.str();
  std::string handed;
  handed.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' || i + 1 == text.size() || text[i + 1] != '\n') handed += text[i];
  }
  std::cout << handed << std::flush;
  return result;
#else
  return RunPlanCommand(argc, argv, std::cout, std::cerr);
#endif
}
