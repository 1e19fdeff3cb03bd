#include "runner/before_run.h"

#include <map>
#include <set>

#include "check/open_check.h"
#include "check/plan_check.h"
#include "findings/display_text.h"
#include "findings/report.h"
#include "plan/text.h"
#include "prediction/plan_runs.h"
#include "runner/journal.h"
#include "system/paths.h"

namespace {

const char kSessionName[] = "Quorvel_Run_Check_Session";
// What the tool's log takes at most per record of the plan, and beyond them: generous, since
// a log that runs out of room loses its lines without a word.
const uint64_t kLogBytesPerRecord = 1024;
const uint64_t kLogBytes = 16 * 1024;
// Kept free beyond the estimate on every volume.
const uint64_t kSpare = 1 << 20;

// The identifiers that ROOT lists without a record for them: a control file that ends short of
// what it lists, as one cut off by a full disk or a copy that did not finish.
std::vector<std::string> MissingRecords(const ZTRObjectManager& objects) {
  std::vector<std::string> missing;
  const ZTRObject* root = objects.FindObject("ROOT");
  if (root == nullptr) return missing;
  for (const char* key : {"PARENT_OBJECTS", "CHILD_OBJECTS", "INSTANCE_OBJECTS"}) {
    const CATListValCATString items = root->GetAttributeList(key);
    for (int i = 1; i <= items.Size(); ++i) {
      if (objects.FindObject(items[i]) == nullptr) {
        missing.push_back(std::string(items[i].CastToCharPtr()));
      }
    }
  }
  return missing;
}

// Why the tool could not write the log `log` whole, or would write it over a file of the plan;
// empty when it can.
std::string WhyNoLog(FileSystem& files, const std::string& log,
                     const std::set<std::string>& plan_files) {
  const std::string name = StorageName(log);
  if (files.IsLink(name)) {
    return "the log " + QuotedFile(name) + " is a link; the tool would write through it";
  }
  if (files.IsFolder(name)) return "the log " + QuotedFile(name) + " is a folder";
  FileId id;
  FileFacts facts;
  if (files.FindFileId(name, &id) && !files.CurrentFacts(name, &facts)) {
    return "the log " + QuotedFile(name) + " is no regular file";
  }
  if (plan_files.count(StorageKey(name)) != 0) {
    return "the log " + QuotedFile(name) + " is a file the plan reads or writes";
  }
  const std::string why = files.WhyNotReplace(name);
  return why.empty() ? why : "the log cannot be written: " + why;
}

// Bytes to be written on each volume, by the folder first met on it.
class Room {
 public:
  explicit Room(FileSystem& files) : files_(files) {}
  void Add(const std::string& path, uint64_t bytes) {
    const std::string folder = DirectoryOf(StorageName(path));
    FileId id;
    if (!files_.FindFileId(folder, &id)) return;  // refused elsewhere: no such folder
    auto found = by_volume_.emplace(id.device, Volume{folder, 0}).first;
    found->second.bytes += bytes;
  }
  void Check(std::vector<std::string>* refusals) {
    for (const auto& volume : by_volume_) {
      uint64_t free = 0;
      if (!files_.FreeSpace(volume.second.folder, &free)) continue;
      const uint64_t needed = volume.second.bytes + kSpare;
      if (free < needed) {
        refusals->push_back("no room for the run on the volume of " +
                            QuotedFile(volume.second.folder) + ": " + std::to_string(needed) +
                            " bytes needed, " + std::to_string(free) + " free");
      }
    }
  }

 private:
  struct Volume {
    std::string folder;
    uint64_t bytes;
  };
  FileSystem& files_;
  std::map<uint64_t, Volume> by_volume_;
};

// The files the run saves to and reads from, each once; the plan's saves are made in order.
void CollectSaves(FileSystem& files, FileSystem& predicted, const RunPrediction& prediction,
                  PlannedRun* run, BeforeRun* result, std::set<std::string>* seen,
                  std::set<std::string>* plan_files, Room* room) {
  std::set<std::string> in_run;
  for (const PredictedSave& save : prediction.saves) {
    const std::string key = StorageKey(save.target);
    plan_files->insert(StorageKey(save.from));
    plan_files->insert(key);
    FileFacts facts;
    if (predicted.CurrentFacts(save.target, &facts)) room->Add(save.target, facts.size);
    if (in_run.insert(key).second) run->targets.push_back(save.target);
    if (!seen->insert(key).second) continue;
    result->targets.push_back(save.target);
    if (files.IsLink(save.target)) {
      result->refusals.push_back(QuotedFile(save.target) +
                                 " is a link that a save replaces; the way back cannot put a "
                                 "link back");
    }
  }
}

}  // namespace

void CheckBeforeRun(FileSystem& files, const std::vector<std::string>& control_files,
                    const std::string& journal_folder, std::ostream& out, BeforeRun* result) {
  FileId there;
  if (files.FindFileId(journal_folder, &there) || files.IsLink(journal_folder)) {
    result->refusals.push_back(WayBackThere(journal_folder));
  }
  PlanRuns runs(files, kSessionName);
  std::set<std::string> seen, plan_files;
  Room room(files);
  size_t errors = 0, warnings = 0;
  for (const std::string& control_file : control_files) {
    std::string why;
    ControlFileRun* run = runs.Read(control_file, &why);
    if (run == nullptr) {
      result->refusals.push_back("cannot read " + QuotedFile(control_file) + ": " + why);
      continue;
    }
    plan_files.insert(FileKey(control_file));
    const std::vector<std::string> missing = MissingRecords(run->objects);
    if (!missing.empty()) {
      std::string names;
      for (const std::string& name : missing) names += (names.empty() ? "" : ", ") + Quoted(name);
      result->refusals.push_back(QuotedFile(control_file) +
                                 " ends short of what it lists: ROOT "
                                 "lists " +
                                 names +
                                 " with no record (a file cut off, or a "
                                 "misspelt name)");
    }
    Report report;
    run->map.Check(&report);
    CheckedPlan listed;
    std::vector<RunConflict> conflicts;
    CheckPlan(files, run->objects, *run->plan, run->map, &listed, &report, &conflicts);
    CheckOpen(&runs, run, &report);
    ReportConflicts(conflicts, &run->prediction, &report);
    report.PrintFindings(control_file, out);
    errors += report.Errors();
    warnings += report.Warnings();

    PlannedRun planned;
    planned.control_file = control_file;
    planned.log = control_file + ".log";
    const ZTRDocumentManager& plan = *run->plan;
    planned.documents = plan.DocumentCount() + plan.ChangeableDocumentCount();
    CollectSaves(files, runs.files(), run->prediction, &planned, result, &seen, &plan_files, &room);
    const int records = planned.documents + plan.DocumentInstanceCount();
    room.Add(planned.log, kLogBytes + kLogBytesPerRecord * static_cast<uint64_t>(records));
    result->runs.push_back(planned);
  }
  if (errors + warnings > 0) PrintCount(errors, warnings, out);
  if (errors > 0) {
    result->refusals.push_back("Quorvel-check --open finds " + std::to_string(errors) +
                               (errors == 1 ? " error" : " errors") + " in the plan");
  }
  std::set<std::string> logs;
  for (const PlannedRun& run : result->runs) {
    if (!logs.insert(FileKey(run.log)).second) continue;
    const std::string why = WhyNoLog(files, run.log, plan_files);
    if (!why.empty()) result->refusals.push_back(why);
  }
  // The way back keeps a copy of every file the plan replaces.
  for (const std::string& target : result->targets) {
    FileFacts facts;
    if (files.CurrentFacts(target, &facts)) room.Add(journal_folder, facts.size);
  }
  room.Check(&result->refusals);
}
