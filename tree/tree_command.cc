#include "tree/tree_command.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "ZTRConfigTopicManager.h"
#include "findings/display_text.h"
#include "system/paths.h"
#include "tree/dot_graph.h"
#include "tree/preview.h"
#include "tree/tree_printer.h"
#include "tree/where_used.h"

namespace {

const long kDefaultExpandLimit = 100000;

const char kUsage[] =
    " [--plan control_file... [--changed]] [--expand[=LINES]] [--dot] root_document";
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
  std::vector<std::string> notes;
  std::string why;
  const bool opened = index.Open(files, project, index_path, &notes, &why);
  for (const std::string& note : notes) err << invocation << ": note: " << note << '\n';
  if (!opened) {
    err << invocation << ": " << why << std::endl;
    return 3;
  }
  const IndexCounts& counts = index.counts();
  std::string noted;
  const struct {
    int64_t count;
    const char *one, *many;
  } skipped[] = {
      {counts.not_documents, "file that is no document", "files that are no documents"},
      {counts.unreadable, "document that cannot be read", "documents that cannot be read"},
      {counts.links, "link not followed", "links not followed"},
      {counts.cycles, "folder met twice", "folders met twice"},
      {counts.unlisted, "folder that cannot be listed", "folders that cannot be listed"},
      {counts.other, "device, FIFO or socket", "devices, FIFOs or sockets"},
  };
  for (const auto& item : skipped) {
    if (item.count == 0) continue;
    noted += (noted.empty() ? "" : ", ") + std::to_string(item.count) + " " +
             (item.count == 1 ? item.one : item.many);
  }
  if (!noted.empty()) {
    err << invocation << ": note: in " << QuotedFile(index.project()) << ", skipped: " << noted
        << '\n';
  }
  err.flush();
  const long users = PrintWhereUsed(files, index, what, out);
  out.flush();
  if (users < 0) {
    err << invocation << ": " << Quoted(what) << " is neither a file nor a part number of "
        << QuotedFile(index.project()) << std::endl;
  }
  return users > 0 ? 0 : 1;
}

}  // namespace

int RunTreeCommand(int argc, char* argv[], std::ostream& out, std::ostream& err,
                   FileSystem& files) {
  const char* invocation = argc > 0 ? argv[0] : "Quorvel-tree";
  std::string root;
  std::vector<std::string> plan;  // the control files, run in this order
  std::string where_used, project, index_path;
  bool has_root = false, changed = false, dot = false, options_end = false;
  bool has_where_used = false, has_project = false, has_index = false;
  long expand_limit = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (options_end || argument.empty() || argument[0] != '-' || argument == "-") {
      if (has_root) return Usage(invocation, err);
      root = argument;
      has_root = true;
    } else if (argument == "--") {
      options_end = true;
    } else if (argument == "--help") {
      out << "Usage: " << invocation << kUsage << "\n       " << invocation << kWhereUsedUsage
          << "\n\n"
          << kHelp;
      return 0;
    } else if (argument == "--version") {
      out << "Quorvel-tree " << QUORVEL_VERSION << "\n";
      return 0;
    } else if (argument == "--plan" || argument.rfind("--plan=", 0) == 0) {
      if (argument == "--plan") {
        if (i + 1 == argc) return Usage(invocation, err);
        plan.push_back(argv[++i]);
      } else {
        plan.push_back(argument.substr(7));
      }
    } else if (IsOption(argument, "--where-used")) {
      if (!OptionValue("--where-used", argc, argv, &i, &where_used)) return Usage(invocation, err);
      has_where_used = true;
    } else if (IsOption(argument, "--project")) {
      if (!OptionValue("--project", argc, argv, &i, &project)) return Usage(invocation, err);
      has_project = true;
    } else if (IsOption(argument, "--index")) {
      if (!OptionValue("--index", argc, argv, &i, &index_path)) return Usage(invocation, err);
      has_index = true;
    } else if (argument == "--changed") {
      changed = true;
    } else if (argument == "--dot") {
      dot = true;
    } else if (argument == "--expand") {
      expand_limit = kDefaultExpandLimit;
    } else if (argument.rfind("--expand=", 0) == 0) {
      char* end = nullptr;
      const std::string digits = argument.substr(9);
      expand_limit = std::strtol(digits.c_str(), &end, 10);
      if (digits.empty() || *end != '\0' || expand_limit <= 0) return Usage(invocation, err);
    } else {
      err << invocation << ": unknown option " << Quoted(argument) << std::endl;
      return Usage(invocation, err);
    }
  }
  const bool has_plan = !plan.empty();
  if (has_where_used) {
    if (has_root || has_plan || changed || dot || expand_limit > 0) return Usage(invocation, err);
    const char* from_environment = std::getenv("QUORVEL_PROJECT");
    if (!has_project && from_environment != nullptr && *from_environment != '\0') {
      project = from_environment;
      has_project = true;
    }
    if (!has_project || project.empty() || where_used.empty() ||
        (has_index && index_path.empty())) {
      return Usage(invocation, err);
    }
    g_ZTRConfig.SetTraceLevel(0);
    return RunWhereUsed(invocation, where_used, project, index_path, out, err, files);
  }
  if (!has_root || (changed && !has_plan) || has_project || has_index) {
    return Usage(invocation, err);
  }
  // Only the tree, the graph and the findings are written: the tool's own console lines stay off.
  g_ZTRConfig.SetTraceLevel(0);

  const std::string cwd = StorageName(".");
  Preview preview;
  std::string why;
  if (has_plan) {
    if (!ComputePreview(files, root, plan, &preview, &why)) {
      err << invocation << ": " << why << std::endl;
      return 3;
    }
  } else {
    ProductStructure structure;
    if (!ReadProductStructure(files, root, &structure, &why)) {
      err << invocation << ": cannot read " << QuotedFile(root) << ": " << why << std::endl;
      return 3;
    }
    preview.structure = UnchangedStructure(structure);
  }

  int exit_code = preview.findings.empty() ? 0 : 1;
  for (const PreviewFinding& finding : preview.findings) {
    if (finding.error) exit_code = 2;
  }
  if (dot) {
    WriteDotGraph(preview.structure, has_plan, changed, cwd, out);
  } else {
    TreeOptions options;
    options.plan = has_plan;
    options.changed_only = changed;
    options.expand_limit = expand_limit;
    if (!PrintTree(preview.structure, options, cwd, out)) {
      err << invocation << ": warning: --expand stopped after " << expand_limit << " lines"
          << std::endl;
      if (exit_code == 0) exit_code = 1;
    }
  }
  // Findings follow the tree; beside a graph they go to standard error.
  std::ostream& findings = dot ? err : out;
  for (const PreviewFinding& finding : preview.findings) {
    findings << DisplayText(plan[finding.file]) << ':';
    if (finding.line > 0) findings << finding.line << ':';
    findings << (finding.error ? " error: " : " warning: ") << finding.message << '\n';
  }
  findings.flush();
  return exit_code;
}
