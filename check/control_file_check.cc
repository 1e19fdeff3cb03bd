#include "check/control_file_check.h"

#include <sstream>
#include <string>

#include "ZTRConfigTopicManager.h"
#include "check/open_check.h"
#include "check/plan_check.h"
#include "check/reading_map.h"
#include "check/report.h"

int RunControlFileCheck(int argc, char* argv[], std::ostream& out, std::ostream& err) {
  const char* invocation = argc > 0 ? argv[0] : "Quorvel-check";
  bool open = false;
  const char* file = nullptr;
  bool usage_error = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--open") {
      open = true;
    } else if (file == nullptr && !argument.empty() && argument[0] != '-') {
      file = argv[i];
    } else {
      usage_error = true;
    }
  }
  if (usage_error || file == nullptr) {
    err << "Usage: " << invocation << " [--open] control_file" << std::endl;
    return 3;
  }
  // The report is the check's only output: the tool's own console lines stay off.
  g_ZTRConfig.SetTraceLevel(0);

  ReadingMap map;
  ZTRObjectManager objects;
  if (!objects.ReadFile(file, &map)) {
    err << invocation << ": " << file << ": cannot be read" << std::endl;
    return 3;
  }
  Report report;
  map.Check(&report);
  std::ostringstream no_log;
  const ZTRDocumentManager plan(objects, &no_log);
  CheckedPlan listed;
  CheckPlan(objects, plan, map, &listed, &report);
  if (open) CheckOpen(plan, listed, map, &report);
  report.Print(file, out);
  return report.ExitCode();
}
