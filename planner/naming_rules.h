// Naming rules: the options of `Quorvel-plan table` that fill the new columns of the documents
// they select, in the order given, and optionally let instances follow their documents, by a
// naming rule of their own. A rule that could do nothing is refused; one that did nothing on
// the table is a warning.
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
  // One line for each rule that would have changed library documents, which it left alone, and
  // one for the documents given a new part number that keep their file.
  std::vector<std::string> notes;
  // One line for each rule that changed nothing: a selection that matches no document, a rule
  // that changes none of the documents selected, instances that follow without any renamed.
  std::vector<std::string> warnings;
  // Why the table cannot be given as it is: a branch that no document roots, a new part number
  // that does not follow the scheme (naming the document).
  std::vector<std::string> errors;
};

class NamingRules {
 public:
  // Reads the rule options; false, with the reason, on one it cannot read and on one that
  // could not change anything: a selection or --on that no rule uses, a --start that numbers
  // no rule, an option given twice whose second would replace the first.
  bool Parse(const std::vector<std::string>& args, std::string* error);

  // Fills the new columns of `table`; a new value equal to the current one is left empty.
  RulesOutcome Apply(RenameTable* table) const;

  // Whether a rule's {n} starts after the numbers used in the project (--start next).
  bool StartsNext() const;
  // Starts each {n} of --start next after the highest number that a part number of
  // `part_numbers` (those of the project) holds where the rule's text has {n}, the rest of the
  // text matching as the rule would make it; at 1 where none does. Adds a note for each such
  // rule to `notes`.
  void StartAfter(const std::vector<std::string>& part_numbers, std::vector<std::string>* notes);

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
    kStart,
    kPrefix,
    kSuffix,
    kReplace,
    kRegex,
    kNumber,
    kFolder
  };
  struct Rule {
    Kind kind = kSelectAll;
    std::string option;                           // as given, for messages
    std::string typed;                            // with its arguments, quoted
    std::string text, other;                      // the option's arguments
    std::shared_ptr<const RegexPattern> pattern;  // kRegex: the compiled PATTERN
    long long start = 1;                          // the first {n}
    bool start_next = false;  // --start next: after the numbers used in the project
    bool numbered = false;    // its value holds {n}
  };

  class Pass;  // one Apply over a table: the selection, and each rule's changes

  // The parts of Parse: an option without arguments (true when `option` is one); an option
  // for the whole table, with its argument; a rule and its arguments at `args[*i]`, with `*i`
  // moved past them.
  bool ParseFlag(const std::string& option);
  bool ParseSetting(const std::string& option, const std::string& value, std::string* error);
  bool ParseRule(const std::vector<std::string>& args, size_t* i, std::string* error);
  // Why the arguments of `rule` cannot be used, in `*error`; false then. Notes whether its
  // value holds {n}.
  static bool CheckArguments(Rule* rule, std::string* error);
  // Gives each rule that holds {n} the --start it follows: the last one before it, or one
  // given after every such rule when none comes before. False, with the reason, on a --start
  // that numbers no rule.
  bool ResolveStarts(std::string* error);
  // False, with the reason, on a selection or --on that is replaced before any rule uses it,
  // and on --flatten without --folder.
  bool CheckUsed(std::string* error) const;

  // Whether `document` is library, by its file or its part number.
  bool IsLibrary(const TableDocument& document) const;
  // Adds to `errors` that the new part number of `document` is off the scheme, if it is.
  void HoldToScheme(const TableDocument& document, std::vector<std::string>* errors) const;
  // Gives instances the new part numbers of their documents, as --instances-follow and
  // --instance-name say, with a warning for each of them that renames nothing.
  void FollowDocuments(RenameTable* table, RulesOutcome* outcome) const;
  // Whether `instance`, named `name`, follows `document` when it gets a new part number.
  bool Follows(const std::string& name, const TableDocument& document) const;

  std::vector<Rule> rules_;
  std::vector<std::string> library_folders_;  // storage keys
  std::vector<std::string> library_parts_;    // globs
  std::shared_ptr<const RegexPattern> scheme_;
  std::string scheme_text_;
  bool flatten_ = false;
  bool instances_follow_ = false;
  // Globs of --instances-follow=GLOB: instances named so follow too.
  std::vector<std::string> instance_globs_;
  std::string instance_name_;  // --instance-name; empty: the new part number and the number
};

// Whether `text` matches the shell-style `pattern`: * any text, ? any one byte, [...] one of
// a set or range ([!...] not), every other byte itself.
bool GlobMatch(const std::string& pattern, const std::string& text);

#endif  // PLANNER_NAMING_RULES_H
