#include "planner/naming_rules.h"

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
    "  --start N                 the first {n} of the rules after it (at first 1)\n"
    "  --number FORMAT           the name becomes FORMAT, which holds {n}\n"
    "  --folder DIR              new files go into the folder DIR, relative to this one, each\n"
    "                            in its folder relative to the folder the files share\n"
    "  --flatten                 --folder puts every file straight into DIR\n"
    "  --instances-follow[=GLOB] an instance named after its document's part number, a dot\n"
    "                            and a number (or whose name matches GLOB and ends in a dot\n"
    "                            and a number) gets the new part number with the same number\n"
    "In TEXT, NEW, FORMAT and DIR: {n} a running number, counting the documents the rule\n"
    "changes in structure order ({n:04}: four digits, zeros before), {part} the old part\n"
    "number, {stem} the old file's name without folder and extension.\n"
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
};

// `text` with {n}, {n:0W}, {part}, {stem} and (with a match) {1}...{9} replaced by their
// values; with a match, the text between them formatted as std::regex_replace formats ($1, $&).
// Anything else in braces stays as it is. False on a {n:...} that is not {n:0W}; `numbered`,
// when given, tells whether the text holds {n}.
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
  size_t left_alone = 0;
  for (size_t d = 0; d < documents_.size(); ++d) {
    if (!selected_[d]) continue;
    TableDocument changed = documents_[d];
    if (!Change(rule, n, parts_, files_, &changed, keep_from)) continue;
    if (!library_[d]) {
      documents_[d] = changed;
      ++n;
    } else if (CurrentPart(changed) != CurrentPart(documents_[d]) ||
               CurrentFile(changed) != CurrentFile(documents_[d])) {
      ++left_alone;
    }
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
  long long start = 1;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (ParseFlag(option)) continue;
    const bool setting = option == "--start" || option == "--library" ||
                         option == "--library-part" || option == "--scheme";
    if (setting && i + 1 >= args.size()) {
      *error = option + " needs an argument";
      return false;
    }
    if (setting ? !ParseSetting(option, args[++i], &start, error)
                : !ParseRule(args, &i, start, error)) {
      return false;
    }
  }
  return true;
}

bool NamingRules::ParseFlag(const std::string& option) {
  if (option == "--instances-follow" || option.compare(0, 19, "--instances-follow=") == 0) {
    instances_follow_ = true;
    instances_named_ = option.size() > 19 ? option.substr(19) : std::string();
    return true;
  }
  if (option != "--flatten") return false;
  flatten_ = true;
  return true;
}

bool NamingRules::ParseSetting(const std::string& option, const std::string& value,
                               long long* start, std::string* error) {
  if (option == "--start") {
    if (value.empty() || value.size() > 15 ||
        value.find_first_not_of("0123456789") != std::string::npos) {
      *error = "--start needs a number, not " + Quoted(value);
      return false;
    }
    *start = std::stoll(value);
  } else if (option == "--library") {
    if (value.empty()) {
      *error = "--library needs a folder";
      return false;
    }
    library_folders_.push_back(FolderKey(value));
  } else if (option == "--library-part") {
    library_parts_.push_back(value);
  } else {
    scheme_text_ = value;
    return Compile(option, value, &scheme_, error);
  }
  return true;
}

bool NamingRules::ParseRule(const std::vector<std::string>& args, size_t* i, long long start,
                            std::string* error) {
  static const std::map<std::string, std::pair<Kind, int>> kOptions = {
      {"--select-all", {kSelectAll, 0}},
      {"--select-part", {kSelectPart, 1}},
      {"--select-file", {kSelectFile, 1}},
      {"--select-branch", {kSelectBranch, 1}},
      {"--on", {kOn, 1}},
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
  Rule rule{known->second.first,           option,  count > 0 ? args[*i + 1] : "",
            count > 1 ? args[*i + 2] : "", nullptr, start};
  *i += count;
  if (!CheckArguments(rule, error)) return false;
  if (rule.kind == kRegex && !Compile(option, rule.text, &rule.pattern, error)) return false;
  rules_.push_back(std::move(rule));
  return true;
}

bool NamingRules::CheckArguments(const Rule& rule, std::string* error) {
  if (rule.kind == kOn && rule.text != "part" && rule.text != "file" && rule.text != "both") {
    *error = "--on takes part, file or both, not " + Quoted(rule.text);
    return false;
  }
  if (rule.kind == kReplace && rule.text.empty()) {
    *error = "--replace needs a text to replace";
    return false;
  }
  if (rule.kind < kPrefix) return true;  // selects
  const std::string& value = rule.kind == kReplace || rule.kind == kRegex ? rule.other : rule.text;
  std::string ignored;
  bool numbered = false;
  if (Expand(value, Placeholders(), &ignored, &numbered) && (rule.kind != kNumber || numbered)) {
    return true;
  }
  *error = rule.option + (rule.kind == kNumber ? " needs {n} or {n:0W}" : ": {n:0W} needs digits") +
           " in \"" + value + "\"";
  return false;
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
  for (TableDocument& document : table->documents) {
    if (document.new_part_number == document.part_number) document.new_part_number.clear();
    if (!document.new_file.empty() && FileKey(document.new_file) == FileKey(document.file)) {
      document.new_file.clear();
    }
    HoldToScheme(document, &pass.outcome.errors);
  }
  if (instances_follow_) FollowDocuments(table);
  return pass.outcome;
}

void NamingRules::FollowDocuments(RenameTable* table) const {
  std::map<std::string, const TableDocument*> by_key;
  for (const TableDocument& document : table->documents) {
    by_key.emplace(FileKey(document.file), &document);
  }
  for (TableInstance& instance : table->instances) {
    const auto found = by_key.find(FileKey(instance.instance_of));
    if (found == by_key.end() || found->second->new_part_number.empty()) continue;
    const TableDocument& document = *found->second;
    const size_t dot = instance.name.rfind('.');
    const std::string number = dot == std::string::npos ? "" : instance.name.substr(dot + 1);
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) continue;
    const bool named = instance.name.compare(0, dot, document.part_number) == 0 &&
                       dot == document.part_number.size();
    if (named || (!instances_named_.empty() && GlobMatch(instances_named_, instance.name))) {
      if (instance.new_name.empty()) instance.new_name = document.new_part_number + "." + number;
    }
  }
}
