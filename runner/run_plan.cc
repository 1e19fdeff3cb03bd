#include "runner/run_plan.h"

#include "ZTRConfigTopicManager.h"
#include "check/after_check.h"
#include "findings/display_text.h"
#include "findings/report.h"
#include "prediction/plan_runs.h"
#include "runner/before_run.h"
#include "runner/journal.h"
#include "runner/tool_run.h"
#include "system/paths.h"
#include "system/process.h"
#include "system/system.h"

namespace {

const char kSessionName[] = "Quorvel_Run_Proof_Session";

const char kOptions[] = "control_file... | --undo JOURNAL";

const char kHelp[] =
    "Runs Quorvel on each control file, in the order given, as one plan, and tells the truth\n"
    "about it. Before anything is touched, it refuses a plan in which Quorvel-check --open\n"
    "finds an error, a log (control_file.log) that the tool could not write, a control file\n"
    "that ends short of what it lists, and a disk without room for the run. It then keeps the\n"
    "way back in the folder first_control_file.quorvel-run: a copy of every file the plan\n"
    "replaces and the list of the files it creates. Each run is proven as Quorvel-check\n"
    "--after proves it, and a summary tells the documents saved, the instances renamed, what\n"
    "failed, where the logs are and the command that goes back. On a terminal, the documents\n"
    "loaded and saved are shown while the tool runs. Asked to end (Ctrl+C), it stops the tool,\n"
    "records what the run left and prints the way back.\n"
    "\n"
    "Options:\n"
    "  --undo JOURNAL  put back every file the run replaced, byte for byte, and remove the\n"
    "                  files it created; a file changed or held since is left and named\n"
    "  --help          show this help and exit\n"
    "  --version       show the version and exit\n"
    "\n"
    "Exit codes: 0 every run proven, 1 a run went wrong (the way back is printed), 2 refused\n"
    "before anything was touched, 3 a wrong command line. With --undo: 0 everything put back,\n"
    "1 something left as it is, 2 no way back there.\n";

// `text` as one word of a shell's command line.
std::string ShellWord(const std::string& text) {
  const char safe[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_./-+:=@%,\\";
  if (!text.empty() && text.find_first_not_of(safe) == std::string::npos &&
      (OnWindows() || text.find('\\') == std::string::npos)) {
    return text;
  }
  if (OnWindows()) return "\"" + text + "\"";
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

int Undo(FileSystem& files, const std::string& folder, std::ostream& out) {
  Journal journal;
  std::string why;
  if (!ReadJournal(files, folder, &journal, &why)) {
    out << "Nothing was undone: " << why << "\n";
    return 2;
  }
  UndoOutcome outcome;
  const bool all = UndoJournal(files, journal, &outcome);
  out << "Put back " << outcome.restored << (outcome.restored == 1 ? " file" : " files")
      << ", removed " << outcome.removed << (outcome.removed == 1 ? " new file" : " new files")
      << ".\n";
  for (const std::string& left : outcome.left) out << "  not undone: " << left << "\n";
  out << (all ? "The files are as they were before the run.\n"
              : "Some files are not as they were before the run; the way back is kept.\n");
  return all ? 0 : 1;
}

// The proof of one run: the structure on disk held against what its control file asks for.
void Prove(FileSystem& files, const std::string& control_file, Report* proof) {
  PlanRuns runs(files, kSessionName);
  std::string why;
  ControlFileRun* run = runs.Read(control_file, &why);
  if (run == nullptr) {
    proof->Error(1, "cannot be read again: " + why);
    return;
  }
  CheckAfter(files, *run->plan, run->listed, run->map, proof);
}

std::string Count(int n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// One run in the summary; true when it went right.
bool PrintRun(const PlannedRun& planned, const ToolRun& run, const Report& proof,
              std::ostream& out) {
  out << planned.control_file << ": " << Count(run.saved, "document", "documents") << " saved, "
      << Count(run.renamed, "instance", "instances") << " renamed; log " << planned.log << "\n";
  bool right = proof.Errors() == 0 && run.failures.empty();
  for (const std::string& failure : run.failures) out << "  " << failure << "\n";
  if (!run.not_started.empty()) {
    out << "  the tool could not be started: " << run.not_started << "\n";
    return false;
  }
  if (run.exit_code != 0) {
    out << "  the tool "
        << (run.exit_code < 0 ? std::string("did not end by itself")
                              : "ended with exit code " + std::to_string(run.exit_code))
        << "\n";
    right = false;
  } else if (!run.finished) {
    out << "  the run stopped before its saves were done (see the log)\n";
    right = false;
  }
  proof.PrintFindings(planned.control_file, out);
  return right;
}

int RunPlan(FileSystem& files, const std::vector<std::string>& control_files,
            const RunnerSettings& settings, std::ostream& out) {
  // Asked to end, the runner stops the tool, records what it left and says how to go back.
  EndRequests requests;
  // The summary is the only output: the tool's own console lines stay off in this process.
  g_ZTRConfig.SetTraceLevel(0);
  const std::string journal_folder = JournalFolderOf(control_files.front());
  BeforeRun before;
  FileFacts tool;
  if (settings.tool.empty() || !files.CurrentFacts(settings.tool, &tool)) {
    before.refusals.push_back("the tool " +
                              QuotedFile(settings.tool.empty() ? "Quorvel" : settings.tool) +
                              " is not there");
  } else {
    CheckBeforeRun(files, control_files, journal_folder, out, &before);
  }
  Journal journal;
  std::string why;
  if (EndAsked()) before.refusals.push_back("asked to end before the runs began");
  if (before.refusals.empty() &&
      !BeginJournal(files, journal_folder, control_files, before.targets, &journal, &why)) {
    before.refusals.push_back(why);
  }
  if (!before.refusals.empty()) {
    for (const std::string& refusal : before.refusals) out << "Refused: " << refusal << "\n";
    out << "Nothing was changed.\n";
    return 2;
  }

  bool right = true;
  size_t ran = 0;
  for (const PlannedRun& planned : before.runs) {
    if (EndAsked()) {
      out << "Asked to end: no further run is begun.\n";
      right = false;
      break;
    }
    // The journal says which files are being written before the tool writes them.
    if (!UpdateJournal(files, planned.targets, false, &journal, &why)) {
      out << "The way back cannot be kept current: " << why << "\n";
      right = false;
      break;
    }
    ToolRun run;
    RunTool(files, settings.tool, settings.environment, planned, settings.progress ? &out : nullptr,
            &run);
    ++ran;
    const bool recorded = UpdateJournal(files, planned.targets, true, &journal, &why);
    Report proof;
    Prove(files, planned.control_file, &proof);
    if (!PrintRun(planned, run, proof, out)) right = false;
    if (!recorded) {
      out << "The way back cannot be kept current: " << why << "\n";
      right = false;
    }
    if (!right) break;
  }
  for (size_t i = ran; i < before.runs.size(); ++i) {
    out << before.runs[i].control_file << ": not run\n";
  }
  const std::string undo = "Quorvel-run --undo " + ShellWord(journal_folder);
  if (right) {
    out << "Proven: the files are what the plan asks for. To go back: " << undo << "\n";
    return 0;
  }
  out << "The run went wrong. To go back to the files as they were before it:\n  " << undo << "\n";
  return 1;
}

}  // namespace

int RunCampaignCommand(int argc, char* argv[], std::ostream& out, std::ostream& err,
                       FileSystem& files, const RunnerSettings& settings) {
  const char* invocation = argc > 0 ? argv[0] : "Quorvel-run";
  bool options_end = false;
  const char* undo = nullptr;
  std::vector<std::string> control_files;
  std::string wrong;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (!options_end && argument == "--help") {
      out << "Usage: " << invocation << " " << kOptions << "\n\n" << kHelp << std::flush;
      return 0;
    } else if (!options_end && argument == "--version") {
      out << "Quorvel-run " << QUORVEL_VERSION << std::endl;
      return 0;
    } else if (!options_end && argument == "--") {
      options_end = true;
    } else if (!options_end && argument == "--undo") {
      if (i + 1 < argc && argv[i + 1][0] != '\0') {
        undo = argv[++i];
      } else if (wrong.empty()) {
        wrong = "--undo names no journal";
      }
    } else if (!options_end && argument.size() > 1 && argument[0] == '-') {
      if (wrong.empty()) wrong = "unknown option " + Quoted(argument);
    } else if (!argument.empty()) {
      control_files.push_back(argument);
    } else if (wrong.empty()) {
      wrong = "an empty argument";
    }
  }
  if (wrong.empty() && undo != nullptr && !control_files.empty()) {
    wrong = "--undo takes no control file";
  }
  if (!wrong.empty() || (control_files.empty() && undo == nullptr)) {
    if (!wrong.empty()) err << invocation << ": " << wrong << "\n";
    err << "Usage: " << invocation << " " << kOptions << std::endl;
    return 3;
  }
  if (undo != nullptr) return Undo(files, undo, out);
  return RunPlan(files, control_files, settings, out);
}

RunnerSettings InstalledSettings() {
  RunnerSettings settings;
  const std::string self = OwnExecutablePath();
  if (!self.empty()) settings.tool = DirectoryOf(self) + "/" + ExecutableFileName("Quorvel");
  settings.progress = StandardOutputIsTerminal();
  return settings;
}
