// The rename table of a product structure as the platform shows it: the root document opened
// in a session of its own, every document once in structure order, each followed by its
// product's component instances; files named relative to the working folder.
#ifndef PLANNER_STRUCTURE_TABLE_H
#define PLANNER_STRUCTURE_TABLE_H

#include <string>
#include <vector>

#include "planner/rename_table.h"
#include "system/files.h"

// Fills `table` from the structure under `root_document`, read through `files`. `notes` gets one
// line for each thing in the structure that the table cannot show whole (a component whose document
// cannot be opened, a document without a product). False, with the reason, when the root document
// cannot be opened.
bool ReadStructureTable(FileSystem& files, const std::string& root_document, RenameTable* table,
                        std::vector<std::string>* notes, std::string* error);

#endif  // PLANNER_STRUCTURE_TABLE_H
