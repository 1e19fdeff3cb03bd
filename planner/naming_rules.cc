#include "planner/naming_rules.h"

#include <algorithm>
#include <map>
// GCC 12 warns inside <regex> itself in sanitizer builds; the warning is not about this code.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <regex>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#include "findings/display_text.h"
#include "system/paths.h"

struct RegexPattern {
  std::regex regex;
};

const char kNamingRulesHelp[] =
    "Rules fill the new columns, in the order given, for the documents selected (at first all):\n"
    "  --select-all              select every document again\n"
    "  --select-part GLOB        select the documents whose part number matches GLOB\n"
    "  --select-file GLOB        select the documents whose file matches GLOB (* crosses /)\n"
    "  --select-branch PART_OR_FILE\n"
    "                            select the document with that part number or file and every\n"
    "                            document under it, each once however often it is used\n"
    "  --on part|file|both       what the rules after it change (at first both); a file's\n"
    "                            folder and extension are kept\n"
    "  --prefix TEXT             put TEXT before the name\n"
    "  --suffix TEXT             put TEXT after the name\n"
    "  --replace OLD NEW         replace every OLD by NEW\n"
    "  --regex PATTERN FORMAT    replace every match of the regular expression PATTERN by FORMAT\n"
    "                            ($1 or {1}, $2 or {2}... its groups, $& the match)\n"
    "  --start N                 the first {n} of the rules after it (at first 1); given\n"
    "                            after the last rule that numbers, of the rules before it;\n"
    "                            --start next: after the highest number that the part\n"
    "                            numbers of the project (--project DIR or\n"
    "                            $QUORVEL_PROJECT) hold where the rule's text has {n}\n"
    "  --number FORMAT           the name becomes FORMAT, which holds {n}\n"
    "  --folder DIR              new files go into the folder DIR, relative to this one, each\n"
    "                            in its folder relative to the folder the files share\n"
    "  --flatten                 --folder puts every file straight into DIR\n"
    "  --instances-follow[=GLOB] an instance named after its document's part number, a dot\n"
    "                            and a number (or whose name matches GLOB and ends in a dot\n"
    "                            and a number) gets the new part number with the same number;\n"
    "                            the GLOBs of several add up\n"
    "  --instance-name TEMPLATE  the instances that follow are named TEMPLATE instead: {part}\n"
    "                            the new part number, {n} counting the instances of the same\n"
    "                            document under one parent, {name} the old name (implies\n"
    "                            --instances-follow; with a GLOB, no number is needed)\n"
    "In TEXT, NEW, FORMAT and DIR: {n} a running number, counting the documents the rule\n"
    "changes in structure order ({n:04}: four digits, zeros before), {part} the old part\n"
    "number, {stem} the old file's name without folder and extension.\n"
    "A rule that could change nothing (a selection or --on no rule uses, a --start that\n"
    "numbers no rule, an option given again that would replace the first) is refused; one\n"
    "that changes nothing in the table is a warning (exit code 1).\n"
    "For the whole table, wherever given:\n"
    "  --library DIR             documents whose file lies under the folder DIR are library:\n"
    "                            no rule changes them (each rule that would have says so)\n"
    "  --library-part GLOB       so are documents whose part number matches GLOB\n"
    "  --scheme REGEX            every new part number must match REGEX whole; a table with\n"
    "                            one that does not is refused, naming its document\n";

namespace {

// Matches `c` against the one-byte pattern at `*p` (?, [...] or a byte) and moves past it.
bool MatchOne(const std::string& pattern, size_t* p, char c) {
  const char first = pattern[*p];
  if (first == '?') {
    ++*p;
    return true;
  }
  const size_t close = first == '[' ? pattern.find(']', *p + 2) : std::string::npos;
  if (close == std::string::npos) {
    ++*p;
    return first == c;
  }
  size_t i = *p + 1;
  const bool negated = pattern[i] == '!' || pattern[i] == '^';
  if (negated) ++i;
  bool in = false;
  for (; i < close; ++i) {
    if (i + 2 < close && pattern[i + 1] == '-') {
      in = in || (pattern[i] <= c && c <= pattern[i + 2]);
      i += 2;
    } else {
      in = in || pattern[i] == c;
    }
  }
  *p = close + 1;
  return in != negated;
}

// What the placeholders of a rule's text stand for, for one document.
struct Placeholders {
  long long n = 0;
  std::string part, stem;
  const std::smatch* match = nullptr;  // --regex: its match, for {1}...{9} and $ formats
  const std::string* name = nullptr;   // --instance-name: the old instance name, for {name}
};

// `text` with {n}, {n:0W}, {part}, {stem}, (with a name) {name} and (with a match) {1}...{9}
// replaced by their values; with a match, the text between them formatted as
// std::regex_replace formats ($1, $&). Anything else in braces stays as it is. False on a {n:...}
// that is not {n:0W}; `numbered`, when given, tells whether the text holds {n}.
bool Expand(const std::string& text, const Placeholders& values, std::string* out,
            bool* numbered = nullptr) {
  out->clear();
  if (numbered != nullptr) *numbered = false;
  std::string literal;
  auto flush = [&] {
    *out += values.match != nullptr ? values.match->format(literal) : literal;
    literal.clear();
  };
  for (size_t i = 0; i < text.size();) {
    const size_t close = text[i] == '{' ? text.find('}', i) : std::string::npos;
    const std::string inside = close == std::string::npos ? "" : text.substr(i + 1, close - i - 1);
    std::string value;
    if (inside == "n" || inside.compare(0, 2, "n:") == 0) {
      const std::string width_text = inside.substr(1);
      size_t width = 0;
      if (!width_text.empty()) {
        if (width_text.size() < 2 || width_text.size() > 4 ||
            width_text.find_first_not_of("0123456789", 1) != std::string::npos) {
          return false;
        }
        width = std::stoul(width_text.substr(1));
      }
      const std::string digits = std::to_string(values.n);
      value = std::string(width > digits.size() ? width - digits.size() : 0, '0') + digits;
      if (numbered != nullptr) *numbered = true;
    } else if (inside == "part") {
      value = values.part;
    } else if (inside == "stem") {
      value = values.stem;
    } else if (inside == "name" && values.name != nullptr) {
      value = *values.name;
    } else if (values.match != nullptr && inside.size() == 1 && inside[0] >= '1' &&
               inside[0] <= '9') {
      value = values.match->str(static_cast<size_t>(inside[0] - '0'));
    } else {
      literal += text[i++];
      continue;
    }
    flush();
    *out += value;
    i = close + 1;
  }
  flush();
  return true;
}

// The form in which a folder named on the command line compares with the files of the table:
// its storage key, with a "/" after it.
std::string FolderKey(const std::string& folder) {
  std::string key = FileKey(folder);
  if (key.empty() || key.back() != '/') key += '/';
  return key;
}

// A document's part number and file as they stand after the rules so far.
std::string CurrentPart(const TableDocument& d) {
  return d.new_part_number.empty() ? d.part_number : d.new_part_number;
}
std::string CurrentFile(const TableDocument& d) { return d.new_file.empty() ? d.file : d.new_file; }

// Whether `d` is given a new part number or file: not the same file spelled otherwise.
bool GetsNewName(const TableDocument& d) {
  return (!d.new_part_number.empty() && d.new_part_number != d.part_number) ||
         (!d.new_file.empty() && FileKey(d.new_file) != FileKey(d.file));
}

// Compiles the argument `text` of `option` into `*pattern`; false, with the reason, when it is
// no regular expression.
bool Compile(const std::string& option, const std::string& text,
             std::shared_ptr<const RegexPattern>* pattern, std::string* error) {
  try {
    *pattern = std::make_shared<RegexPattern>(RegexPattern{std::regex(text)});
    return true;
  } catch (const std::regex_error& wrong) {
    *error = option + " " + Quoted(text) + ": " + wrong.what();
    return false;
  }
}

// The root of `file` where it has one, then the folders that hold it, from the outermost.
std::vector<std::string> RootAndFolders(const std::string& file) {
  std::vector<std::string> folders = FoldersOf(file);
  const std::string root = PathRoot(file);
  if (!root.empty()) folders.insert(folders.begin(), root);
  return folders;
}

// `name` in `folder`; `name` itself for no folder.
std::string Joined(const std::string& folder, const std::string& name) {
  return FileNameOf(folder).empty() ? folder + name : folder + "/" + name;
}

// `file` moved into `folder`, keeping the folders that hold it from the one at `keep_from`
// (of RootAndFolders). A root, or a folder above the working one, has no place under `folder`:
// its files go where its sub-folders would.
std::string MovedFile(const std::string& folder, const std::string& file, size_t keep_from) {
  const std::vector<std::string> folders = RootAndFolders(file);
  const bool rooted = !PathRoot(file).empty();
  std::string moved = folder;
  for (size_t f = keep_from; f < folders.size(); ++f) {
    if ((f > 0 || !rooted) && folders[f] != ".." && folders[f] != ".") {
      moved = Joined(moved, folders[f]);
    }
  }
  return Joined(moved, FileNameOf(file));
}

// `file` with `stem` for the stem of its name: in the same folder, with the same extension.
std::string WithStem(const std::string& file, const std::string& stem) {
  const std::string name = FileNameOf(file);
  return file.substr(0, file.size() - name.size()) + stem + name.substr(StemOf(file).size());
}

// `value` with every `old` replaced by `text`.
std::string ReplacedAll(const std::string& value, const std::string& old, const std::string& text) {
  std::string replaced;
  size_t from = 0;
  for (size_t at; (at = value.find(old, from)) != std::string::npos; from = at + old.size()) {
    replaced += value.substr(from, at - from) + text;
  }
  return replaced + value.substr(from);
}

// `value` with every match of `regex` replaced by `format` expanded for it; false when none
// matches.
bool RegexReplaced(const std::regex& regex, const std::string& format, Placeholders values,
                   const std::string& value, std::string* edited) {
  edited->clear();
  bool matched = false;
  std::string rest = value, text;
  for (std::sregex_iterator match(value.begin(), value.end(), regex), end; match != end; ++match) {
    matched = true;
    values.match = &*match;
    Expand(format, values, &text);
    *edited += match->prefix().str() + text;
    rest = match->suffix().str();
  }
  *edited += rest;
  return matched;
}

}  // namespace

bool GlobMatch(const std::string& pattern, const std::string& text) {
  size_t p = 0, t = 0, star = std::string::npos, star_text = 0;
  while (t < text.size()) {
    size_t next = p;
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      star_text = t;
    } else if (p < pattern.size() && MatchOne(pattern, &next, text[t])) {
      p = next;
      ++t;
    } else if (star != std::string::npos) {
      p = star + 1;  // let the last * take one byte more
      t = ++star_text;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

// One Apply: which documents the rules select, which are library, which documents the
// components of each document are instances of (for --select-branch), and what --on lets the
// rules change.
class NamingRules::Pass {
 public:
  Pass(const NamingRules& rules, RenameTable* table);

  // Selects by `rule`, or changes the documents selected by it.
  void Run(const Rule& rule);

  RulesOutcome outcome;

 private:
  void Select(const Rule& rule);
  void SelectBranch(const Rule& rule);
  // How many of RootAndFolders all the files that a --folder rule moves share.
  size_t CommonDepth() const;
  void Write(const Rule& rule);

  // Changes the new columns of `document` by the writing rule `rule`, as --on says, with `n`
  // for {n}; false when the rule does not apply to it (a --regex that matches nothing).
  // --folder keeps the file's folders from the one at `keep_from` (of RootAndFolders).
  static bool Change(const Rule& rule, long long n, bool parts, bool files, TableDocument* document,
                     size_t keep_from);
  // `value` as a writing rule other than --folder changes it; false when a --regex does not
  // match it.
  static bool Edit(const Rule& rule, const Placeholders& values, const std::string& value,
                   std::string* edited);

  const NamingRules& rules_;
  std::vector<TableDocument>& documents_;
  std::vector<std::string> keys_;  // of the documents' files
  std::vector<char> selected_, library_;
  std::vector<std::vector<size_t>> children_;
  bool parts_ = true, files_ = true;
};

NamingRules::Pass::Pass(const NamingRules& rules, RenameTable* table)
    : rules_(rules),
      documents_(table->documents),
      selected_(documents_.size(), 1),
      library_(documents_.size(), 0),
      children_(documents_.size()) {
  std::map<std::string, std::vector<size_t>> by_key;
  for (size_t d = 0; d < documents_.size(); ++d) {
    keys_.push_back(FileKey(documents_[d].file));
    by_key[keys_.back()].push_back(d);
    library_[d] = rules.IsLibrary(documents_[d]);
  }
  for (const TableInstance& instance : table->instances) {
    if (instance.holder < 0 || static_cast<size_t>(instance.holder) >= documents_.size()) continue;
    const auto found = by_key.find(FileKey(instance.instance_of));
    if (instance.instance_of.empty() || found == by_key.end()) continue;
    std::vector<size_t>& of = children_[static_cast<size_t>(instance.holder)];
    of.insert(of.end(), found->second.begin(), found->second.end());
  }
}

void NamingRules::Pass::Run(const Rule& rule) {
  switch (rule.kind) {
    case kSelectAll:
    case kSelectPart:
    case kSelectFile:
      return Select(rule);
    case kSelectBranch:
      return SelectBranch(rule);
    case kOn:
      parts_ = rule.text != "file";
      files_ = rule.text != "part";
      return;
    case kStart:
      return;
    default:
      return Write(rule);
  }
}

void NamingRules::Pass::Select(const Rule& rule) {
  for (size_t d = 0; d < documents_.size(); ++d) {
    selected_[d] = rule.kind == kSelectAll ||
                   GlobMatch(rule.text, rule.kind == kSelectPart ? documents_[d].part_number
                                                                 : documents_[d].file);
  }
  if (std::find(selected_.begin(), selected_.end(), 1) == selected_.end()) {
    outcome.warnings.push_back("the rule " + rule.typed + " matches no document" +
                               (rule.kind == kSelectPart ? "'s part number" : "'s file") +
                               "; the rules after it rename nothing");
  }
}

void NamingRules::Pass::SelectBranch(const Rule& rule) {
  // The roots, then every document that an instance of a selected document is of.
  std::vector<size_t> to_visit;
  std::fill(selected_.begin(), selected_.end(), 0);
  const std::string key = FileKey(rule.text);
  for (size_t d = 0; d < documents_.size(); ++d) {
    if (documents_[d].part_number == rule.text || keys_[d] == key) {
      selected_[d] = 1;
      to_visit.push_back(d);
    }
  }
  if (to_visit.empty()) {
    outcome.errors.push_back("--select-branch " + Quoted(rule.text) +
                             ": no document has this part number or file");
  }
  while (!to_visit.empty()) {
    const size_t holder = to_visit.back();
    to_visit.pop_back();
    for (size_t child : children_[holder]) {
      if (!selected_[child]) to_visit.push_back(child);
      selected_[child] = 1;
    }
  }
}

size_t NamingRules::Pass::CommonDepth() const {
  bool first = true;
  std::vector<std::string> common;
  for (size_t d = 0; d < documents_.size(); ++d) {
    if (!selected_[d] || library_[d]) continue;
    const std::vector<std::string> folders = RootAndFolders(CurrentFile(documents_[d]));
    if (first) common = folders;
    first = false;
    size_t same = 0;
    while (same < common.size() && same < folders.size() &&
           StorageKey(common[same]) == StorageKey(folders[same])) {
      ++same;
    }
    common.resize(same);
  }
  return common.size();
}

void NamingRules::Pass::Write(const Rule& rule) {
  const size_t keep_from = rule.kind != kFolder ? 0
                           : rules_.flatten_    ? std::string::npos
                                                : CommonDepth();
  long long n = rule.start;
  size_t left_alone = 0, renamed = 0;
  for (size_t d = 0; d < documents_.size(); ++d) {
    if (!selected_[d]) continue;
    TableDocument changed = documents_[d];
    if (!Change(rule, n, parts_, files_, &changed, keep_from)) continue;
    const bool renames = CurrentPart(changed) != CurrentPart(documents_[d]) ||
                         FileKey(CurrentFile(changed)) != FileKey(CurrentFile(documents_[d]));
    if (!library_[d]) {
      documents_[d] = changed;
      ++n;
      renamed += renames;
    } else {
      left_alone += renames;
    }
  }
  // A selection that matches nothing has said so already.
  if (renamed == 0 && left_alone == 0 &&
      std::find(selected_.begin(), selected_.end(), 1) != selected_.end()) {
    outcome.warnings.push_back("the rule " + rule.typed +
                               " changes none of the documents selected");
  }
  if (left_alone > 0) {
    outcome.notes.push_back(rule.option + " would change " + std::to_string(left_alone) +
                            (left_alone == 1 ? " library document; it is left as it is"
                                             : " library documents; they are left as they are"));
  }
}

bool NamingRules::Pass::Change(const Rule& rule, long long n, bool parts, bool files,
                               TableDocument* document, size_t keep_from) {
  Placeholders values;
  values.n = n;
  values.part = document->part_number;
  values.stem = StemOf(document->file);
  const std::string file = CurrentFile(*document);
  if (rule.kind == kFolder) {
    std::string folder;
    Expand(rule.text, values, &folder);
    document->new_file = MovedFile(folder, file, keep_from);
    return true;
  }
  std::string part, stem;
  const bool part_changes = parts && Edit(rule, values, CurrentPart(*document), &part);
  const bool file_changes = files && Edit(rule, values, StemOf(file), &stem);
  if (part_changes) document->new_part_number = part;
  if (file_changes) document->new_file = WithStem(file, stem);
  return part_changes || file_changes;
}

bool NamingRules::Pass::Edit(const Rule& rule, const Placeholders& values, const std::string& value,
                             std::string* edited) {
  std::string text;
  switch (rule.kind) {
    case kPrefix:
      Expand(rule.text, values, &text);
      *edited = text + value;
      return true;
    case kSuffix:
      Expand(rule.text, values, &text);
      *edited = value + text;
      return true;
    case kNumber:
      Expand(rule.text, values, edited);
      return true;
    case kReplace:
      Expand(rule.other, values, &text);
      *edited = ReplacedAll(value, rule.text, text);
      return true;
    default:
      return RegexReplaced(rule.pattern->regex, rule.other, values, value, edited);
  }
}

bool NamingRules::Parse(const std::vector<std::string>& args, std::string* error) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (ParseFlag(option)) continue;
    const bool setting = option == "--library" || option == "--library-part" ||
                         option == "--scheme" || option == "--instance-name";
    if (setting && i + 1 >= args.size()) {
      *error = option + " needs an argument";
      return false;
    }
    if (setting ? !ParseSetting(option, args[++i], error) : !ParseRule(args, &i, error)) {
      return false;
    }
  }
  return ResolveStarts(error) && CheckUsed(error);
}

bool NamingRules::ParseFlag(const std::string& option) {
  if (option == "--instances-follow" || option.compare(0, 19, "--instances-follow=") == 0) {
    instances_follow_ = true;
    if (option.size() > 19) instance_globs_.push_back(option.substr(19));
    return true;
  }
  if (option != "--flatten") return false;
  flatten_ = true;
  return true;
}

bool NamingRules::ParseSetting(const std::string& option, const std::string& value,
                               std::string* error) {
  if (option == "--library") {
    if (value.empty()) {
      *error = "--library needs a folder";
      return false;
    }
    library_folders_.push_back(FolderKey(value));
  } else if (option == "--library-part") {
    library_parts_.push_back(value);
  } else {
    // A scheme or an instance name given again would replace the first.
    const bool scheme = option == "--scheme";
    const std::string& first = scheme ? scheme_text_ : instance_name_;
    if (scheme ? scheme_ != nullptr : !instance_name_.empty()) {
      *error = option + " is given twice: " + Quoted(value) + " would replace " + Quoted(first) +
               "; give one";
      return false;
    }
    if (scheme) {
      scheme_text_ = value;
      return Compile(option, value, &scheme_, error);
    }
    std::string name;
    const std::string old;
    Placeholders values;
    values.name = &old;
    if (value.empty() || !Expand(value, values, &name)) {
      *error = "--instance-name needs a name, with {n:0W} in digits, not " + Quoted(value);
      return false;
    }
    instance_name_ = value;
  }
  return true;
}

bool NamingRules::ParseRule(const std::vector<std::string>& args, size_t* i, std::string* error) {
  static const std::map<std::string, std::pair<Kind, int>> kOptions = {
      {"--select-all", {kSelectAll, 0}},
      {"--select-part", {kSelectPart, 1}},
      {"--select-file", {kSelectFile, 1}},
      {"--select-branch", {kSelectBranch, 1}},
      {"--on", {kOn, 1}},
      {"--start", {kStart, 1}},
      {"--prefix", {kPrefix, 1}},
      {"--suffix", {kSuffix, 1}},
      {"--replace", {kReplace, 2}},
      {"--regex", {kRegex, 2}},
      {"--number", {kNumber, 1}},
      {"--folder", {kFolder, 1}}};
  const std::string& option = args[*i];
  const auto known = kOptions.find(option);
  if (known == kOptions.end()) {
    *error = "unknown option " + Quoted(option);
    return false;
  }
  const size_t count = static_cast<size_t>(known->second.second);
  if (count > 0 && *i + count >= args.size()) {
    *error = option + " needs " + (count == 1 ? "an argument" : "two arguments");
    return false;
  }
  Rule rule;
  rule.kind = known->second.first;
  rule.option = rule.typed = option;
  rule.text = count > 0 ? args[*i + 1] : "";
  rule.other = count > 1 ? args[*i + 2] : "";
  // As typed, for messages: --start's number bare, other arguments quoted.
  for (size_t a = 1; a <= count; ++a) {
    rule.typed += " " + (rule.kind == kStart ? args[*i + a] : Quoted(args[*i + a]));
  }
  *i += count;
  if (!CheckArguments(&rule, error)) return false;
  if (rule.kind == kRegex && !Compile(option, rule.text, &rule.pattern, error)) return false;
  rules_.push_back(std::move(rule));
  return true;
}

bool NamingRules::CheckArguments(Rule* rule, std::string* error) {
  if (rule->kind == kOn && rule->text != "part" && rule->text != "file" && rule->text != "both") {
    *error = "--on takes part, file or both, not " + Quoted(rule->text);
    return false;
  }
  if (rule->kind == kStart) {
    const std::string& value = rule->text;
    if (value == "next") {
      rule->start_next = true;
      return true;
    }
    if (value.empty() || value.size() > 15 ||
        value.find_first_not_of("0123456789") != std::string::npos) {
      *error = "--start needs a number or next, not " + Quoted(value);
      return false;
    }
    rule->start = std::stoll(value);
    return true;
  }
  if (rule->kind == kReplace && rule->text.empty()) {
    *error = "--replace needs a text to replace";
    return false;
  }
  if (rule->kind < kPrefix) return true;  // selects
  const std::string& value =
      rule->kind == kReplace || rule->kind == kRegex ? rule->other : rule->text;
  std::string ignored;
  if (Expand(value, Placeholders(), &ignored, &rule->numbered) &&
      (rule->kind != kNumber || rule->numbered)) {
    return true;
  }
  *error = rule->option +
           (rule->kind == kNumber ? " needs {n} or {n:0W}" : ": {n:0W} needs digits") + " in \"" +
           value + "\"";
  return false;
}

bool NamingRules::ResolveStarts(std::string* error) {
  std::vector<size_t> starts;
  for (size_t r = 0; r < rules_.size(); ++r) {
    if (rules_[r].kind == kStart) starts.push_back(r);
  }
  for (size_t k = 0; k < starts.size(); ++k) {
    const Rule& start = rules_[starts[k]];
    const size_t end = k + 1 < starts.size() ? starts[k + 1] : rules_.size();
    bool numbers = false;
    const auto numbered = [&](Rule& rule) {
      if (!rule.numbered) return;
      rule.start = start.start;
      rule.start_next = start.start_next;
      numbers = true;
    };
    for (size_t r = starts[k] + 1; r < end; ++r) numbered(rules_[r]);
    // The first --start, given after the rules it is for.
    for (size_t r = 0; k == 0 && !numbers && r < starts[k]; ++r) numbered(rules_[r]);
    if (!numbers) {
      *error = start.typed + " numbers no rule: put it before the rule whose {n} it starts";
      return false;
    }
  }
  return true;
}

bool NamingRules::StartsNext() const {
  return std::any_of(rules_.begin(), rules_.end(),
                     [](const Rule& rule) { return rule.numbered && rule.start_next; });
}

namespace {

// The part numbers that `rule_text` makes as a regular expression: {n} the digits it numbers
// with (a group), every other placeholder and (with `any_before`, `any_after`) the text
// around it any text.
std::regex NumberedPattern(const std::string& rule_text, bool any_before, bool any_after) {
  static const std::regex kPlaceholder(
      R"(\{n(:0[0-9]{1,3})?\}|\{(part|stem|name|[1-9])\}|\$[0-9&`'])");
  static const std::regex kSpecial(R"([.^$|()\[\]{}*+?\\])");
  std::string pattern = any_before ? ".*" : "";
  bool numbered = false;
  auto literal = [](const std::string& text) { return std::regex_replace(text, kSpecial, "\\$&"); };
  std::string rest = rule_text;
  std::smatch match;
  while (std::regex_search(rest, match, kPlaceholder)) {
    pattern += literal(match.prefix().str());
    const bool n = match.str(0).compare(0, 2, "{n") == 0;
    pattern += n && !numbered ? "([0-9]{1,15})" : n ? "[0-9]+" : ".*";
    numbered = numbered || n;
    rest = match.suffix().str();
  }
  pattern += literal(rest) + (any_after ? ".*" : "");
  return std::regex(pattern);
}

}  // namespace

void NamingRules::StartAfter(const std::vector<std::string>& part_numbers,
                             std::vector<std::string>* notes) {
  for (Rule& rule : rules_) {
    if (!rule.numbered || !rule.start_next || rule.kind == kFolder) continue;
    const bool edits = rule.kind == kReplace || rule.kind == kRegex;
    const std::regex pattern =
        NumberedPattern(edits ? rule.other : rule.text, rule.kind == kSuffix || edits,
                        rule.kind == kPrefix || edits);
    long long highest = 0;
    std::string highest_part;
    for (const std::string& part_number : part_numbers) {
      std::smatch match;
      if (!std::regex_match(part_number, match, pattern)) continue;
      const long long n = std::stoll(match.str(1));
      if (n > highest || highest_part.empty()) {
        highest = n;
        highest_part = part_number;
      }
    }
    rule.start = highest + 1;
    notes->push_back(rule.typed + " numbers from " + std::to_string(rule.start) +
                     (highest_part.empty()
                          ? ": no part number of the project matches it"
                          : ", after " + Quoted(highest_part) + " of the project"));
  }
}

bool NamingRules::CheckUsed(std::string* error) const {
  const auto selects = [](Kind kind) { return kind <= kSelectBranch; };
  bool folder = false;
  for (size_t r = 0; r < rules_.size(); ++r) {
    folder = folder || rules_[r].kind == kFolder;
    if (!selects(rules_[r].kind) && rules_[r].kind != kOn) continue;
    // The next rule that uses it, or the next of its kind, which replaces it.
    size_t next = r + 1;
    while (next < rules_.size() && rules_[next].kind < kPrefix &&
           (selects(rules_[next].kind) != selects(rules_[r].kind) || rules_[next].kind == kStart)) {
      ++next;
    }
    if (next < rules_.size() && rules_[next].kind >= kPrefix) continue;
    *error = rules_[r].typed +
             (selects(rules_[r].kind) ? " selects for no rule: " : " is for no rule: ") +
             (next < rules_.size() ? rules_[next].typed + " replaces it before a rule that renames"
                                   : "no rule that renames comes after it");
    return false;
  }
  if (flatten_ && !folder) {
    *error = "--flatten flattens nothing: no --folder rule moves files";
    return false;
  }
  return true;
}

bool NamingRules::IsLibrary(const TableDocument& document) const {
  const std::string key = FileKey(document.file);
  for (const std::string& folder : library_folders_) {
    if (key.compare(0, folder.size(), folder) == 0) return true;
  }
  for (const std::string& glob : library_parts_) {
    if (GlobMatch(glob, document.part_number)) return true;
  }
  return false;
}

void NamingRules::HoldToScheme(const TableDocument& document,
                               std::vector<std::string>* errors) const {
  if (scheme_ == nullptr || document.new_part_number.empty() ||
      document.new_part_number == document.part_number ||
      std::regex_match(document.new_part_number, scheme_->regex)) {
    return;
  }
  errors->push_back(QuotedFile(document.file) + ": the new part number " +
                    Quoted(document.new_part_number) + " does not match the scheme " +
                    Quoted(scheme_text_));
}

RulesOutcome NamingRules::Check(const RenameTable& table) const {
  RulesOutcome outcome;
  for (const TableDocument& document : table.documents) {
    if (GetsNewName(document) && IsLibrary(document)) {
      outcome.errors.push_back(QuotedFile(document.file) +
                               " is a library document, which gets no new part number or file");
    }
    HoldToScheme(document, &outcome.errors);
  }
  return outcome;
}

RulesOutcome NamingRules::Apply(RenameTable* table) const {
  Pass pass(*this, table);
  for (const Rule& rule : rules_) pass.Run(rule);
  size_t in_place = 0;
  std::string first;
  for (TableDocument& document : table->documents) {
    if (document.new_part_number == document.part_number) document.new_part_number.clear();
    if (!document.new_file.empty() && FileKey(document.new_file) == FileKey(document.file)) {
      document.new_file.clear();
    }
    if (!document.new_part_number.empty() && document.new_file.empty()) {
      if (in_place++ == 0) first = QuotedFile(document.file);
    }
    HoldToScheme(document, &pass.outcome.errors);
  }
  if (in_place == 1) {
    pass.outcome.notes.push_back(
        "1 document gets a new part number and keeps its file, " + first +
        ": the run saves it in place, over the old file; --on file or --folder gives it a new one");
  } else if (in_place > 1) {
    pass.outcome.notes.push_back(std::to_string(in_place) +
                                 " documents get a new part number and keep their files, the "
                                 "first " +
                                 first +
                                 ": the run saves them in place, over the old files; --on file "
                                 "or --folder gives them new ones");
  }
  if (instances_follow_ || !instance_name_.empty()) FollowDocuments(table, &pass.outcome);
  return pass.outcome;
}

bool NamingRules::Follows(const std::string& name, const TableDocument& document) const {
  const size_t dot = name.rfind('.');
  const bool numbered = dot != std::string::npos && dot + 1 < name.size() &&
                        name.find_first_not_of("0123456789", dot + 1) == std::string::npos;
  if (numbered && dot == document.part_number.size() &&
      name.compare(0, dot, document.part_number) == 0) {
    return true;
  }
  // A name of its own needs no number to keep.
  for (const std::string& glob : instance_globs_) {
    if (GlobMatch(glob, name)) return numbered || !instance_name_.empty();
  }
  return false;
}

void NamingRules::FollowDocuments(RenameTable* table, RulesOutcome* outcome) const {
  std::map<std::string, const TableDocument*> by_key;
  bool renumbered = false;  // some document gets a new part number
  for (const TableDocument& document : table->documents) {
    by_key.emplace(FileKey(document.file), &document);
    renumbered = renumbered || !document.new_part_number.empty();
  }
  std::vector<char> matched(instance_globs_.size(), 0);
  std::map<std::pair<int, const TableDocument*>, long long> counts;  // by parent and document
  size_t renamed = 0;
  for (TableInstance& instance : table->instances) {
    for (size_t g = 0; g < instance_globs_.size(); ++g) {
      matched[g] = matched[g] || GlobMatch(instance_globs_[g], instance.name);
    }
    const auto found = by_key.find(FileKey(instance.instance_of));
    if (found == by_key.end() || found->second->new_part_number.empty() ||
        !instance.new_name.empty() || !Follows(instance.name, *found->second)) {
      continue;
    }
    const TableDocument& document = *found->second;
    ++renamed;
    if (instance_name_.empty()) {
      instance.new_name = document.new_part_number + instance.name.substr(instance.name.rfind('.'));
      continue;
    }
    Placeholders values;
    values.n = ++counts[{instance.holder, &document}];
    values.part = document.new_part_number;
    values.stem = StemOf(document.file);
    values.name = &instance.name;
    Expand(instance_name_, values, &instance.new_name);
  }
  for (size_t g = 0; g < instance_globs_.size(); ++g) {
    if (!matched[g]) {
      outcome->warnings.push_back("the rule --instances-follow=" + Quoted(instance_globs_[g]) +
                                  " matches no instance; it renames none");
    }
  }
  if (renamed > 0) return;
  std::string globs;
  for (const std::string& glob : instance_globs_) globs += ", nor matches " + Quoted(glob);
  outcome->warnings.push_back(
      "the rule " +
      (instance_name_.empty() ? std::string("--instances-follow")
                              : "--instance-name " + Quoted(instance_name_)) +
      " renames no instance: " +
      (renumbered ? "no instance of a document given a new part number is named after that part "
                    "number, a dot and a number" +
                        globs
                  : std::string("no document gets a new part number")));
}
