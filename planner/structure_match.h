// A rename table held against the product structure it was made of: every row must name what
// the structure holds, so that a table changed on its way (by a spreadsheet, say) is refused
// instead of renaming the wrong things. What the control file needs beyond the new names (the
// documents to save, what each instance is an instance of) comes from the structure alone.
#ifndef PLANNER_STRUCTURE_MATCH_H
#define PLANNER_STRUCTURE_MATCH_H

#include <string>

#include "findings/report.h"
#include "planner/rename_table.h"

// Makes `matched`: `structure` (the table of the structure under `root` as it is now, from
// ReadStructureTable) with the new names and lines of the rows of `table` that name its
// documents and instances. Refuses, each at its row and column: a file that is no document of
// the structure, a part number other than the document's, a parent part number that no
// document has, an instance that its parent does not have, an instance_of other than what the
// instance is an instance of, a document or instance given twice, and in a CSV table a new
// name in a spreadsheet's exponent form. Says where a difference looks like a spreadsheet's,
// and sets `spreadsheet` then. False when anything was refused.
bool MatchStructure(const RenameTable& table, const RenameTable& structure, const std::string& root,
                    RenameTable* matched, Report* report, bool* spreadsheet);

#endif  // PLANNER_STRUCTURE_MATCH_H
