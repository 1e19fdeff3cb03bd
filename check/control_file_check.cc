#include "check/control_file_check.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "ZTRConfigTopicManager.h"
#include "check/after_check.h"
#include "check/open_check.h"
#include "check/plan_check.h"
#include "check/project_check.h"
#include "findings/display_text.h"
#include "findings/listed_objects.h"
#include "findings/reading_map.h"
#include "findings/report.h"
#include "prediction/plan_runs.h"
#include "projectindex/project_scope.h"

namespace {

const char kSessionName[] = "Quorvel_Check_Session";

const char kOptions[] =
    "[--open | --after [--old-files[=lines]]] [--project DIR [--index FILE]] control_file...";

const char kHelp[] =
    "Finds what a run of Quorvel on control_file would do wrong, before anything is written,\n"
    "with the tool's own reader and plan builder. Each finding is one line, FILE:LINE: error:\n"
    "MESSAGE or FILE:LINE: warning: MESSAGE, sorted by line; then the count. Several control\n"
    "files are one plan, run in the order given: with --open, what the earlier ones write is\n"
    "there for the later ones. Messages name files by their full path; values and paths are\n"
    "in double quotes, with control bytes and bytes that are not UTF-8 escaped.\n"
    "\n"
    "Options:\n"
    "  --open     also run the tool's stages on the documents in a session that writes\n"
    "             nothing, and report every record the run would fail or stop at\n"
    "  --after    after a run: open the documents and check that the structure on disk is\n"
    "             what the control file asked for\n"
    "  --old-files[=lines]\n"
    "             with --after, once the run is proven: the full paths of the old files\n"
    "             that no document refers to any more, each ended by a NUL byte (for\n"
    "             xargs -0 rm) or with =lines one a line, on standard output; the report\n"
    "             goes to standard error. Nothing is deleted, and no file that a\n"
    "             document of the project uses is listed: the project is --project,\n"
    "             $QUORVEL_PROJECT or else the working folder, as a note says.\n"
    "  --project DIR\n"
    "             with --open or --after, the project folder whose products share the\n"
    "             documents (otherwise $QUORVEL_PROJECT): a document of it that the plan\n"
    "             leaves out and that uses a document the run saves under a new file or\n"
    "             gives a new part number is a warning at that document's line\n"
    "  --index FILE\n"
    "             keeps the project's index in FILE, as Quorvel-tree --where-used does\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n"
    "\n"
    "Exit codes: 0 no finding, 1 warnings only, 2 at least one error, 3 a wrong command line\n"
    "or a control file that cannot be read.\n";

}  // namespace

int RunControlFileCheck(int argc, char* argv[], std::ostream& out, std::ostream& err,
                        FileSystem& files) {
  const char* invocation = argc > 0 ? argv[0] : "Quorvel-check";
  bool open = false, after = false, options_end = false;
  const char* old_files_end = nullptr;  // what ends each old file's path, when they are asked
  std::string project, index_path;
  bool has_project = false, has_index = false;
  std::vector<const char*> control_files;
  std::string wrong;  // what is wrong with the command line
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (!options_end && argument == "--help") {
      out << "Usage: " << invocation << " " << kOptions << "\n\n" << kHelp << std::flush;
      return 0;
    } else if (!options_end && argument == "--version") {
      out << "Quorvel-check " << QUORVEL_VERSION << std::endl;
      return 0;
    } else if (!options_end && argument == "--") {
      options_end = true;
    } else if (!options_end && argument == "--open") {
      open = true;
    } else if (!options_end && argument == "--after") {
      after = true;
    } else if (!options_end && (argument == "--old-files" || argument == "--old-files=lines")) {
      old_files_end = argument == "--old-files" ? "" : "\n";
    } else if (!options_end && (argument == "--project" || argument == "--index")) {
      std::string& value = argument == "--project" ? project : index_path;
      (argument == "--project" ? has_project : has_index) = true;
      if (i + 1 < argc && argv[i + 1][0] != '\0') {
        value = argv[++i];
      } else if (wrong.empty()) {
        wrong = argument + " needs a folder or file";
      }
    } else if (!options_end &&
               (argument.rfind("--project=", 0) == 0 || argument.rfind("--index=", 0) == 0)) {
      const bool is_project = argument[2] == 'p';
      (is_project ? project : index_path) = argument.substr(is_project ? 10 : 8);
      (is_project ? has_project : has_index) = true;
      if ((is_project ? project : index_path).empty() && wrong.empty()) {
        wrong = argument + " needs a folder or file";
      }
    } else if (!options_end && argument.size() > 1 && argument[0] == '-') {
      if (wrong.empty()) wrong = "unknown option " + Quoted(argument);
    } else if (!argument.empty()) {
      control_files.push_back(argv[i]);
    } else if (wrong.empty()) {
      wrong = "an empty argument";
    }
  }
  if (wrong.empty() && open && after) wrong = "--open and --after exclude each other";
  if (wrong.empty() && old_files_end != nullptr && !after) wrong = "--old-files goes with --after";
  if (wrong.empty() && (has_project || has_index) && !open && !after) {
    wrong = "--project and --index go with --open or --after";
  }
  if (wrong.empty() && has_index && !has_project) wrong = "--index goes with --project";
  if (!wrong.empty() || control_files.empty()) {
    if (!wrong.empty()) err << invocation << ": " << wrong << "\n";
    err << "Usage: " << invocation << " " << kOptions << std::endl;
    return 3;
  }
  // The report is the check's only output: the tool's own console lines stay off.
  g_ZTRConfig.SetTraceLevel(0);

  // The project the plan is judged in; --old-files always has one.
  std::string project_from = "--project";
  if (!has_project && (open || after)) {
    project = ProjectFromEnvironment();
    project_from = "QUORVEL_PROJECT";
  }
  if (project.empty() && old_files_end != nullptr) {
    project = ".";
    project_from = "the working folder; --project or QUORVEL_PROJECT names another";
  }
  std::unique_ptr<ProjectIndex> index;
  if (!project.empty() && (open || after)) {
    index = std::make_unique<ProjectIndex>();
    if (!OpenProjectIndex(files, project, index_path, invocation, err, index.get())) return 3;
  }

  // The runs of several control files follow one another: what the earlier ones would write
  // stays there for the later ones.
  PlanRuns runs(files, kSessionName);
  // With the old files asked for, they are the output and the report goes aside.
  std::ostream& report_out = old_files_end != nullptr ? err : out;
  std::vector<std::string> old_files;
  size_t errors = 0, warnings = 0;
  for (const char* file : control_files) {
    std::string why;
    ControlFileRun* run = runs.Read(file, &why);
    if (run == nullptr) {
      err << invocation << ": cannot read " << QuotedFile(file) << ": " << why << std::endl;
      return 3;
    }
    const ReadingMap& map = run->map;
    const ZTRObjectManager& objects = run->objects;
    const ZTRDocumentManager& plan = *run->plan;
    Report report;
    map.Check(&report);
    CheckedPlan listed;
    std::vector<RunConflict> conflicts;
    CheckPlan(files, objects, plan, map, &listed, &report, &conflicts);
    // What the control file alone shows of the run is said once: by the stages when they meet it.
    if (open) CheckOpen(&runs, run, &report);
    if (open && index != nullptr) CheckProjectUsersBefore(*index, *run, &report);
    ReportConflicts(conflicts, open ? &run->prediction : nullptr, &report);
    // A copy leaves its originals: none of them is an old file to remove.
    const bool copy = AsksForCopy(objects);
    if (after) {
      CheckAfter(files, plan, listed, map, &report, old_files_end && !copy ? &old_files : nullptr);
      if (index != nullptr) CheckProjectUsersAfter(files, *index, *run, &report);
    }
    report.PrintFindings(file, report_out);
    errors += report.Errors();
    warnings += report.Warnings();
  }
  PrintCount(errors, warnings, report_out);
  if (old_files_end != nullptr) {
    if (errors > 0) {
      err << invocation << ": the run is not proven; no old file is listed" << std::endl;
    } else {
      err << invocation << ": note: no file that a document of " << QuotedFile(index->project())
          << " uses is listed (" << project_from << ")" << std::endl;
      KeepUsedOldFiles(*index, invocation, &old_files, err);
      for (const std::string& old_file : old_files) {
        out << old_file << (*old_files_end ? old_files_end : std::string(1, '\0'));
      }
      out << std::flush;
    }
  }
  return errors > 0 ? 2 : warnings > 0 ? 1 : 0;
}
