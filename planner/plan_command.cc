#include "planner/plan_command.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "findings/display_text.h"
#include "planner/control_file_writer.h"
#include "planner/naming_rules.h"
#include "planner/plan_inversion.h"
#include "planner/plan_prediction.h"
#include "planner/rename_plan.h"
#include "planner/rename_table.h"
#include "planner/spreadsheet_changes.h"
#include "planner/structure_match.h"
#include "planner/structure_table.h"
#include "planner/workbook_writer.h"
#include "projectindex/project_scope.h"
#include "structure/session_reading.h"
#include "system/files.h"
#include "system/paths.h"
#include "system/system.h"

namespace {

const char kUsage[] =
    " table [-o FILE] [--project DIR [--index FILE]] ROOT_DOCUMENT [RULE...]"
    " | write [-o FILE] [--redo] [--copy] [--project DIR [--index FILE] [--leave-users]]"
    " [--library DIR] [--library-part GLOB] [--scheme REGEX] TABLE"
    " | invert [-o FILE] CONTROL_FILE";

const char kHelp[] =
    "\n"
    "  table   writes the rename table of the product structure under ROOT_DOCUMENT: a row\n"
    "          for each document (file, part number, new part number, new file) in structure\n"
    "          order, each followed by rows for its components (parent part number, instance\n"
    "          name, new instance name, the file it is an instance of). Files are named\n"
    "          relative to this folder; run the control file from here too. With -o NAME.xlsx\n"
    "          the table is a workbook to edit by hand: every cell is text, so a spreadsheet\n"
    "          keeps what is typed as typed, and the cells to fill in are yellow. Otherwise it\n"
    "          is CSV, for scripts: the cells that a spreadsheet would change are listed.\n"
    "  write   writes the control file that TABLE (a workbook or CSV) asks for: the changed\n"
    "          documents, the renamed instances and every document that must be saved so that\n"
    "          links follow. The table is held against the structure under its first document:\n"
    "          a row that does not name what the structure holds is refused, with its line (a\n"
    "          workbook's cell), and so is a value that a control file cannot carry. Rows may\n"
    "          be left out; the documents to save come from the structure. A plan too large\n"
    "          for one control file becomes several: -o rename.ztr writes rename-1.ztr,\n"
    "          rename-2.ztr..., which the glob rename-*.ztr gives in the order to run them.\n"
    "          --library, --library-part, --scheme: as in table's rules; a library document\n"
    "          given a new value, or a new part number off the scheme, refuses the table.\n"
    "          --copy: the changed documents are saved as copies under their new files and\n"
    "          nothing else is saved: the originals and whatever refers to them stay.\n"
    "          --redo: a new file that is there already may be replaced when it holds the\n"
    "          part it is to hold, as a run of the same table wrote it before an undo.\n"
    "  --project DIR\n"
    "          the project folder whose products share the documents (otherwise\n"
    "          $QUORVEL_PROJECT; --index FILE keeps its index in FILE, as Quorvel-tree\n"
    "          --where-used does). write adds every document of the project outside the\n"
    "          structure that uses a document saved under a new file to the documents saved\n"
    "          in place, so that its links follow, and names each on standard error; one that\n"
    "          cannot be saved refuses the table, unless --leave-users leaves it on the old\n"
    "          file. table plans the same way, and its --start next numbers after the part\n"
    "          numbers of the project.\n"
    "  invert  writes the control file that, run after CONTROL_FILE, gives every instance,\n"
    "          part number and file its old name again. What the run did not do, as the\n"
    "          disk shows it, is left out, with a warning. Files written under new paths\n"
    "          stay on disk; those that nothing uses, and a copy's files, are listed to\n"
    "          remove instead (a copy gets no control file).\n"
    "  -o FILE writes to FILE instead of standard output.\n\n";

struct CommandLine {
  std::string command, output, input;
  std::vector<std::string> rest;
  bool redo = false;  // write --redo
  bool copy = false;  // write --copy
  // --project DIR (or $QUORVEL_PROJECT) and --index FILE: the project folder and its index;
  // write --leave-users: its users that cannot be saved keep the old files.
  std::string project, index_path;
  bool has_project = false, leave_users = false;
  size_t list_limit = kListLimit;
  FileSystem* files = nullptr;  // what is read and written
};

// More than any rename table or control file of a product structure holds: an input that goes
// on past it (a device, a pipe that keeps writing) is refused rather than read until memory
// runs out.
constexpr size_t kInputLimit = size_t{256} << 20;

// The whole of the input `path`: through `files` when it is a regular file, otherwise (a pipe,
// a device) as the system gives it. False, with the reason, when it cannot be read or goes on
// past kInputLimit.
bool ReadInput(FileSystem& files, const std::string& path, std::string* bytes,
               std::string* reason) {
  const std::string too_long =
      "goes on past 256 MiB, more than any rename table or control file holds; not read";
  const std::string name = StorageName(path);
  FileFacts facts;
  if (!files.CurrentFacts(name, &facts)) {
    if (ReadWholeInput(path, kInputLimit, bytes, reason)) return true;
    if (reason->empty()) *reason = too_long;
    return false;
  }
  if (facts.size <= kInputLimit && files.ReadRegularFile(name, bytes, &facts) &&
      bytes->size() <= kInputLimit) {
    return true;
  }
  *reason =
      facts.size > kInputLimit || bytes->size() > kInputLimit ? too_long : WhyNotReadable(path);
  if (reason->empty()) *reason = "it cannot be read";
  bytes->clear();
  return false;
}

// The name of the `n`th output (from 1) of `count` when -o named `first`: `first` itself when it
// is the only one, otherwise rename-1.ztr, rename-2.ztr... with the numbers padded to one width
// (rename-01.ztr ... rename-12.ztr), so that a glob rename-*.ztr gives them in their order in
// any locale.
std::string OutputName(const std::string& first, size_t n, size_t count) {
  if (count == 1) return first;
  const std::string folder = first.substr(0, first.size() - FileNameOf(first).size());
  std::string number = std::to_string(n);
  number.insert(0, std::to_string(count).size() - number.size(), '0');
  return folder + StemOf(first) + "-" + number + ExtensionOf(first);
}

// One output file on its way: its replacement begun, and what the file held before, to be put
// back when a later output cannot be put in place.
struct Output {
  std::string name;  // a storage name
  std::unique_ptr<FileReplacement> replacement;
  bool existed = false;  // a file was there
  FileFacts before;      // and these were its facts, the file it alone may replace
  bool kept = false;     // and `old_bytes` are its bytes
  std::string old_bytes;
};

// Notes what is at `output->name` now, and keeps its bytes where `keep` asks.
void NoteOld(FileSystem& files, Output* output, bool keep) {
  output->existed = files.CurrentFacts(output->name, &output->before);
  FileFacts read;
  output->kept = keep && output->existed && output->before.size <= kInputLimit &&
                 files.ReadRegularFile(output->name, &output->old_bytes, &read) &&
                 read.SameContentAs(output->before);
}

// Puts back the outputs before `failed`, which are in place: each gets the bytes it held, or
// is removed where there was no file. Names each on `err`, put back or written all the same.
void PutBack(FileSystem& files, const std::vector<Output>& outputs, size_t failed,
             std::ostream& err) {
  for (size_t i = failed; i-- > 0;) {
    const Output& output = outputs[i];
    std::string why = "what it held was not kept";
    const bool back = !output.existed ? files.RemoveFile(output.name, &why)
                      : output.kept   ? files.WriteWholeFile(output.name, output.old_bytes,
                                                             NewFilePermissions(), &why)
                                      : false;
    if (back) {
      err << "Quorvel-plan: " << QuotedFile(output.name)
          << (output.existed ? " is put back as it was" : " is removed again") << "\n";
    } else {
      err << "Quorvel-plan: error: " << QuotedFile(output.name)
          << " is written all the same: it could not be put back as it was: " << why << "\n";
    }
  }
  err << std::flush;
}

// Writes `texts` to the files OutputName(first, 1, count), (first, 2, count)... whole, and all or
// none: each goes to a temporary file beside its target that no one else can have made, and
// the targets are replaced, in order, only when all were written. When one cannot be put in
// place, the ones replaced before it get back what they held (removed where they were new);
// any that cannot is named on `err` as written all the same. A link at a target's name is
// replaced itself: the file it led to stays as it was. Each target is replaced only while it
// holds what it held when the writing began: where another program (another Quorvel-plan)
// wrote one meanwhile, its file is kept and ours go nowhere, so that no set of outputs mixes
// the files of two writers.
bool WriteFiles(FileSystem& files, const std::string& first, const std::vector<std::string>& texts,
                std::ostream& err) {
  std::vector<Output> outputs(texts.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    Output& output = outputs[i];
    output.name = StorageName(OutputName(first, i + 1, texts.size()));
    std::string refused = files.WhyNotReplace(output.name);
    if (refused.empty()) {
      NoteOld(files, &output, i + 1 < texts.size());
      output.replacement = files.BeginReplacement(output.name, NewFilePermissions());
      if (output.replacement == nullptr) refused = "no temporary file can be made beside it";
    }
    if (refused.empty())
      output.replacement->ExpectTarget(output.existed ? &output.before : nullptr);
    if (refused.empty() && !output.replacement->Write(texts[i])) {
      refused = "it could not be written in full";
    }
    if (!refused.empty()) {
      err << "Quorvel-plan: cannot write " << QuotedFile(output.name) << ": " << refused
          << std::endl;
      return false;  // the replacements begun are dropped: no target has changed
    }
  }
  for (size_t i = 0; i < outputs.size(); ++i) {
    FileFacts written;
    if (outputs[i].replacement->Commit(&written)) continue;
    if (files.ChangedSince(outputs[i].name, outputs[i].existed ? &outputs[i].before : nullptr)) {
      err << "Quorvel-plan: error: " << QuotedFile(outputs[i].name)
          << " was written by another program meanwhile; nothing written" << std::endl;
    } else {
      err << "Quorvel-plan: cannot write " << QuotedFile(outputs[i].name)
          << ": it could not be put in place" << std::endl;
    }
    PutBack(files, outputs, i, err);
    return false;
  }
  return true;
}

// The control files to standard output (one) or to -o's files, listed when there are more.
int Emit(const CommandLine& line, const std::vector<std::string>& files, std::ostream& out,
         std::ostream& err) {
  if (line.output.empty()) {
    if (files.size() > 1) {
      err << "Quorvel-plan: " << DisplayText(line.input) << ": error: the plan needs "
          << files.size()
          << " control files, as a ROOT list holds 65,535 bytes at most; name them with -o"
          << std::endl;
      return 2;
    }
    out << files.front() << std::flush;
    return 0;
  }
  if (!WriteFiles(*line.files, line.output, files, err)) return 3;
  if (files.size() > 1) {
    // The lines after the first are commands, as a shell or a batch file takes them.
    err << "Quorvel-plan: the plan is in " << files.size()
        << " control files, as a ROOT list holds 65,535 bytes at most; check them as one plan "
           "and run them one after the other, in this order:\n";
    std::string all;
    for (size_t i = 0; i < files.size(); ++i) {
      all += " \"" + StorageName(OutputName(line.output, i + 1, files.size())) + "\"";
    }
    err << "Quorvel-check --open" << all << "\n";
    for (size_t i = 0; i < files.size(); ++i) {
      err << "Quorvel \"" << StorageName(OutputName(line.output, i + 1, files.size())) << "\"\n";
    }
    err << std::flush;
  }
  return 0;
}

// Tells, when a spreadsheet would change or run cells of the CSV table `table`, which ones, and
// that a workbook keeps them.
void NoteSpreadsheetRisks(const RenameTable& table, std::ostream& err) {
  const std::vector<std::vector<std::string>> cells = TableCells(table);
  std::vector<std::string> shown;
  size_t risky = 0;
  int line = 1;
  for (size_t r = 1; r < cells.size(); ++r) {
    line += 1;
    for (size_t c = 0; c < cells[r].size(); ++c) {
      const std::string why = SpreadsheetRisk(cells[r][c]);
      if (!why.empty() && ++risky <= 3) {
        shown.push_back("line " + std::to_string(line) + ", " + cells[0][c] + " " +
                        Quoted(cells[r][c]) + ": " + why);
      }
    }
    for (const std::string& cell : cells[r]) {
      line += static_cast<int>(std::count(cell.begin(), cell.end(), '\n'));
    }
  }
  if (risky == 0) return;
  err << "Quorvel-plan: note: a spreadsheet that opens this CSV table would change or run " << risky
      << (risky == 1 ? " of its cells:\n" : " of its cells, such as:\n");
  for (const std::string& cell : shown) err << "  " << cell << "\n";
  err << "Quorvel-plan: note: to edit the table by hand, write it as a workbook (-o rename.xlsx), "
         "which keeps every value as it is; the CSV table is for scripts"
      << std::endl;
}

// Reads the table whose bytes are `bytes`: a workbook (a zip archive) or CSV.
bool ReadAnyTable(const std::string& bytes, RenameTable* table, Report* report) {
  if (bytes.compare(0, 4, "PK\x03\x04") == 0) return ReadWorkbookBytes(bytes, table, report);
  return ReadTable(bytes, table, report);
}

// Makes `plan` a copy of the documents it changes (MakeCopy). False, with the reasons on `err`,
// when a changed document has no new file of its own.
bool Copy(FileSystem& files, RenamePlan* plan, const std::string& input, std::ostream& err) {
  std::vector<std::string> own_file_missing;
  const size_t left = MakeCopy(files, plan, &own_file_missing);
  for (const std::string& file : own_file_missing) {
    err << DisplayText(input) << ": error: a copy of " << QuotedFile(file)
        << " needs a new file of its own" << std::endl;
  }
  if (left > 0) {
    err << "Quorvel-plan: note: " << left << " instance" << (left == 1 ? " is" : "s are")
        << " not renamed: a copy saves nothing outside it" << std::endl;
  }
  return own_file_missing.empty();
}

// The plan that `table` asks for, held against the structure it names: the one under the
// document of its first document's row, opened now. `structure`, when given, is that
// structure's table already.
bool PlanAgainstStructure(FileSystem& files, const RenameTable& table, const RenameTable* structure,
                          RenamePlan* plan, Report* report, bool* spreadsheet,
                          const Replaceable& replaceable = nullptr) {
  if (table.documents.empty()) {
    report->Error(1, "the table has no document's row; the first one names the root document");
    return false;
  }
  const TableDocument& first = table.documents.front();
  RenameTable opened, matched;
  if (structure == nullptr) {
    std::vector<std::string> notes;
    std::string error;
    if (!ReadStructureTable(files, first.file, &opened, &notes, &error)) {
      report->ErrorAt(first.line, CellPlace(table, first.line, "file"),
                      "file " + QuotedFile(first.file) + ": " + error +
                          "; the first document's row names the root document, whose "
                          "structure the table is held against");
      return false;
    }
    structure = &opened;
  }
  return MatchStructure(table, *structure, first.file, &matched, report, spreadsheet) &&
         PlanFromTable(files, matched, plan, report, replaceable);
}

// Opens the index of the project folder of `line`; false, with the reason said, when it cannot
// be read.
bool OpenProject(const CommandLine& line, std::ostream& err, ProjectIndex* index) {
  return OpenProjectIndex(*line.files, line.project, line.index_path, "Quorvel-plan", err, index);
}

// Adds to `plan` every document of the project outside it that refers to a document the plan
// saves under a new file: saved in place, it follows to the new file. Says each on `err`. A
// document that cannot be saved is named; false then, unless `leave_users` leaves it on the
// old file, with a warning.
bool AddProjectUsers(FileSystem& files, ProjectIndex& index, bool leave_users, RenamePlan* plan,
                     std::ostream& err) {
  if (plan->copy) return true;  // a copy leaves what uses the originals on them
  std::vector<std::string> listed;
  std::set<std::string> taken = {"ROOT"};
  for (const PlanDocument& document : plan->documents) {
    listed.push_back(document.file);
    listed.push_back(document.new_file);
    taken.insert(document.id);
  }
  for (const PlanInstance& instance : plan->instances) taken.insert(instance.id);
  const std::set<std::string> inside = KeysOfFiles(index, listed);
  const std::string here = StorageName(".");
  std::map<std::string, int> added;  // by the index's key of the user
  bool refused = false;
  const std::vector<int> changes = plan->changes;
  for (int d : changes) {
    const PlanDocument document = plan->documents[static_cast<size_t>(d)];
    if (FileKey(document.file) == FileKey(document.new_file)) continue;
    for (const DocumentUse& use : UsersOutside(index, document.file, inside)) {
      const std::string used = QuotedFile(use.user.name) + " of the project uses " +
                               QuotedFile(document.file) + " (its " + ComponentsOf(use) +
                               "), which is saved as " + QuotedFile(document.new_file);
      auto user = added.find(use.user.key);
      if (user == added.end()) {
        const std::string why = files.WhyNotReplace(use.user.name);
        if (!why.empty()) {
          err << "Quorvel-plan: " << (leave_users ? "warning: " : "error: ") << used
              << ", but it cannot be saved: " << why
              << (leave_users ? "; it keeps the old file (--leave-users)"
                              : "; make it writable, or leave it on the old file with "
                                "--leave-users")
              << "\n";
          refused = refused || !leave_users;
          continue;
        }
        const std::string file = RelativePath(use.user.name, here);
        plan->documents.push_back(
            {UniqueIdentifier(use.user.has_product ? use.user.part_number : StemOf(file), &taken),
             file,
             use.user.part_number,
             file,
             use.user.part_number,
             {}});
        user = added.emplace(use.user.key, static_cast<int>(plan->documents.size() - 1)).first;
      }
      plan->documents[static_cast<size_t>(d)].holders.push_back(user->second);
      err << "Quorvel-plan: " << used << ": it is saved in place too, so that its links follow\n";
    }
  }
  err << std::flush;
  return !refused;
}

int Table(const CommandLine& line, std::ostream& out, std::ostream& err) {
  NamingRules rules;
  std::string error;
  if (!rules.Parse(line.rest, &error)) {
    err << "Quorvel-plan: table: " << error << std::endl;
    return 3;
  }
  std::unique_ptr<ProjectIndex> project;
  if (line.has_project) {
    project = std::make_unique<ProjectIndex>();
    if (!OpenProject(line, err, project.get())) return 3;
  } else if (rules.StartsNext()) {
    err << "Quorvel-plan: table: --start next numbers after the part numbers of the project: "
           "name it with --project DIR or QUORVEL_PROJECT"
        << std::endl;
    return 3;
  }
  RenameTable table;
  std::vector<std::string> notes;
  if (project != nullptr && rules.StartsNext()) {
    std::vector<std::string> started;
    rules.StartAfter(project->PartNumbers(), &started);
    for (const std::string& note : started) err << "Quorvel-plan: note: " << note << "\n";
  }
  if (!ReadStructureTable(*line.files, line.input, &table, &notes, &error)) {
    err << "Quorvel-plan: cannot read " << QuotedFile(line.input) << ": " << error << std::endl;
    return 3;
  }
  for (const std::string& note : notes) err << "Quorvel-plan: note: " << note << "\n";
  const RulesOutcome outcome = rules.Apply(&table);
  for (const std::string& note : outcome.notes) err << "Quorvel-plan: " << note << "\n";
  for (const std::string& warning : outcome.warnings) {
    err << "Quorvel-plan: warning: " << warning << "\n";
  }
  if (!outcome.errors.empty()) {
    for (const std::string& problem : outcome.errors) {
      err << "Quorvel-plan: table: error: " << problem << "\n";
    }
    err << "Quorvel-plan: table: no table written" << std::endl;
    return 2;
  }

  // The table read back as write will read it, so that what write would refuse shows now.
  Report report;
  RenameTable read_back;
  RenamePlan plan;
  bool spreadsheet = false;
  bool writable;
  if (HasExtension(line.output, ".xlsx")) {
    std::string workbook;
    if (!WorkbookBytes(table, &workbook, &error)) {
      err << "Quorvel-plan: cannot write " << QuotedFile(line.output) << ": " << error << std::endl;
      return 3;
    }
    writable = ReadWorkbookBytes(workbook, &read_back, &report) &&
               PlanAgainstStructure(*line.files, read_back, &table, &plan, &report, &spreadsheet);
    if (!WriteFiles(*line.files, line.output, {workbook}, err)) return 3;
  } else {
    const std::string csv = TableToCsv(table);
    writable = ReadTable(csv, &read_back, &report) &&
               PlanAgainstStructure(*line.files, read_back, &table, &plan, &report, &spreadsheet);
    if (line.output.empty()) {
      out << csv << std::flush;
    } else if (!WriteFiles(*line.files, line.output, {csv}, err)) {
      return 3;
    }
    NoteSpreadsheetRisks(table, err);
  }
  if (!writable) {
    report.Print(line.output.empty() ? "(table)" : line.output, err);
    err << "Quorvel-plan: write refuses this table until the rows above are corrected" << std::endl;
    return 1;
  }
  // The runs of what write would make of it, as write runs them: a read-only document or
  // folder, or any other save that would fail, shows now.
  if (project != nullptr && !AddProjectUsers(*line.files, *project, false, &plan, err)) {
    err << "Quorvel-plan: write --project refuses this table unless --leave-users leaves "
           "those documents on the old files"
        << std::endl;
    return 1;
  }
  std::vector<std::string> files, names;
  if (!WriteControlFiles(plan, &files, &error, line.list_limit)) {
    err << "Quorvel-plan: table: " << error << std::endl;
    return 1;
  }
  for (size_t i = 0; i < files.size(); ++i) {
    names.push_back("(control file " + std::to_string(i + 1) + ")");
  }
  if (PredictControlFiles(*line.files, plan, files, names, err) == 0) {
    return outcome.warnings.empty() ? 0 : 1;  // a rule that renamed nothing
  }
  err << "Quorvel-plan: write refuses this table while a run of it would go wrong as said above"
      << std::endl;
  return 1;
}

// Creates the folders that new files go into, as saving does not.
// Makes the folders of the new files that are not there yet, as the run will resolve them:
// through system/paths.h, so that "a/../x" makes no folder "a".
bool MakeNewFolders(FileSystem& files, const RenamePlan& plan, std::ostream& err) {
  for (int d : plan.changes) {
    const std::string& new_file = plan.documents[static_cast<size_t>(d)].new_file;
    if (new_file.empty()) continue;
    const std::string folder = DirectoryOf(StorageName(new_file));
    if (files.IsFolder(folder)) continue;
    std::string why;
    if (!files.MakeFolders(folder, &why)) {
      err << "Quorvel-plan: cannot create the folder " << why << std::endl;
      return false;
    }
    err << "Quorvel-plan: created the folder " << QuotedFile(folder) << " for new files"
        << std::endl;
  }
  return true;
}

int Write(const CommandLine& line, std::ostream& out, std::ostream& err) {
  std::string bytes, reason;
  if (!ReadInput(*line.files, line.input, &bytes, &reason)) {
    err << "Quorvel-plan: cannot read " << QuotedFile(line.input) << ": " << reason << std::endl;
    return 3;
  }
  NamingRules rules;
  std::string error;
  if (!rules.Parse(line.rest, &error)) {
    err << "Quorvel-plan: write: " << error << std::endl;
    return 3;
  }
  Report report;
  RenameTable table;
  RenamePlan plan;
  std::vector<std::string> files;
  bool spreadsheet = false;
  // A new file that is there already and holds the part it is to hold: an earlier run of the
  // same plan wrote it, and write --redo may replace it.
  const auto holds_part = [&line](const std::string& file, const std::string& part_number) {
    std::string held;
    return RootPartNumber(*line.files, file, &held) && held == part_number;
  };
  if (!ReadAnyTable(bytes, &table, &report) ||
      !PlanAgainstStructure(*line.files, table, nullptr, &plan, &report, &spreadsheet,
                            line.redo ? Replaceable(holds_part) : nullptr)) {
    report.Print(line.input, err);
    if (spreadsheet && table.cell_columns.empty()) {
      err << "Quorvel-plan: note: a spreadsheet has changed this table; edit rename tables by "
             "hand as workbooks, which keep every value as it is: Quorvel-plan table -o "
             "rename.xlsx ROOT_DOCUMENT [RULE...]"
          << std::endl;
    }
    return 2;
  }
  const RulesOutcome held = rules.Check(table);
  for (const std::string& problem : held.errors) {
    err << "Quorvel-plan: " << DisplayText(line.input) << ": error: " << problem << "\n";
  }
  if (!held.errors.empty()) return 2;
  if (line.copy && !Copy(*line.files, &plan, line.input, err)) return 2;
  if (line.has_project) {
    ProjectIndex project;
    if (!OpenProject(line, err, &project)) return 3;
    if (!AddProjectUsers(*line.files, project, line.leave_users, &plan, err)) {
      err << "Quorvel-plan: " << DisplayText(line.input)
          << ": error: documents of the project that must follow cannot be saved; nothing is "
             "written"
          << std::endl;
      return 2;
    }
  }
  if (!WriteControlFiles(plan, &files, &error, line.list_limit)) {
    err << DisplayText(line.input) << ": error: " << error << std::endl;
    return 2;
  }
  // The runs themselves, before anything is written: what they would meet is what they do.
  std::vector<std::string> names;
  for (size_t i = 0; i < files.size(); ++i) {
    names.push_back(line.output.empty() ? "(standard output)"
                                        : OutputName(line.output, i + 1, files.size()));
  }
  if (PredictControlFiles(*line.files, plan, files, names, err) > 0) {
    err << "Quorvel-plan: " << DisplayText(line.input) << ": error: a run of the control file"
        << (files.size() > 1 ? "s" : "") << " would go wrong as said above; nothing is written"
        << std::endl;
    return 2;
  }
  if (plan.changes.empty() && plan.instances.empty()) {
    err << "Quorvel-plan: " << QuotedFile(line.input) << " asks for no change" << std::endl;
  }
  if (!MakeNewFolders(*line.files, plan, err)) return 3;
  return Emit(line, files, out, err);
}

int Invert(const CommandLine& line, std::ostream& out, std::ostream& err) {
  std::string bytes, reason;
  if (!ReadInput(*line.files, line.input, &bytes, &reason)) {
    err << "Quorvel-plan: cannot read " << QuotedFile(line.input) << ": " << reason << std::endl;
    return 3;
  }
  Report report;
  RenamePlan undo;
  WayBackFiles way_back;
  std::vector<std::string> files;
  const int result = InvertControlFile(*line.files, line.input, &undo, &way_back, &report);
  if (result != 0 || report.ExitCode() != 0) report.Print(line.input, err);
  if (result != 0) return result;
  if (way_back.copy) {
    PrintWayBackFiles(way_back, line.input, "", err);
    return 0;
  }
  std::string error;
  if (!WriteControlFiles(undo, &files, &error, line.list_limit)) {
    err << DisplayText(line.input) << ": error: " << error << std::endl;
    return 2;
  }
  const int emitted = Emit(line, files, out, err);
  if (emitted == 0) PrintWayBackFiles(way_back, line.input, line.output, err);
  return emitted;
}

// False on a command line that is not one of the usage's forms.
bool Parse(int argc, char* argv[], CommandLine* line) {
  if (argc < 3) return false;
  line->command = argv[1];
  if (line->command != "table" && line->command != "write" && line->command != "invert") {
    return false;
  }
  for (int i = 2; i < argc; ++i) {
    const std::string argument = argv[i];
    const bool project_option = argument == "--project" || argument == "--index";
    if (!line->input.empty() && line->command == "table" && !project_option) {
      line->rest.push_back(argument);  // the rules
    } else if ((argument == "--project" || argument == "--index") && line->command != "invert" &&
               i + 1 < argc && argv[i + 1][0] != '\0') {
      (argument == "--project" ? line->project : line->index_path) = argv[++i];
      line->has_project = line->has_project || argument == "--project";
    } else if (argument == "--leave-users" && line->command == "write") {
      line->leave_users = true;
    } else if (argument == "--redo" && line->command == "write") {
      line->redo = true;
    } else if (argument == "--copy" && line->command == "write") {
      line->copy = true;
    } else if ((argument == "--library" || argument == "--library-part" ||
                argument == "--scheme") &&
               line->command == "write" && i + 1 < argc) {
      line->rest.push_back(argument);  // held against the table, as rules
      line->rest.push_back(argv[++i]);
    } else if (argument == "-o" && i + 1 < argc && line->output.empty() && argv[i + 1][0]) {
      line->output = argv[++i];
    } else if (line->input.empty() && !argument.empty() && argument[0] != '-') {
      line->input = argument;
    } else {
      return false;
    }
  }
  if (!line->has_project && line->command != "invert") {
    line->project = ProjectFromEnvironment();
    line->has_project = !line->project.empty();
  }
  return !line->input.empty() && (line->has_project || line->index_path.empty()) &&
         (line->has_project || !line->leave_users);
}

}  // namespace

int RunPlanCommand(int argc, char* argv[], std::ostream& out, std::ostream& err,
                   FileSystem& files) {
  return RunPlanCommandWithListLimit(kListLimit, argc, argv, out, err, files);
}

int RunPlanCommandWithListLimit(size_t list_limit, int argc, char* argv[], std::ostream& out,
                                std::ostream& err, FileSystem& files) {
  const std::string invocation = argc > 0 ? argv[0] : "Quorvel-plan";
  const std::string first = argc > 1 ? argv[1] : "";
  if (first == "--help") {
    out << "Usage: " << invocation << kUsage << "\n" << kHelp << kNamingRulesHelp << std::flush;
    return 0;
  }
  if (first == "--version") {
    out << "Quorvel-plan " << QUORVEL_VERSION << std::endl;
    return 0;
  }
  CommandLine line;
  line.list_limit = list_limit;
  line.files = &files;
  if (!Parse(argc, argv, &line)) {
    err << "Usage: " << invocation << kUsage << std::endl;
    return 3;
  }
  if (line.command == "table") return Table(line, out, err);
  if (line.command == "write") return Write(line, out, err);
  return Invert(line, out, err);
}
