#include "planner/naming_rules.h"

#include <filesystem>
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

// The folders that hold `file`, from the outermost.
std::vector<std::string> FoldersOf(const std::string& file) {
  std::vector<std::string> folders;
  for (const auto& part : std::filesystem::path(file).parent_path()) {
    if (!part.empty()) folders.push_back(part.generic_string());
  }
  return folders;
}

// The form in which a file of the table compares with others and with folders named on the
// command line: its storage key, with a "/" after it when `folder`.
std::string Key(const std::string& file, bool folder) {
  std::string key = StorageKey(StorageName(file));
  if (folder && (key.empty() || key.back() != '/')) key += '/';
  return key;
}

// A document's part number and file as they stand after the rules so far.
std::string CurrentPart(const TableDocument& d) {
  return d.new_part_number.empty() ? d.part_number : d.new_part_number;
}
std::string CurrentFile(const TableDocument& d) { return d.new_file.empty() ? d.file : d.new_file; }

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

bool NamingRules::Parse(const std::vector<std::string>& args, std::string* error) {
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
  auto compile = [&](const std::string& option, const std::string& text,
                     std::shared_ptr<const RegexPattern>* pattern) {
    try {
      *pattern = std::make_shared<RegexPattern>(RegexPattern{std::regex(text)});
      return true;
    } catch (const std::regex_error& wrong) {
      *error = option + " " + Quoted(text) + ": " + wrong.what();
      return false;
    }
  };
  long long start = 1;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (option == "--instances-follow" || option.compare(0, 19, "--instances-follow=") == 0) {
      instances_follow_ = true;
      instances_named_ = option.size() > 19 ? option.substr(19) : std::string();
      continue;
    }
    if (option == "--flatten") {
      flatten_ = true;
      continue;
    }
    const bool takes_one = option == "--start" || option == "--library" ||
                           option == "--library-part" || option == "--scheme";
    if (takes_one && i + 1 >= args.size()) {
      *error = option + " needs an argument";
      return false;
    }
    if (option == "--start") {
      const std::string& number = args[++i];
      if (number.empty() || number.size() > 15 ||
          number.find_first_not_of("0123456789") != std::string::npos) {
        *error = "--start needs a number, not " + Quoted(number);
        return false;
      }
      start = std::stoll(number);
      continue;
    }
    if (option == "--library") {
      if (args[++i].empty()) {
        *error = "--library needs a folder";
        return false;
      }
      library_folders_.push_back(Key(args[i], true));
      continue;
    }
    if (option == "--library-part") {
      library_parts_.push_back(args[++i]);
      continue;
    }
    if (option == "--scheme") {
      scheme_text_ = args[++i];
      if (!compile(option, scheme_text_, &scheme_)) return false;
      continue;
    }
    const auto known = kOptions.find(option);
    if (known == kOptions.end()) {
      *error = "unknown option " + Quoted(option);
      return false;
    }
    const int count = known->second.second;
    if (count > 0 && i + count >= args.size()) {
      *error = option + " needs " + (count == 1 ? "an argument" : "two arguments");
      return false;
    }
    Rule rule{known->second.first,          option,  count > 0 ? args[i + 1] : "",
              count > 1 ? args[i + 2] : "", nullptr, start};
    i += count;
    if (rule.kind == kOn && rule.text != "part" && rule.text != "file" && rule.text != "both") {
      *error = "--on takes part, file or both, not " + Quoted(rule.text);
      return false;
    }
    if (rule.kind == kReplace && rule.text.empty()) {
      *error = "--replace needs a text to replace";
      return false;
    }
    const bool writes = rule.kind >= kPrefix;
    const std::string& value =
        rule.kind == kReplace || rule.kind == kRegex ? rule.other : rule.text;
    std::string ignored;
    bool numbered = false;
    if (writes && (!Expand(value, Placeholders(), &ignored, &numbered) ||
                   (rule.kind == kNumber && !numbered))) {
      *error = option + (rule.kind == kNumber ? " needs {n} or {n:0W}" : ": {n:0W} needs digits") +
               " in \"" + value + "\"";
      return false;
    }
    if (rule.kind == kRegex && !compile(option, rule.text, &rule.pattern)) return false;
    rules_.push_back(std::move(rule));
  }
  return true;
}

bool NamingRules::Change(const Rule& rule, long long n, bool parts, bool files,
                         TableDocument* document, size_t common_depth, bool flatten) {
  Placeholders values;
  values.n = n;
  values.part = document->part_number;
  values.stem = std::filesystem::path(document->file).stem().string();
  std::filesystem::path file = CurrentFile(*document);
  if (rule.kind == kFolder) {
    std::string folder;
    Expand(rule.text, values, &folder);
    std::filesystem::path moved = folder;
    const std::vector<std::string> folders = FoldersOf(file.generic_string());
    // A folder above the working one has no place under DIR: its files go where its
    // sub-folders would.
    for (size_t f = flatten ? folders.size() : common_depth; f < folders.size(); ++f) {
      if (folders[f] != ".." && folders[f] != ".") moved /= folders[f];
    }
    document->new_file = (moved / file.filename()).generic_string();
    return true;
  }
  // `value` as the rule changes it; false when a --regex does not match it.
  auto edit = [&](const std::string& value, std::string* edited) {
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
      case kReplace: {
        Expand(rule.other, values, &text);
        edited->clear();
        size_t from = 0;
        for (size_t at; (at = value.find(rule.text, from)) != std::string::npos;
             from = at + rule.text.size()) {
          *edited += value.substr(from, at - from) + text;
        }
        *edited += value.substr(from);
        return true;
      }
      default: {
        edited->clear();
        bool matched = false;
        std::string rest = value;
        for (std::sregex_iterator match(value.begin(), value.end(), rule.pattern->regex), end;
             match != end; ++match) {
          matched = true;
          values.match = &*match;
          Expand(rule.other, values, &text);
          *edited += match->prefix().str() + text;
          rest = match->suffix().str();
        }
        values.match = nullptr;
        *edited += rest;
        return matched;
      }
    }
  };
  std::string part, stem;
  const bool part_changes = parts && edit(CurrentPart(*document), &part);
  const bool file_changes = files && edit(file.stem().string(), &stem);
  if (part_changes) document->new_part_number = part;
  if (file_changes) {
    const std::string extension = file.extension().string();
    file.replace_filename(stem + extension);
    document->new_file = file.generic_string();
  }
  return part_changes || file_changes;
}

RulesOutcome NamingRules::Check(const RenameTable& table) const {
  RulesOutcome outcome;
  for (const TableDocument& document : table.documents) {
    const bool changed =
        (!document.new_part_number.empty() && document.new_part_number != document.part_number) ||
        (!document.new_file.empty() && document.new_file != document.file);
    if (!changed) continue;
    bool library = false;
    const std::string key = Key(document.file, false);
    for (const std::string& folder : library_folders_) {
      library = library || key.compare(0, folder.size(), folder) == 0;
    }
    for (const std::string& glob : library_parts_) {
      library = library || GlobMatch(glob, document.part_number);
    }
    if (library) {
      outcome.errors.push_back(QuotedFile(document.file) +
                               " is a library document, which gets no new part number or file");
    }
    if (scheme_ != nullptr && !document.new_part_number.empty() &&
        document.new_part_number != document.part_number &&
        !std::regex_match(document.new_part_number, scheme_->regex)) {
      outcome.errors.push_back(QuotedFile(document.file) + ": the new part number " +
                               Quoted(document.new_part_number) + " does not match the scheme " +
                               Quoted(scheme_text_));
    }
  }
  return outcome;
}

RulesOutcome NamingRules::Apply(RenameTable* table) const {
  RulesOutcome outcome;
  std::vector<TableDocument>& documents = table->documents;
  std::vector<char> selected(documents.size(), 1), library(documents.size(), 0);
  std::vector<std::string> keys;  // of the documents' files
  std::map<std::string, std::vector<size_t>> by_key;
  for (size_t d = 0; d < documents.size(); ++d) {
    keys.push_back(Key(documents[d].file, false));
    by_key[keys.back()].push_back(d);
    for (const std::string& folder : library_folders_) {
      if (keys[d].compare(0, folder.size(), folder) == 0) library[d] = 1;
    }
    for (const std::string& glob : library_parts_) {
      if (GlobMatch(glob, documents[d].part_number)) library[d] = 1;
    }
  }
  // The documents that the components of each document are instances of.
  std::vector<std::vector<size_t>> children(documents.size());
  for (const TableInstance& instance : table->instances) {
    if (instance.holder < 0 || static_cast<size_t>(instance.holder) >= documents.size()) continue;
    const auto found = by_key.find(Key(instance.instance_of, false));
    if (instance.instance_of.empty() || found == by_key.end()) continue;
    std::vector<size_t>& of = children[static_cast<size_t>(instance.holder)];
    of.insert(of.end(), found->second.begin(), found->second.end());
  }
  bool parts = true, files = true;
  for (const Rule& rule : rules_) {
    switch (rule.kind) {
      case kSelectAll:
      case kSelectPart:
      case kSelectFile:
        for (size_t d = 0; d < documents.size(); ++d) {
          selected[d] = rule.kind == kSelectAll ||
                        GlobMatch(rule.text, rule.kind == kSelectPart ? documents[d].part_number
                                                                      : documents[d].file);
        }
        continue;
      case kSelectBranch: {
        // The roots, then every document that an instance of a selected document is of.
        std::vector<size_t> to_visit;
        std::fill(selected.begin(), selected.end(), 0);
        const std::string key = Key(rule.text, false);
        for (size_t d = 0; d < documents.size(); ++d) {
          if (documents[d].part_number == rule.text || keys[d] == key) {
            selected[d] = 1;
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
          for (size_t child : children[holder]) {
            if (!selected[child]) to_visit.push_back(child);
            selected[child] = 1;
          }
        }
        continue;
      }
      case kOn:
        parts = rule.text != "file";
        files = rule.text != "part";
        continue;
      default:
        break;
    }
    // The folders that all files the rule changes share, for --folder.
    bool first = true;
    std::vector<std::string> common;
    for (size_t d = 0; rule.kind == kFolder && d < documents.size(); ++d) {
      if (!selected[d] || library[d]) continue;
      const std::vector<std::string> folders = FoldersOf(CurrentFile(documents[d]));
      if (first) common = folders;
      size_t same = 0;
      while (same < common.size() && same < folders.size() && common[same] == folders[same]) {
        ++same;
      }
      common.resize(same);
      first = false;
    }
    const size_t common_depth = common.size();
    long long n = rule.start;
    size_t left_alone = 0;
    for (size_t d = 0; d < documents.size(); ++d) {
      if (!selected[d]) continue;
      TableDocument changed = documents[d];
      if (!Change(rule, n, parts, files, &changed, common_depth, flatten_)) continue;
      if (!library[d]) {
        documents[d] = changed;
        ++n;
      } else if (CurrentPart(changed) != CurrentPart(documents[d]) ||
                 CurrentFile(changed) != CurrentFile(documents[d])) {
        ++left_alone;
      }
    }
    if (left_alone > 0) {
      outcome.notes.push_back(rule.option + " would change " + std::to_string(left_alone) +
                              (left_alone == 1 ? " library document; it is left as it is"
                                               : " library documents; they are left as they are"));
    }
  }
  std::map<std::string, const TableDocument*> by_file;
  for (TableDocument& document : documents) {
    if (document.new_part_number == document.part_number) document.new_part_number.clear();
    if (document.new_file == document.file) document.new_file.clear();
    by_file.emplace(document.file, &document);
    if (scheme_ != nullptr && !document.new_part_number.empty() &&
        !std::regex_match(document.new_part_number, scheme_->regex)) {
      outcome.errors.push_back(QuotedFile(document.file) + ": the new part number " +
                               Quoted(document.new_part_number) + " does not match the scheme " +
                               Quoted(scheme_text_));
    }
  }
  if (!instances_follow_) return outcome;
  for (TableInstance& instance : table->instances) {
    const auto found = by_file.find(instance.instance_of);
    if (found == by_file.end() || found->second->new_part_number.empty()) continue;
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
  return outcome;
}
