#include "planner/structure_match.h"

#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "findings/suggestion.h"
#include "planner/spreadsheet_changes.h"
#include "system/paths.h"

namespace {

std::string Q(const std::string& text) { return Quoted(text); }

class Matcher {
 public:
  Matcher(const RenameTable& table, const RenameTable& structure, const std::string& root,
          RenameTable* matched, Report* report, bool* spreadsheet)
      : table_(table),
        root_(root),
        matched_(matched),
        report_(report),
        spreadsheet_(spreadsheet),
        csv_(table.cell_columns.empty()) {
    *matched_ = structure;
    matched_->cell_columns = table.cell_columns;
    for (size_t d = 0; d < structure.documents.size(); ++d) {
      by_file_.emplace(FileKey(structure.documents[d].file), static_cast<int>(d));
      by_number_[structure.documents[d].part_number].push_back(static_cast<int>(d));
    }
    for (size_t i = 0; i < structure.instances.size(); ++i) {
      by_name_.emplace(std::make_pair(structure.instances[i].holder, structure.instances[i].name),
                       static_cast<int>(i));
    }
  }

  bool Run() {
    std::vector<int> documents(table_.documents.size(), -1);  // of each row in the structure
    for (size_t r = 0; r < table_.documents.size(); ++r) documents[r] = MatchDocument(r);
    for (const TableInstance& row : table_.instances) {
      MatchInstance(row, row.holder >= 0 ? documents[static_cast<size_t>(row.holder)] : -1);
    }
    return report_->ExitCode() < 2;
  }

 private:
  void Refuse(int line, const std::string& column, const std::string& value,
              const std::string& why) {
    report_->ErrorAt(line, CellPlace(table_, line, column),
                     column + " " + CellValue(column, value) + ": " + why);
  }

  // A value of a column that users do not fill in, other than the structure's `held`.
  void Differs(int line, const std::string& column, const std::string& value,
               const std::string& what, const std::string& held) {
    std::string why = what + " " + CellValue(column, held);
    const std::string change = SpreadsheetChange(held, value);
    if (!change.empty()) {
      why += " (" + change +
             (csv_ ? ", as spreadsheets do when they open a CSV table)"
                   : ", as spreadsheets do in cells that are not text)");
      *spreadsheet_ = true;
    }
    Refuse(line, column, value, why);
  }

  // A new name that a spreadsheet has made of a number.
  void CheckNewName(int line, const std::string& column, const std::string& value) {
    if (!csv_ || !InExponentForm(value)) return;
    Refuse(line, column, value,
           "has the exponent form in which a spreadsheet that opens a CSV table writes a long "
           "number");
    *spreadsheet_ = true;
  }

  int MatchDocument(size_t r) {
    const TableDocument& row = table_.documents[r];
    const auto found = by_file_.find(FileKey(row.file));
    if (found == by_file_.end()) {
      if (!files_) {
        std::vector<std::string> files;
        for (const TableDocument& document : matched_->documents) files.push_back(document.file);
        files_ = std::make_unique<Suggestion>(files);
      }
      Refuse(
          row.line, "file", row.file,
          "is no document of the structure under " + QuotedFile(root_) + Meant(*files_, row.file));
      return -1;
    }
    TableDocument& document = matched_->documents[static_cast<size_t>(found->second)];
    if (document.line != 0) {
      Refuse(row.line, "file", row.file, "is listed already, on " + RowName(table_, document.line));
      return -1;
    }
    if (row.part_number != document.part_number) {
      Differs(row.line, "part_number", row.part_number, "the document's part number is",
              document.part_number);
    }
    CheckNewName(row.line, "new_part_number", row.new_part_number);
    CheckNewName(row.line, "new_file", row.new_file);
    document.line = row.line;
    document.new_part_number = row.new_part_number;
    document.new_file = row.new_file;
    return found->second;
  }

  // `holder`: the document whose row the instance's row follows, -1 for none.
  void MatchInstance(const TableInstance& row, int holder) {
    std::vector<int> parents;
    if (holder >= 0 &&
        matched_->documents[static_cast<size_t>(holder)].part_number == row.parent_part_number) {
      parents.push_back(holder);
    } else {
      const auto numbered = by_number_.find(row.parent_part_number);
      if (numbered != by_number_.end()) parents = numbered->second;
    }
    if (parents.empty()) {
      if (holder >= 0) {
        Differs(row.line, "parent_part_number", row.parent_part_number,
                "no document of the structure has this part number; the document on the row "
                "above has",
                matched_->documents[static_cast<size_t>(holder)].part_number);
      } else {
        if (!part_numbers_) {
          std::vector<std::string> numbers;
          for (const auto& numbered : by_number_) numbers.push_back(numbered.first);
          part_numbers_ = std::make_unique<Suggestion>(numbers);
        }
        Refuse(row.line, "parent_part_number", row.parent_part_number,
               "no document of the structure has this part number" +
                   Meant(*part_numbers_, row.parent_part_number));
      }
      return;
    }
    int instance = -1;
    for (int parent : parents) {
      const auto found = by_name_.find(std::make_pair(parent, row.name));
      if (found != by_name_.end()) {
        instance = found->second;
        break;
      }
    }
    if (instance < 0) {
      RefuseName(row, parents);
      return;
    }
    TableInstance& matched = matched_->instances[static_cast<size_t>(instance)];
    if (matched.line != 0) {
      Refuse(row.line, "instance", row.name,
             "is listed under this parent already, on " + RowName(table_, matched.line));
      return;
    }
    if (FileKey(row.instance_of) != FileKey(matched.instance_of)) {
      if (matched.instance_of.empty()) {
        Refuse(row.line, "instance_of", row.instance_of,
               "the instance refers to no document that can be opened");
      } else {
        Differs(row.line, "instance_of", row.instance_of, "the instance is an instance of",
                matched.instance_of);
      }
    }
    CheckNewName(row.line, "new_instance", row.new_name);
    matched.line = row.line;
    matched.new_name = row.new_name;
  }

  // An instance that no parent with the row's part number has; names the one a spreadsheet
  // may have made it of.
  void RefuseName(const TableInstance& row, const std::vector<int>& parents) {
    for (int parent : parents) {
      for (auto it = by_name_.lower_bound(std::make_pair(parent, std::string()));
           it != by_name_.end() && it->first.first == parent; ++it) {
        if (SpreadsheetChange(it->first.second, row.name).empty()) continue;
        Differs(row.line, "instance", row.name, "no instance has this name; there is",
                it->first.second);
        return;
      }
    }
    std::vector<std::string> names;
    for (int parent : parents) {
      for (auto it = by_name_.lower_bound(std::make_pair(parent, std::string()));
           it != by_name_.end() && it->first.first == parent; ++it) {
        names.push_back(it->first.second);
      }
    }
    Refuse(row.line, "instance", row.name,
           "the document " +
               QuotedFile(matched_->documents[static_cast<size_t>(parents.front())].file) +
               (parents.size() > 1 ? " (or another with its part number)" : "") +
               " has no instance of this name" + Meant(Suggestion(names), row.name));
  }

  // "; did you mean ...?" when `suggestion` has a close candidate for `wanted`.
  static std::string Meant(const Suggestion& suggestion, const std::string& wanted) {
    const std::string close = suggestion.Closest(wanted);
    return close.empty() ? std::string() : "; did you mean " + Q(close) + "?";
  }

  const RenameTable& table_;
  const std::string root_;
  RenameTable* matched_;
  Report* report_;
  bool* spreadsheet_;
  const bool csv_;
  std::map<std::string, int> by_file_;
  std::map<std::string, std::vector<int>> by_number_;
  std::map<std::pair<int, std::string>, int> by_name_;  // (holder, name) -> instance
  std::unique_ptr<Suggestion> files_, part_numbers_;    // made when first needed
};

}  // namespace

bool MatchStructure(const RenameTable& table, const RenameTable& structure, const std::string& root,
                    RenameTable* matched, Report* report, bool* spreadsheet) {
  return Matcher(table, structure, root, matched, report, spreadsheet).Run();
}
