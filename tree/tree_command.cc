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

namespace {

const long kDefaultExpandLimit = 100000;

const char kUsage[] =
    " [--plan control_file... [--changed]] [--expand[=LINES]] [--dot] root_document";

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
    "Bytes a terminal would act on are shown escaped, as ls -b does: \\\\ for a backslash,\n"
    "\\t \\n \\r and the like, other control bytes, bytes that are not UTF-8 and invisible\n"
    "format characters as \\ and three octal digits (ESC is \\033). Messages name files by\n"
    "their full path and quote values and paths in double quotes (\\\" inside).\n"
    "\n"
    "Exit code: 0 nothing to report, 1 warnings, 2 errors: the run would fail a record, stop\n"
    "early or replace a file the plan needs; 3 a wrong command line or a file that cannot be\n"
    "read.\n";

int Usage(const char* invocation, std::ostream& err) {
  err << "Usage: " << invocation << kUsage << std::endl;
  return 3;
}

}  // namespace

int RunTreeCommand(int argc, char* argv[], std::ostream& out, std::ostream& err,
                   FileSystem& files) {
  const char* invocation = argc > 0 ? argv[0] : "Quorvel-tree";
  std::string root;
  std::vector<std::string> plan;  // the control files, run in this order
  bool has_root = false, changed = false, dot = false, options_end = false;
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
      out << "Usage: " << invocation << kUsage << "\n\n" << kHelp;
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
  if (!has_root || (changed && !has_plan)) return Usage(invocation, err);
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
