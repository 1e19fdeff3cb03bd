// Naming rules: the options of `Quorvel-plan table` that fill the new columns of the documents
// they select, in the order given, and optionally let instances follow their documents.
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

class NamingRules {
 public:
  // Reads the rule options; false, with the reason, on one it cannot read.
  bool Parse(const std::vector<std::string>& args, std::string* error);

  // Fills the new columns of `table`; a new value equal to the current one is left empty.
  void Apply(RenameTable* table) const;

 private:
  enum Kind {
    kSelectAll,
    kSelectPart,
    kSelectFile,
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
    std::string text, other;                      // the option's arguments
    std::shared_ptr<const RegexPattern> pattern;  // kRegex: the compiled PATTERN
    long long start = 1;                          // kNumber
  };

  // `value` changed by a prefix, suffix, replace or regex rule.
  static std::string Edited(const Rule& rule, const std::string& value);

  std::vector<Rule> rules_;
  bool instances_follow_ = false;
  std::string instances_named_;  // a glob; empty: named after their document's part number
};

// Whether `text` matches the shell-style `pattern`: * any text, ? any one byte, [...] one of
// a set or range ([!...] not), every other byte itself.
bool GlobMatch(const std::string& pattern, const std::string& text);

#endif  // PLANNER_NAMING_RULES_H
