#include "tree/tree_command.h"

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "ZTRConfigTopicManager.h"
#include "findings/display_text.h"
#include "projectindex/project_scope.h"
#include "system/paths.h"
#include "tree/dot_graph.h"
#include "tree/preview.h"
#include "tree/tree_printer.h"
#include "tree/where_used.h"

namespace {

const long kDefaultExpandLimit = 100000;

const char kUsage[] =
    " [--plan control_file... [--changed] [--project DIR [--index FILE]]] [--expand[=LINES]]"
    " [--dot] root_document";

const char kWhereUsedUsage[] = " --where-used FILE|PART_NUMBER --project DIR [--index FILE]";

const char kHelp[] =
    "Shows the product structure under root_document: each instance with the file it refers to\n"
    "and that file's part number. Files are shown relative to the working folder. A file's\n"
    "instances are listed where it is first used; later uses end in (see line N). Levels\n"
    "deeper than 30 are not indented further but start with (level N).\n"
    "\n"
    "Options:\n"
    "  --plan control_file  the structure as a run of control_file will leave it, found by\n"
    "                       running the tool's stages while nothing is written: each change\n"
    "                       as OLD -> NEW, then a legend and, in the form\n"
    "                       control_file:LINE: error: MESSAGE (or warning:), what the run\n"
    "                       meets as Quorvel-check --open says it, documents left on an old\n"
    "                       file and records that touch nothing here\n"
    "                       (--plan given again: several control files, one plan run in\n"
    "                       their order)\n"
    "  --changed            with --plan, only the branches that hold a change\n"
    "  --project DIR        with --plan, the project folder whose products share the\n"
    "                       documents (otherwise $QUORVEL_PROJECT): a document of it\n"
    "                       outside the structure and the plan that uses a document the\n"
    "                       run saves under a new file or gives a new part number is a\n"
    "                       warning at that document's line; --index as below\n"
    "  --expand[=LINES]     every use of a file in full (a file is not expanded inside\n"
    "                       itself), up to LINES lines (100000 when not given)\n"
    "  --dot                a Graphviz graph instead (render with: dot -Tsvg -o tree.svg):\n"
    "                       each file once, instances as arrows, changes in blue, links\n"
    "                       left on an old file dashed red; findings go to standard error\n"
    "  --help, --version\n"
    "\n"
    "--where-used FILE|PART_NUMBER shows every document of the project folder DIR (at any\n"
    "depth) that uses the file, or the documents of the part number, directly and through\n"
    "sub-assemblies, up to the products that nothing uses: an inverted tree, each line the\n"
    "instances that use the line above, their document's file and its part number.\n"
    "  --project DIR        the project folder (otherwise $QUORVEL_PROJECT)\n"
    "  --index FILE         keep the project's index in FILE instead of the user's cache\n"
    "                       folder (quorvel/ under $XDG_CACHE_HOME, ~/.cache or\n"
    "                       %LOCALAPPDATA%); each use brings it up to date first, reading\n"
    "                       only the documents changed since\n"
    "Exit code: 0 used, 1 used nowhere, 3 a wrong command line or a folder that cannot be\n"
    "read.\n"
    "\n"
    "Bytes a terminal would act on are shown escaped, as ls -b does: \\\\ for a backslash,\n"
    "\\t \\n \\r and the like, other control bytes, bytes that are not UTF-8 and invisible\n"
    "format characters as \\ and three octal digits (ESC is \\033). Messages name files by\n"
    "their full path and quote values and paths in double quotes (\\\" inside).\n"
    "\n"
    "Exit code: 0 nothing to report, 1 warnings, 2 errors: the run would fail a record, stop\n"
    "early or replace a file the plan needs; 3 a wrong command line or a file that cannot be\n"
    "read.\n";

int Usage(const char* invocation, std::ostream& err) {
  err << "Usage: " << invocation << kUsage << "\n       " << invocation << kWhereUsedUsage
      << std::endl;
  return 3;
}

// What the command line asks for.
struct Request {
  std::string root;
  bool has_root = false;          // the root may be given as an empty argument
  std::vector<std::string> plan;  // the control files, run in this order
  bool changed = false, dot = false, help = false, version = false;
  long expand_limit = 0;
  // --where-used: the file or part number asked about, the project folder and the index file.
  std::string where_used, project, index_path;
  bool has_where_used = false, has_project = false, has_index = false;
};

// An option's value, given as --name VALUE or --name=VALUE; false when it has none.
bool OptionValue(const std::string& name, int argc, char* argv[], int* i, std::string* value) {
  const std::string argument = argv[*i];
  if (argument == name) {
    if (*i + 1 == argc) return false;
    *value = argv[++*i];
    return true;
  }
  *value = argument.substr(name.size() + 1);
  return true;
}

bool IsOption(const std::string& argument, const std::string& name) {
  return argument == name || argument.rfind(name + "=", 0) == 0;
}

int RunWhereUsed(const char* invocation, const std::string& what, const std::string& project,
                 const std::string& index_path, std::ostream& out, std::ostream& err,
                 FileSystem& files) {
  ProjectIndex index;
  if (!OpenProjectIndex(files, project, index_path, invocation, err, &index, true)) return 3;
  const long users = PrintWhereUsed(files, index, what, out);
  out.flush();
  if (users < 0) {
    err << invocation << ": " << Quoted(what) << " is neither a file nor a part number of "
        << QuotedFile(index.project()) << std::endl;
  }
  return users > 0 ? 0 : 1;
}

// The limit of --expand=LINES; false unless it is a positive number.
bool ReadExpandLimit(const std::string& digits, long* limit) {
  char* end = nullptr;
  *limit = std::strtol(digits.c_str(), &end, 10);
  return !digits.empty() && *end == '\0' && *limit > 0;
}

// Takes the option argv[*i], and the value after it that it takes, into `request`; false when
// it is wrong (an unknown option is said on `err`).
bool ReadOption(int argc, char* argv[], int* i, Request* request, std::ostream& err) {
  const std::string argument = argv[*i];
  if (argument == "--help") {
    request->help = true;
  } else if (argument == "--version") {
    request->version = true;
  } else if (argument == "--plan") {
    if (*i + 1 == argc) return false;
    request->plan.push_back(argv[++*i]);
  } else if (argument.rfind("--plan=", 0) == 0) {
    request->plan.push_back(argument.substr(7));
  } else if (IsOption(argument, "--where-used")) {
    request->has_where_used = true;
    return OptionValue("--where-used", argc, argv, i, &request->where_used);
  } else if (IsOption(argument, "--project")) {
    request->has_project = true;
    return OptionValue("--project", argc, argv, i, &request->project);
  } else if (IsOption(argument, "--index")) {
    request->has_index = true;
    return OptionValue("--index", argc, argv, i, &request->index_path);
  } else if (argument == "--changed") {
    request->changed = true;
  } else if (argument == "--dot") {
    request->dot = true;
  } else if (argument == "--expand") {
    request->expand_limit = kDefaultExpandLimit;
  } else if (argument.rfind("--expand=", 0) == 0) {
    return ReadExpandLimit(argument.substr(9), &request->expand_limit);
  } else {
    err << argv[0] << ": unknown option " << Quoted(argument) << std::endl;
    return false;
  }
  return true;
}

// The project folder of $QUORVEL_PROJECT, unless --project names one.
void TakeProjectFromEnvironment(Request* request) {
  const std::string from_environment = ProjectFromEnvironment();
  if (!request->has_project && !from_environment.empty()) {
    request->project = from_environment;
    request->has_project = true;
  }
}

// Whether a --where-used request names all it needs and nothing of a tree; the project may
// come from the environment variable QUORVEL_PROJECT.
bool WhereUsedRequestIsWhole(Request* request) {
  if (request->has_root || !request->plan.empty() || request->changed || request->dot ||
      request->expand_limit > 0) {
    return false;
  }
  TakeProjectFromEnvironment(request);
  return request->has_project && !request->project.empty() && !request->where_used.empty() &&
         !(request->has_index && request->index_path.empty());
}

// Reads the command line into `request`, up to --help or --version; false when it is wrong.
bool ReadCommandLine(int argc, char* argv[], Request* request, std::ostream& err) {
  bool options_end = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (options_end || argument.empty() || argument[0] != '-' || argument == "-") {
      if (request->has_root) return false;
      request->root = argument;
      request->has_root = true;
    } else if (argument == "--") {
      options_end = true;
    } else if (!ReadOption(argc, argv, &i, request, err)) {
      return false;
    } else if (request->help || request->version) {
      return true;
    }
  }
  if (request->has_where_used) return WhereUsedRequestIsWhole(request);
  // A project folder judges a plan; the environment's is taken only for one.
  if (request->has_project && (request->plan.empty() || request->project.empty())) return false;
  if (request->has_index && (!request->has_project || request->index_path.empty())) return false;
  if (!request->plan.empty()) TakeProjectFromEnvironment(request);
  return request->has_root && (!request->changed || !request->plan.empty());
}

// The structure under the root as the plan will leave it, with what the run meets, or as it is
// without a plan; false with the reason in `why` when an input cannot be read.
bool FindStructure(FileSystem& files, const Request& request, ProjectIndex* project,
                   Preview* preview, std::string* why) {
  if (!request.plan.empty()) {
    return ComputePreview(files, request.root, request.plan, preview, why, project);
  }
  ProductStructure structure;
  if (!ReadProductStructure(files, request.root, &structure, why)) {
    *why = "cannot read " + QuotedFile(request.root) + ": " + *why;
    return false;
  }
  preview->structure = UnchangedStructure(structure);
  return true;
}

// 0 nothing found, 1 warnings only, 2 an error among the findings.
int FindingsExitCode(const std::vector<PreviewFinding>& findings) {
  int exit_code = findings.empty() ? 0 : 1;
  for (const PreviewFinding& finding : findings) {
    if (finding.error) exit_code = 2;
  }
  return exit_code;
}

// Writes the structure as a graph or a tree; false when --expand stopped the tree early.
bool ShowStructure(const Request& request, const Preview& preview, const std::string& cwd,
                   std::ostream& out) {
  const bool has_plan = !request.plan.empty();
  if (request.dot) {
    WriteDotGraph(preview.structure, has_plan, request.changed, cwd, out);
    return true;
  }
  TreeOptions options;
  options.plan = has_plan;
  options.changed_only = request.changed;
  options.expand_limit = request.expand_limit;
  return PrintTree(preview.structure, options, cwd, out);
}

// Each finding as control_file:LINE: error: MESSAGE (or warning:).
void PrintFindings(const std::vector<std::string>& plan,
                   const std::vector<PreviewFinding>& findings, std::ostream& out) {
  for (const PreviewFinding& finding : findings) {
    out << DisplayText(plan[finding.file]) << ':';
    if (finding.line > 0) out << finding.line << ':';
    out << (finding.error ? " error: " : " warning: ") << finding.message << '\n';
  }
  out.flush();
}

}  // namespace

int RunTreeCommand(int argc, char* argv[], std::ostream& out, std::ostream& err,
                   FileSystem& files) {
  const char* invocation = argc > 0 ? argv[0] : "Quorvel-tree";
  Request request;
  if (!ReadCommandLine(argc, argv, &request, err)) return Usage(invocation, err);
  if (request.help) {
    out << "Usage: " << invocation << kUsage << "\n       " << invocation << kWhereUsedUsage
        << "\n\n"
        << kHelp;
    return 0;
  }
  if (request.version) {
    out << "Quorvel-tree " << QUORVEL_VERSION << "\n";
    return 0;
  }
  // Only the tree, the graph and the findings are written: the tool's own console lines stay off.
  g_ZTRConfig.SetTraceLevel(0);
  if (request.has_where_used) {
    return RunWhereUsed(invocation, request.where_used, request.project, request.index_path, out,
                        err, files);
  }

  const std::string cwd = StorageName(".");
  std::unique_ptr<ProjectIndex> project;
  if (request.has_project) {
    project = std::make_unique<ProjectIndex>();
    if (!OpenProjectIndex(files, request.project, request.index_path, invocation, err,
                          project.get())) {
      return 3;
    }
  }
  Preview preview;
  std::string why;
  if (!FindStructure(files, request, project.get(), &preview, &why)) {
    err << invocation << ": " << why << std::endl;
    return 3;
  }
  int exit_code = FindingsExitCode(preview.findings);
  if (!ShowStructure(request, preview, cwd, out)) {
    err << invocation << ": warning: --expand stopped after " << request.expand_limit << " lines"
        << std::endl;
    if (exit_code == 0) exit_code = 1;
  }
  // Findings follow the tree; beside a graph they go to standard error.
  PrintFindings(request.plan, preview.findings, request.dot ? err : out);
  return exit_code;
}
