#include "prediction/plan_runs.h"

#include "ZTRConfigTopicManager.h"
#include "findings/display_text.h"
#include "system/system.h"

ControlFileRun* PlanRuns::Add(std::unique_ptr<ControlFileRun> run) {
  run->listed = ListPlanObjects(run->objects);
  run->plan = std::make_unique<ZTRDocumentManager>(run->objects, &run->log);
  runs_.push_back(std::move(run));
  return runs_.back().get();
}

ControlFileRun* PlanRuns::Read(const std::string& path, std::string* why) {
  auto run = std::make_unique<ControlFileRun>();
  run->name = path;
  if (!run->objects.ReadFile(path.c_str(), &run->map)) {
    *why = WhyNotReadable(path);
    if (why->empty()) *why = "cannot be read";
    return nullptr;
  }
  return Add(std::move(run));
}

ControlFileRun* PlanRuns::ReadText(const std::string& name, const std::string& text) {
  auto run = std::make_unique<ControlFileRun>();
  run->name = name;
  run->objects.ReadText(text, &run->map);
  return Add(std::move(run));
}

bool PlanRuns::Predict(ControlFileRun* run, std::string* why) {
  const int trace_level = g_ZTRConfig.GetTraceLevel();
  g_ZTRConfig.SetTraceLevel(0);
  const bool predicted =
      PredictRun(run->plan.get(), overlay_, session_name_, &run->prediction, why);
  g_ZTRConfig.SetTraceLevel(trace_level);
  if (predicted) run->findings = PlaceFindings(run->prediction, run->listed, run->map);
  return predicted;
}
