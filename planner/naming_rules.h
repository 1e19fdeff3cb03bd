// Naming rules: the options of `Quorvel-plan table` that fill the new columns of the documents
// they select, in the order given, and optionally let instances follow their documents.
// Documents named as library are never given a new part number or file; new part numbers can
// be held against a scheme.
#ifndef PLANNER_NAMING_RULES_H
#define PLANNER_NAMING_RULES_H

#include <memory>
#include <string>
#include <vector>

#include "planner/rename_table.h"

// A compiled regular expression; only the rules see inside.
struct RegexPattern;

// How the rule options are written, for --help.
extern const char kNamingRulesHelp[];

// What applying the rules tells besides the table.
struct RulesOutcome {
  // One line for each rule that would have changed library documents, which it left alone.
  std::vector<std::string> notes;
  // Why the table cannot be given as it is: a branch that no document roots, a new part number
  // that does not follow the scheme (naming the document).
  std::vector<std::string> errors;
};

class NamingRules {
 public:
  // Reads the rule options; false, with the reason, on one it cannot read.
  bool Parse(const std::vector<std::string>& args, std::string* error);

  // Fills the new columns of `table`; a new value equal to the current one is left empty.
  RulesOutcome Apply(RenameTable* table) const;

  // Holds a table filled in by hand against the library and scheme options: a library
  // document given a new part number or file, or a new part number off the scheme, is an
  // error naming the document.
  RulesOutcome Check(const RenameTable& table) const;

 private:
  enum Kind {
    kSelectAll,
    kSelectPart,
    kSelectFile,
    kSelectBranch,
    kOn,
    kPrefix,
    kSuffix,
    kReplace,
    kRegex,
    kNumber,
    kFolder
  };
  struct Rule {
    Kind kind;
    std::string option;                           // as given, for messages
    std::string text, other;                      // the option's arguments
    std::shared_ptr<const RegexPattern> pattern;  // kRegex: the compiled PATTERN
    long long start = 1;                          // the first {n}
  };

  class Pass;  // one Apply over a table: the selection, and each rule's changes

  // The parts of Parse: an option without arguments (true when `option` is one); an option
  // for the whole table or for --start, with its argument; a rule and its arguments at
  // `args[*i]`, numbering from `start`, with `*i` moved past them.
  bool ParseFlag(const std::string& option);
  bool ParseSetting(const std::string& option, const std::string& value, long long* start,
                    std::string* error);
  bool ParseRule(const std::vector<std::string>& args, size_t* i, long long start,
                 std::string* error);
  // Why the arguments of `rule` cannot be used, in `*error`; false then.
  static bool CheckArguments(const Rule& rule, std::string* error);

  // Whether `document` is library, by its file or its part number.
  bool IsLibrary(const TableDocument& document) const;
  // Adds to `errors` that the new part number of `document` is off the scheme, if it is.
  void HoldToScheme(const TableDocument& document, std::vector<std::string>* errors) const;
  // Gives instances the new part numbers of their documents, as --instances-follow says.
  void FollowDocuments(RenameTable* table) const;

  std::vector<Rule> rules_;
  std::vector<std::string> library_folders_;  // storage keys
  std::vector<std::string> library_parts_;    // globs
  std::shared_ptr<const RegexPattern> scheme_;
  std::string scheme_text_;
  bool flatten_ = false;
  bool instances_follow_ = false;
  std::string instances_named_;  // a glob; empty: named after their document's part number
};

// Whether `text` matches the shell-style `pattern`: * any text, ? any one byte, [...] one of
// a set or range ([!...] not), every other byte itself.
bool GlobMatch(const std::string& pattern, const std::string& text);

#endif  // PLANNER_NAMING_RULES_H
