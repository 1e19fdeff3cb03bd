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

  // Changes the new columns of `document` by the writing rule `rule`, as --on says, with `n`
  // for {n}; false when the rule does not apply to it (a --regex that matches nothing).
  // --folder keeps the file's folders after the first `common_depth` unless `flatten`.
  static bool Change(const Rule& rule, long long n, bool parts, bool files, TableDocument* document,
                     size_t common_depth, bool flatten);

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
