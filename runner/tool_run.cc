#include "runner/tool_run.h"

#include <memory>
#include <sstream>

#include "system/process.h"

namespace {

// A log read for progress or counts: far more than any run writes.
const uint64_t kLogLimit = uint64_t{256} << 20;

bool StartsWith(const std::string& line, const char* prefix) { return line.rfind(prefix, 0) == 0; }

bool ReadLog(FileSystem& files, const std::string& log, std::string* text) {
  FileFacts facts;
  return files.CurrentFacts(log, &facts) && facts.size <= kLogLimit &&
         files.ReadRegularFile(log, text, &facts);
}

// Shows the run's progress over the line shown before (`shown`), when it has changed.
void ShowProgress(const PlannedRun& planned, const ToolRun& run, std::ostream* progress,
                  std::string* shown) {
  std::ostringstream line;
  line << planned.control_file << ": " << run.loaded << " of " << planned.documents
       << " documents loaded, " << run.save_attempts << " of " << planned.documents << " saved";
  const std::string text = line.str();
  if (text == *shown) return;
  *progress << '\r' << text
            << std::string(text.size() < shown->size() ? shown->size() - text.size() : 0, ' ')
            << std::flush;
  *shown = text;
}

}  // namespace

void ReadToolLog(const std::string& text, ToolRun* run) {
  run->loaded = run->saved = run->save_attempts = run->renamed = 0;
  run->failures.clear();
  run->finished = false;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (StartsWith(line, "Document loaded: ")) {
      ++run->loaded;
    } else if (StartsWith(line, "Document ") && line.find(" saved as ") != std::string::npos) {
      ++run->saved;
      ++run->save_attempts;
    } else if (StartsWith(line, "InstanceName set to: ")) {
      ++run->renamed;
    } else if (StartsWith(line, "Failed") || line == "Quorvel failed") {
      if (StartsWith(line, "Failed to save document: ")) ++run->save_attempts;
      run->failures.push_back(line);
    }
    run->finished = line == "All files saved successfully.";
  }
}

void RunTool(FileSystem& files, const std::string& tool,
             const std::vector<std::string>& environment, const PlannedRun& planned,
             std::ostream* progress, ToolRun* run) {
  std::unique_ptr<ChildProcess> child =
      ChildProcess::Start(tool, {planned.control_file}, environment, &run->not_started);
  if (child == nullptr) return;
  std::string shown, text;
  bool stopping = false;
  while (!child->Wait(100, &run->exit_code)) {
    // Asked to end, this process stops the tool and waits for it: what it saved is recorded.
    if (EndAsked() && !stopping) {
      child->Stop();
      stopping = true;
    }
    if (progress == nullptr) continue;
    if (ReadLog(files, planned.log, &text)) ReadToolLog(text, run);
    ShowProgress(planned, *run, progress, &shown);
  }
  if (!shown.empty()) *progress << '\r' << std::string(shown.size(), ' ') << '\r' << std::flush;
  text.clear();
  ReadLog(files, planned.log, &text);
  ReadToolLog(text, run);
}
