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

struct RegexPattern {
  std::regex regex;
};

const char kNamingRulesHelp[] =
    "Rules fill the new columns, in the order given, for the documents selected (at first all):\n"
    "  --select-all              select every document again\n"
    "  --select-part GLOB        select the documents whose part number matches GLOB\n"
    "  --select-file GLOB        select the documents whose file matches GLOB (* crosses /)\n"
    "  --on part|file|both       what the rules after it change (at first both); a file's\n"
    "                            folder and extension are kept\n"
    "  --prefix TEXT             put TEXT before the name\n"
    "  --suffix TEXT             put TEXT after the name\n"
    "  --replace OLD NEW         replace every OLD by NEW\n"
    "  --regex PATTERN FORMAT    replace every match of the regular expression PATTERN by FORMAT\n"
    "                            ($1, $2... its groups, $& the match)\n"
    "  --start N                 the first number of the --number rules after it (at first 1)\n"
    "  --number FORMAT           the name becomes FORMAT with {n} (or {n:04}, four digits with\n"
    "                            zeros before) replaced by a running number, in structure order\n"
    "  --folder DIR              new files go into the folder DIR, relative to this one\n"
    "  --instances-follow[=GLOB] an instance named after its document's part number, a dot\n"
    "                            and a number (or whose name matches GLOB and ends in a dot\n"
    "                            and a number) gets the new part number with the same number\n";

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

// FORMAT with each {n} or {n:0W} replaced by `n`; false when it has none or a wrong one.
bool Format(const std::string& format, long long n, std::string* out) {
  out->clear();
  bool any = false;
  for (size_t i = 0; i < format.size();) {
    if (format.compare(i, 2, "{n") != 0) {
      *out += format[i++];
      continue;
    }
    const size_t close = format.find('}', i);
    const std::string width_text =
        close == std::string::npos ? "?" : format.substr(i + 2, close - i - 2);
    size_t width = 0;
    if (!width_text.empty()) {
      if (width_text.size() < 2 || width_text.size() > 4 || width_text[0] != ':' ||
          width_text.find_first_not_of("0123456789", 1) != std::string::npos) {
        return false;
      }
      width = std::stoul(width_text.substr(1));
    }
    const std::string digits = std::to_string(n);
    *out += std::string(width > digits.size() ? width - digits.size() : 0, '0') + digits;
    any = true;
    i = close + 1;
  }
  return any;
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

bool NamingRules::Parse(const std::vector<std::string>& args, std::string* error) {
  static const std::map<std::string, std::pair<Kind, int>> kOptions = {
      {"--select-all", {kSelectAll, 0}},   {"--select-part", {kSelectPart, 1}},
      {"--select-file", {kSelectFile, 1}}, {"--on", {kOn, 1}},
      {"--prefix", {kPrefix, 1}},          {"--suffix", {kSuffix, 1}},
      {"--replace", {kReplace, 2}},        {"--regex", {kRegex, 2}},
      {"--number", {kNumber, 1}},          {"--folder", {kFolder, 1}}};
  long long start = 1;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (option == "--instances-follow" || option.compare(0, 19, "--instances-follow=") == 0) {
      instances_follow_ = true;
      instances_named_ = option.size() > 19 ? option.substr(19) : std::string();
      continue;
    }
    if (option == "--start" && i + 1 < args.size()) {
      const std::string& number = args[++i];
      if (number.empty() || number.size() > 15 ||
          number.find_first_not_of("0123456789") != std::string::npos) {
        *error = "--start needs a number, not \"" + number + "\"";
        return false;
      }
      start = std::stoll(number);
      continue;
    }
    const auto known = kOptions.find(option);
    if (known == kOptions.end()) {
      *error = "unknown option \"" + option + "\"";
      return false;
    }
    const int count = known->second.second;
    if (count > 0 && i + count >= args.size()) {
      *error = option + " needs " + (count == 1 ? "an argument" : "two arguments");
      return false;
    }
    Rule rule{known->second.first, count > 0 ? args[i + 1] : "", count > 1 ? args[i + 2] : "",
              nullptr, start};
    i += count;
    std::string ignored;
    if (rule.kind == kOn && rule.text != "part" && rule.text != "file" && rule.text != "both") {
      *error = "--on takes part, file or both, not \"" + rule.text + "\"";
      return false;
    }
    if (rule.kind == kReplace && rule.text.empty()) {
      *error = "--replace needs a text to replace";
      return false;
    }
    if (rule.kind == kNumber && !Format(rule.text, 0, &ignored)) {
      *error = "--number needs {n} or {n:0W} in \"" + rule.text + "\"";
      return false;
    }
    if (rule.kind == kRegex) {
      try {
        rule.pattern = std::make_shared<RegexPattern>(RegexPattern{std::regex(rule.text)});
      } catch (const std::regex_error& wrong) {
        *error = "--regex \"" + rule.text + "\": " + wrong.what();
        return false;
      }
    }
    rules_.push_back(std::move(rule));
  }
  return true;
}

std::string NamingRules::Edited(const Rule& rule, const std::string& value) {
  switch (rule.kind) {
    case kPrefix:
      return rule.text + value;
    case kSuffix:
      return value + rule.text;
    case kReplace: {
      std::string result;
      size_t from = 0;
      for (size_t at; (at = value.find(rule.text, from)) != std::string::npos;
           from = at + rule.text.size()) {
        result += value.substr(from, at - from) + rule.other;
      }
      return result + value.substr(from);
    }
    default:
      return std::regex_replace(value, rule.pattern->regex, rule.other);
  }
}

void NamingRules::Apply(RenameTable* table) const {
  std::vector<TableDocument>& documents = table->documents;
  std::vector<char> selected(documents.size(), 1);
  bool parts = true, files = true;
  auto new_part = [](TableDocument& d) -> std::string& {
    if (d.new_part_number.empty()) d.new_part_number = d.part_number;
    return d.new_part_number;
  };
  // A new file's name without folder and extension, changed by `edit`.
  auto edit_file = [](TableDocument& d, auto edit) {
    std::filesystem::path path = d.new_file.empty() ? d.file : d.new_file;
    const std::string extension = path.extension().string();
    path.replace_filename(edit(path.stem().string()) + extension);
    d.new_file = path.generic_string();
  };
  for (const Rule& rule : rules_) {
    long long n = rule.start;
    for (size_t d = 0; d < documents.size(); ++d) {
      TableDocument& document = documents[d];
      switch (rule.kind) {
        case kSelectAll:
          selected[d] = 1;
          continue;
        case kSelectPart:
          selected[d] = GlobMatch(rule.text, document.part_number);
          continue;
        case kSelectFile:
          selected[d] = GlobMatch(rule.text, document.file);
          continue;
        case kOn:
          parts = rule.text != "file";
          files = rule.text != "part";
          continue;
        default:
          break;
      }
      if (!selected[d]) continue;
      if (rule.kind == kFolder) {
        const std::filesystem::path name =
            std::filesystem::path(document.new_file.empty() ? document.file : document.new_file)
                .filename();
        document.new_file = (std::filesystem::path(rule.text) / name).generic_string();
        continue;
      }
      std::string numbered;
      if (rule.kind == kNumber) Format(rule.text, n++, &numbered);
      auto edit = [&](const std::string& value) {
        return rule.kind == kNumber ? numbered : Edited(rule, value);
      };
      if (parts) new_part(document) = edit(new_part(document));
      if (files) edit_file(document, edit);
    }
  }
  std::map<std::string, const TableDocument*> by_file;
  for (TableDocument& document : documents) {
    if (document.new_part_number == document.part_number) document.new_part_number.clear();
    if (document.new_file == document.file) document.new_file.clear();
    by_file.emplace(document.file, &document);
  }
  if (!instances_follow_) return;
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
}
