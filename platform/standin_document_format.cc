#include "standin_document_format.h"

#include "standin_files.h"

namespace {

const char kFirstLine[] = "STANDIN-DOCUMENT 1";
const size_t kNone = static_cast<size_t>(-1);

bool Unescape(const std::string& text, std::string* out) {
  out->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out->push_back(text[i]);
      continue;
    }
    if (++i == text.size()) return false;
    switch (text[i]) {
      case '\\':
        out->push_back('\\');
        break;
      case 'n':
        out->push_back('\n');
        break;
      case 'r':
        out->push_back('\r');
        break;
      default:
        return false;
    }
  }
  return true;
}

// Splits "keyword TEXT" at its first blank; `has_text` tells whether there was one.
void SplitLine(const std::string& line, std::string* keyword, std::string* text, bool* has_text) {
  const size_t blank = line.find(' ');
  *has_text = blank != std::string::npos;
  keyword->assign(line, 0, blank);
  if (*has_text) {
    text->assign(line, blank + 1, std::string::npos);
  } else {
    text->clear();
  }
}

}  // namespace

std::string EscapeStandinText(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      out.push_back(c);
    }
  }
  return out;
}

bool ParseStandinDocument(const std::string& text, std::vector<StandinRoot>* roots) {
  roots->clear();
  bool first = true;
  // The product begun last and the component begun last (indexes into `roots`), which an
  // "other" root between them and their lines does not change.
  size_t product = kNone, component_root = kNone;
  bool product_has_number = false;
  std::string line, keyword, raw, value;
  size_t begin = 0;
  while (begin < text.size()) {
    size_t end = text.find('\n', begin);
    const bool ended = end != std::string::npos;  // a last line may lack its line feed
    if (!ended) end = text.size();
    line.assign(text, begin, end - begin);
    begin = end + 1;
    if (ended && !line.empty() && line.back() == '\r') line.pop_back();
    if (first) {
      if (line != kFirstLine) return false;
      first = false;
      continue;
    }
    if (line.empty() || line[0] == '#') continue;
    bool has_text;
    SplitLine(line, &keyword, &raw, &has_text);
    if (!has_text && (keyword == "product" || keyword == "other")) {
      roots->push_back(StandinRoot{keyword == "product", "", {}});
      if (keyword == "product") {
        product = roots->size() - 1;
        product_has_number = false;
      }
      continue;
    }
    if (!has_text || !Unescape(raw, &value)) return false;
    if (keyword == "partnumber") {
      if (product == kNone || product_has_number) return false;
      (*roots)[product].part_number = value;
      product_has_number = true;
    } else if (keyword == "component") {
      if (product == kNone) return false;
      (*roots)[product].components.push_back(StandinComponent{value, false, "", nullptr});
      component_root = product;
    } else if (keyword == "reference") {
      if (component_root == kNone) return false;
      StandinComponent& component = (*roots)[component_root].components.back();
      if (component.has_reference) return false;
      component.has_reference = true;
      component.reference = value;
    } else {
      return false;
    }
  }
  return !first;
}

bool ReadStandinDocument(const std::string& path, std::vector<StandinRoot>* roots,
                         StandinFileFacts* facts) {
  std::string text;
  StandinFileFacts ignored;
  return ReadRegularFile(path, &text, facts ? facts : &ignored) &&
         ParseStandinDocument(text, roots);
}

std::string FormatStandinDocument(const std::vector<StandinRoot>& roots,
                                  const std::vector<std::string>& references) {
  std::string text = std::string(kFirstLine) + "\n";
  size_t next_reference = 0;
  for (const StandinRoot& root : roots) {
    text += root.is_product ? "product\n" : "other\n";
    if (!root.part_number.empty())
      text += "partnumber " + EscapeStandinText(root.part_number) + "\n";
    for (const StandinComponent& component : root.components) {
      text += "component " + EscapeStandinText(component.instance_name) + "\n";
      if (component.has_reference) {
        text += "reference " + EscapeStandinText(references[next_reference++]) + "\n";
      }
    }
  }
  return text;
}
