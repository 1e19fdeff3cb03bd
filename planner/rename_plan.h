// A rename plan as control files carry it: the documents it lists, the ones among them that
// change, and the instances it renames, with the documents that must be saved in place when a
// document changes so that every link follows.
#ifndef PLANNER_RENAME_PLAN_H
#define PLANNER_RENAME_PLAN_H

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "findings/report.h"
#include "planner/rename_table.h"
#include "system/files.h"

struct PlanDocument {
  std::string id;  // its control-file identifier; empty while the plan does not list it
  std::string file, part_number;          // before the plan runs
  std::string new_file, new_part_number;  // equal to the ones before when they stay
  std::vector<int> holders;  // documents that refer to it directly, saved when it changes
};

struct PlanInstance {
  std::string id;
  int parent;  // the document whose product holds it
  std::string name, new_name;
};

struct RenamePlan {
  std::vector<PlanDocument> documents;
  std::vector<int> changes;             // documents that change, each after the ones it refers to
  std::vector<PlanInstance> instances;  // in the order they are renamed
  // Documents saved in place by every control file that changes a document, as well as the
  // holders of what it changes.
  std::vector<int> saved_with_changes;
  // The changed documents are copies: nothing else is saved, no instance outside them renamed.
  bool copy = false;
};

// The plan that a table asks for. Refuses, each with its line, what a run could not carry out
// as the table says: values the control file cannot carry, a row whose document or parent
// is not in the table, two documents saved to one file, a new file where a file exists, a new
// part number or instance name that another document or instance has or gets too. False when
// anything was refused.
// `replaceable`, when given, names new files that are there already and may be replaced all
// the same: it is asked with the new file and the new part number of the row.
using Replaceable = std::function<bool(const std::string& new_file, const std::string& number)>;
// Files are looked at in `files`.
bool PlanFromTable(FileSystem& files, const RenameTable& table, RenamePlan* plan, Report* report,
                   const Replaceable& replaceable = nullptr);

// A readable identifier made of `text`, unique among `taken`, which it joins.
std::string UniqueIdentifier(const std::string& text, std::set<std::string>* taken);

// Makes `plan` a copy of the documents it changes: each is saved as a new document under its
// new file, the documents that refer to them from outside are not saved (they keep referring
// to the originals), and no instance outside them is renamed. Returns how many instances are
// no longer renamed. `own_file_missing` gets the file of each changed document whose new file
// is its file again (as `files` tells), which a copy cannot be saved to: the plan is then no
// copy to run.
size_t MakeCopy(FileSystem& files, RenamePlan* plan, std::vector<std::string>* own_file_missing);

#endif  // PLANNER_RENAME_PLAN_H
